#include "view/print_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reports/digital_reports.h"
#include "reports/report_export.h"
#include "view/graph_fixtures.h"
#include "view/recording_device_context.h"
#include "view/screen_layout.h"

namespace velkora {
namespace {

using testing::makeGraphStore;

constexpr int32_t kA4Printable = 2770;  // 297 mm less 10 mm margins above and below

std::vector<Point> box(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
}

std::vector<std::vector<Point>> polylines(const RecordingDeviceContext& dc) {
  std::vector<std::vector<Point>> found;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Polyline)) found.push_back(call.points);
  return found;
}

TEST(PrintPage, TitlesOfTheTestAndTheContent) {
  EXPECT_EQ(pageTitle(TestKind::Force, PageContent::CurveGraph), "Orvel Force - Graph report");
  EXPECT_EQ(pageTitle(TestKind::Force, PageContent::BarGraph), "Orvel Force - Graph report");
  EXPECT_EQ(pageTitle(TestKind::Power, PageContent::CurveGraph), "Orvel Power - Graph report");
  EXPECT_EQ(pageTitle(TestKind::Force, PageContent::Report), "Orvel Force - Digital report");
  EXPECT_EQ(pageTitle(TestKind::Power, PageContent::Report), "Orvel Power - Digital report");
  EXPECT_EQ(nameLine(""), "Name: ");
  EXPECT_EQ(nameLine("Ann Lee"), "Name: Ann Lee");
}

TEST(PrintPage, CurveGraphPage) {
  auto store = makeGraphStore(
      5001, [](int32_t i) { return i % 1000; }, [](int32_t) { return 0; });
  GraphSettings settings;
  PrintDocument document{*store, settings, "", PageContent::CurveGraph};
  document.curve.windowEnd = 5000;
  document.curve.cursorRight = 5000;
  ASSERT_EQ(pageCount(document, kA4Printable), 1);
  RecordingDeviceContext dc(true);
  drawPage(dc, document, 0, kA4Printable);

  const auto texts = dc.ofKind(DrawCall::Kind::Text);
  ASSERT_GE(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, "Orvel Force - Graph report");
  EXPECT_EQ(texts[0].rect, (Rect{100, 0, 1000, -80}));
  EXPECT_EQ(texts[1].text, "Name: ");
  EXPECT_EQ(texts[1].rect, (Rect{100, -100, 1000, -180}));
  EXPECT_EQ(texts[2].text, testDateLine(store->testTime));
  EXPECT_EQ(texts[2].rect, (Rect{100, -200, 1000, -280}));
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(texts[k].align, TextAlign::Left);

  const auto lines = polylines(dc);
  ASSERT_EQ(lines.size(), 4u);  // title box, graph frame, two curves
  EXPECT_EQ(lines[0], box(0, 0, 1800, -80));
  // The graph 158 mm wide and 50 mm high under a readout panel across 180 mm.
  EXPECT_EQ(lines[1], (std::vector<Point>{{120, -550}, {120, -1050}, {1700, -1050}, {1700, -550}}));
  const auto rectangles = dc.ofKind(DrawCall::Kind::Rectangle);
  ASSERT_EQ(rectangles.size(), 1u);
  EXPECT_EQ(rectangles[0].rect, (Rect{0, -350, 1800, -450}));
  EXPECT_EQ(rectangles[0].pen, (Pen{kBlack, 1}));
  EXPECT_NE(dc.findText("XR: 5000"), nullptr);
}

