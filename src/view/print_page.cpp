#include "view/print_page.h"

#include <algorithm>
#include <array>
#include <string>

#include "reports/report_export.h"

namespace velkora {
namespace {

void drawBox(DeviceContext& dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const Point box[] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
  dc.polyline(box);
}

void drawTitleLines(DeviceContext& dc, const PrintDocument& document) {
  drawBox(dc, 0, 0, 1800, -80);
  dc.text({100, 0, 1000, -80}, pageTitle(document.store.testKind, document.content), TextAlign::Left);
  dc.text({100, -100, 1000, -180}, nameLine(document.subjectName), TextAlign::Left);
  dc.text({100, -200, 1000, -280}, testDateLine(document.store.testTime), TextAlign::Left);
}

// Rows first .. first + count - 1 of the report, each cell as the list shows it.
void drawReportTable(DeviceContext& dc, const DigitalReport& report, int32_t first, int32_t count) {
  const ReportColumnTable& columns = *report.columns;
  const int32_t columnCount = std::clamp(columns.count, 0, kMaxReportColumns);
  const std::array<int32_t, kMaxReportColumns + 1> edges = printedColumnEdges(columns);

  drawBox(dc, 0, -400, kPageWidth, kReportBodyTop);
  for (int32_t i = 0; i < columnCount; ++i)
    dc.multilineText({edges[i] + 5, -410, edges[i + 1], kReportBodyTop}, columns.headers[static_cast<size_t>(i)]);
  drawBox(dc, 0, kReportBodyTop, kPageWidth, kReportBodyTop - kReportRowPitch * count);
  for (int32_t r = 0; r < count; ++r) {
    const int32_t y = -600 - kReportRowPitch * r;
    for (int32_t i = 0; i < columnCount; ++i)
      dc.text({edges[i] + 5, y + 60, edges[i + 1] - 5, y}, report.rows.cell(first + r, i), TextAlign::Center);
  }
}

}  // namespace

std::array<int32_t, kMaxReportColumns + 1> printedColumnEdges(const ReportColumnTable& columns) {
  const int32_t columnCount = std::clamp(columns.count, 0, kMaxReportColumns);
  std::array<int64_t, kMaxReportColumns + 1> sums{};
  for (int32_t i = 0; i < columnCount; ++i)
    sums[static_cast<size_t>(i + 1)] =
        sums[static_cast<size_t>(i)] + std::max(0, columns.printWidths[static_cast<size_t>(i)]);
  const int64_t total = sums[static_cast<size_t>(columnCount)];
  std::array<int32_t, kMaxReportColumns + 1> edges{};
  for (int32_t i = 0; i <= columnCount; ++i) {
    const int64_t sum = sums[static_cast<size_t>(i)];
    edges[static_cast<size_t>(i)] = static_cast<int32_t>(total > kPageWidth ? sum * kPageWidth / total : sum);
  }
  return edges;
}

int32_t reportRowsPerPage(int32_t printableHeight) {
  return std::max(1, (printableHeight + kReportBodyTop) / kReportRowPitch);
}

int32_t pageCount(const PrintDocument& document, int32_t printableHeight) {
  if (document.content != PageContent::Report || document.report == nullptr) return 1;
  const int32_t rows = document.report->rows.rowCount();
  const int32_t perPage = reportRowsPerPage(printableHeight);
  return std::max(1, (rows + perPage - 1) / perPage);
}

void drawPage(DeviceContext& dc, const PrintDocument& document, int32_t pageIndex, int32_t printableHeight) {
  if (document.content == PageContent::Blank) return;
  if (document.content == PageContent::Report && document.report == nullptr) return;
  if (pageIndex < 0 || pageIndex >= pageCount(document, printableHeight)) return;
  SavedTools saved(dc);
  dc.setPen(Pen{kBlack, 1});
  drawTitleLines(dc, document);
  switch (document.content) {
    case PageContent::CurveGraph:
      drawReadouts(dc, kPageReadoutArea, document.store, document.curve);
      drawCurveGraph(dc, kPageCurveArea, document.store, document.settings, document.curve);
      break;
    case PageContent::BarGraph:
      drawBarGraph(dc, kPageBarArea, document.store.repetitions, document.settings, document.bars);
      break;
    case PageContent::Report: {
      const int32_t perPage = reportRowsPerPage(printableHeight);
      const int32_t first = pageIndex * perPage;
      const int32_t count = std::min(perPage, document.report->rows.rowCount() - first);
      drawReportTable(dc, *document.report, first, std::max(0, count));
      break;
    }
    case PageContent::Blank:
      break;
  }
}

}  // namespace velkora