TEST(PrintPage, ReportTableOfTenRows) {
  auto store = makeGraphStore(
      10, [](int32_t i) { return 100 * i; }, [](int32_t) { return 5; });
  DigitalReport report;
  fillIntervalReport(*store, 1, false, report);
  GraphSettings settings;
  PrintDocument document{*store, settings, "Ann", PageContent::Report};
  document.report = &report;
  ASSERT_EQ(pageCount(document, kA4Printable), 1);
  RecordingDeviceContext dc(true);
  drawPage(dc, document, 0, kA4Printable);

  const auto lines = polylines(dc);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], box(0, -400, 1900, -540));
  EXPECT_EQ(lines[2], box(0, -540, 1900, -1340));

  // Column edges 0, 420, 800, 1180, 1560 from the print widths.
  const auto titles = dc.ofKind(DrawCall::Kind::MultilineText);
  ASSERT_EQ(titles.size(), 4u);
  EXPECT_EQ(titles[0].rect, (Rect{5, -410, 420, -540}));
  EXPECT_EQ(titles[0].text, "Time interval\n(ms)");
  EXPECT_EQ(titles[3].rect, (Rect{1185, -410, 1560, -540}));
  EXPECT_EQ(titles[3].text, "Vector Force\n(N)");

  std::vector<DrawCall> cells;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text))
    if (call.rect.top <= -540) cells.push_back(call);
  ASSERT_EQ(cells.size(), 40u);
  for (int32_t r = 0; r < 10; ++r) {
    const int32_t y = -600 - 80 * r;
    for (int32_t i = 0; i < 4; ++i) {
      const DrawCall& cell = cells[static_cast<size_t>(4 * r + i)];
      EXPECT_EQ(cell.text, report.rows.cell(r, i));
      EXPECT_EQ(cell.align, TextAlign::Center);
      const int32_t edges[] = {0, 420, 800, 1180, 1560};
      EXPECT_EQ(cell.rect, (Rect{edges[i] + 5, y + 60, edges[i + 1] - 5, y}));
    }
  }
  EXPECT_EQ(cells.back().rect.bottom, -1320);
  EXPECT_EQ(cells[4].text, "       2 -       2");
  EXPECT_EQ(dc.texts()[0], "Orvel Force - Digital report");
}

// Every report layout's titles and cells stay inside the ruled box; a layout wider than the box is
// scaled to it in proportion, the others keep their widths.
TEST(PrintPage, ReportColumnsStayInsideTheRuledBox) {
  auto store = makeGraphStore(
      3, [](int32_t i) { return 100 * i; }, [](int32_t) { return 5; });
  GraphSettings settings;
  for (const ReportColumnTable* layout :
       {&forceIntervalColumns, &powerIntervalColumns, &heightReportColumns, &summaryColumns, &repetitionColumns}) {
    SCOPED_TRACE(layout->headers[0]);
    DigitalReport report;
    report.columns = layout;
    report.rows.reset(layout->count);
    for (int32_t c = 0; c < layout->count; ++c) report.rows.appendCell("1");
    PrintDocument document{*store, settings, "Ann", PageContent::Report};
    document.report = &report;
    RecordingDeviceContext dc(true);
    drawPage(dc, document, 0, kA4Printable);

    int32_t total = 0;
    for (int32_t c = 0; c < layout->count; ++c) total += layout->printWidths[static_cast<size_t>(c)];
    const auto titles = dc.ofKind(DrawCall::Kind::MultilineText);
    ASSERT_EQ(titles.size(), static_cast<size_t>(layout->count));
    for (int32_t c = 0; c < layout->count; ++c) {
      const Rect& title = titles[static_cast<size_t>(c)].rect;
      const int32_t width = layout->printWidths[static_cast<size_t>(c)];
      EXPECT_GE(title.left, 0);
      EXPECT_LE(title.right, kPageWidth);
      EXPECT_NEAR(title.right - title.left + 5, total > kPageWidth ? width * kPageWidth / total : width, 1) << c;
    }
    EXPECT_EQ(titles.back().rect.right, std::min(total, kPageWidth));
    for (const DrawCall& cell : dc.ofKind(DrawCall::Kind::Text)) EXPECT_LE(cell.rect.right, kPageWidth) << cell.text;
  }
}

TEST(PrintPage, LongReportContinuesOnFurtherPages) {
  auto store = makeGraphStore(
      100, [](int32_t i) { return i; }, [](int32_t) { return 0; }, TestKind::Power);
  DigitalReport report;
  fillPowerReport(*store, 1, report);
  GraphSettings settings;
  PrintDocument document{*store, settings, "Bo", PageContent::Report};
  document.report = &report;

  EXPECT_EQ(reportRowsPerPage(kA4Printable), 27);  // -540 - 27 * 80 = -2700 still on the page
  EXPECT_EQ(reportRowsPerPage(2700), 27);
  EXPECT_EQ(reportRowsPerPage(2699), 26);
  EXPECT_EQ(reportRowsPerPage(100), 1);
  ASSERT_EQ(pageCount(document, kA4Printable), 4);  // 27 + 27 + 27 + 19

  int32_t rowsSeen = 0;
  for (int32_t page = 0; page < 4; ++page) {
    SCOPED_TRACE(page);
    RecordingDeviceContext dc(true);
    drawPage(dc, document, page, kA4Printable);
    const int32_t rows = page < 3 ? 27 : 19;
    const auto lines = polylines(dc);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], box(0, 0, 1800, -80));
    EXPECT_EQ(lines[2], box(0, -540, 1900, -540 - 80 * rows));
    EXPECT_EQ(dc.texts()[0], "Orvel Power - Digital report");
    EXPECT_EQ(dc.texts()[1], "Name: Bo");
    EXPECT_EQ(dc.ofKind(DrawCall::Kind::MultilineText).size(), 6u);
    std::vector<DrawCall> firstColumn;
    for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text))
      if (call.rect.left == 5 && call.rect.top <= -540) firstColumn.push_back(call);
    ASSERT_EQ(firstColumn.size(), static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
      EXPECT_EQ(firstColumn[static_cast<size_t>(r)].text, report.rows.cell(rowsSeen + r, 0));
      EXPECT_EQ(firstColumn[static_cast<size_t>(r)].rect.bottom, -600 - 80 * r);
    }
    rowsSeen += rows;
  }
  EXPECT_EQ(rowsSeen, 100);

  RecordingDeviceContext beyond(true);
  drawPage(beyond, document, 4, kA4Printable);
  drawPage(beyond, document, -1, kA4Printable);
  EXPECT_TRUE(beyond.calls().empty());
}

TEST(PrintPage, BlankPageAndEmptyReport) {
  auto store = makeGraphStore(
      10, [](int32_t) { return 1; }, [](int32_t) { return 1; });
  GraphSettings settings;
  PrintDocument blank{*store, settings, "Ann", PageContent::Blank};
  EXPECT_EQ(pageCount(blank, kA4Printable), 1);
  RecordingDeviceContext dc(true);
  drawPage(dc, blank, 0, kA4Printable);
  EXPECT_TRUE(dc.calls().empty());

  DigitalReport empty;
  empty.rows.reset(4);
  PrintDocument report{*store, settings, "", PageContent::Report};
  report.report = &empty;
  EXPECT_EQ(pageCount(report, kA4Printable), 1);
  drawPage(dc, report, 0, kA4Printable);
  EXPECT_EQ(polylines(dc).back(), box(0, -540, 1900, -540));
}

TEST(PrintPage, ScreenHeaderHalves) {
  RecordingDeviceContext dc;
  drawHeader(dc, kHeaderArea, "Ann", 1700000000);
  ASSERT_EQ(dc.ofKind(DrawCall::Kind::Rectangle).size(), 1u);
  EXPECT_EQ(dc.ofKind(DrawCall::Kind::Rectangle)[0].rect, kHeaderArea);
  const auto texts = dc.ofKind(DrawCall::Kind::Text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "Name: Ann");
  EXPECT_EQ(texts[0].rect, (Rect{20, 9, 380, 28}));
  EXPECT_EQ(texts[1].text, testDateLine(1700000000));
  EXPECT_EQ(texts[1].rect, (Rect{380, 9, 730, 28}));
  EXPECT_EQ(texts[1].align, TextAlign::Left);
}

TEST(ScreenLayout, FixedUpToTheBaseSizeThenInProportion) {
  struct Case {
    int32_t width, height;
    ScreenLayout layout;
  };
  const Case cases[] = {
      {740, 400, {}},
      {300, 200, {}},
      {1480, 800, {{20, 10, 1460, 60}, {200, 80, 1280, 240}, {120, 300, 1360, 700}, {10, 50, 1470, 780}}},
      {1110, 400, {{15, 5, 1095, 30}, {150, 40, 960, 120}, {90, 150, 1020, 350}, {10, 50, 1100, 380}}},
      {740, 1000, {{10, 12, 730, 75}, {100, 100, 640, 300}, {60, 375, 680, 875}, {10, 50, 730, 980}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width * 10000 + c.height);
    const ScreenLayout layout = screenLayout(c.width, c.height);
    EXPECT_EQ(layout.headerArea, c.layout.headerArea);
    EXPECT_EQ(layout.readoutArea, c.layout.readoutArea);
    EXPECT_EQ(layout.plotArea, c.layout.plotArea);
    EXPECT_EQ(layout.reportList, c.layout.reportList);
  }
}

}  // namespace
}  // namespace velkora
