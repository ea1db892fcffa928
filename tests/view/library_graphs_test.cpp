// The library's graphs as drawing calls: the trend over dates (ticks at local boundaries, the points,
// the best value), and tests compared over each other, aligned and coloured.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <memory>
#include <string>

#include "acquisition/measurement_store.h"
#include "reports/jump_analysis.h"
#include "reports/test_metrics.h"
#include "storage/measurement_file.h"
#include "support/measurement_files.h"
#include "view/compare_graph.h"
#include "view/graph_ticks.h"
#include "view/recording_device_context.h"
#include "view/trend_graph.h"

namespace velkora {
namespace {

// Local time for one test.
class TimeZone {
 public:
  explicit TimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old, hadOne_ = true;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~TimeZone() {
    if (hadOne_)
      ::setenv("TZ", saved_.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::string saved_;
  bool hadOne_ = false;
};

int64_t utc(int year, int month, int day, int hour = 0, int minute = 0) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  return static_cast<int64_t>(::timegm(&tm));
}

std::vector<std::string> labelsOf(const std::vector<DateTick>& ticks) {
  std::vector<std::string> labels;
  for (const DateTick& t : ticks) labels.push_back(t.label);
  return labels;
}

int32_t centre(const Rect& r) { return (r.left + r.right) / 2; }

TEST(GraphTicks, DateTicksFallOnLocalBoundariesWithTheFinestStepThatFits) {
  TimeZone zone("UTC0");
  struct Case {
    int64_t first, last;
    int32_t maxTicks;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {utc(2024, 5, 1, 9, 30),
       utc(2024, 5, 1, 14, 10),
       8,
       {"05-01 10:00", "05-01 11:00", "05-01 12:00", "05-01 13:00", "05-01 14:00"}},
      {utc(2024, 5, 1, 9),
       utc(2024, 5, 4, 9),
       8,
       {"05-01 12:00", "05-02 00:00", "05-02 12:00", "05-03 00:00", "05-03 12:00", "05-04 00:00"}},
      {utc(2024, 4, 29),
       utc(2024, 5, 5, 12),
       8,
       {"2024-04-29", "2024-04-30", "2024-05-01", "2024-05-02", "2024-05-03", "2024-05-04", "2024-05-05"}},
      {utc(2024, 5, 1),
       utc(2024, 6, 30),
       8,
       {"2024-05-06", "2024-05-13", "2024-05-20", "2024-05-27", "2024-06-03", "2024-06-10", "2024-06-17",
        "2024-06-24"}},  // Mondays
      // Every second Monday from the week the range begins in.
      {utc(2024, 5, 1),
       utc(2024, 7, 30),
       8,
       {"2024-05-13", "2024-05-27", "2024-06-10", "2024-06-24", "2024-07-08", "2024-07-22"}},
      {utc(2023, 11, 15),
       utc(2025, 11, 15),
       9,
       {"2024-01", "2024-04", "2024-07", "2024-10", "2025-01", "2025-04", "2025-07", "2025-10"}},
      {utc(1994, 3, 1), utc(2024, 3, 1), 8, {"1995", "2000", "2005", "2010", "2015", "2020"}},
  };
  for (const Case& c : cases) EXPECT_EQ(labelsOf(dateTicks(c.first, c.last, c.maxTicks)), c.labels);

  // In a zone an hour east of UTC, days begin at 23:00 UTC (CET in winter): 00:00 UTC on the 10th is
  // already past the 10th's midnight.
  TimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
  const std::vector<DateTick> days = dateTicks(utc(2024, 1, 10), utc(2024, 1, 14), 6);
  ASSERT_EQ(labelsOf(days), (std::vector<std::string>{"2024-01-11", "2024-01-12", "2024-01-13", "2024-01-14"}));
  for (const DateTick& t : days) EXPECT_EQ((t.time + 3600) % 86400, 0) << t.label;
}

TEST(GraphTicks, ValueAxesInStepsOfOneTwoOrFive) {
  struct Case {
    double low, high;
    int32_t maxTicks;
    double min, max, step;
    int32_t decimals;
  };
  const Case cases[] = {
      {0.0, 1.0, 5, 0.0, 1.0, 0.2, 1},
      {23.4, 35.1, 6, 22.0, 36.0, 2.0, 0},
      {912.5, 1388.0, 5, 900.0, 1400.0, 100.0, 0},
      {0.412, 0.455, 4, 0.40, 0.46, 0.02, 2},
      {0.412, 0.455, 5, 0.41, 0.46, 0.01, 2},
      {-0.73, -0.12, 6, -0.8, 0.0, 0.2, 1},
      {-0.73, -0.12, 7, -0.8, -0.1, 0.1, 1},
      {5.0, 5.0, 5, 4.4, 5.6, 0.2, 1},
      {0.0, 0.0, 5, -1.0, 1.0, 0.5, 1},
  };
  for (const Case& c : cases) {
    const NiceAxis axis = niceAxis(c.low, c.high, c.maxTicks);
    EXPECT_NEAR(axis.min, c.min, 1e-9) << c.low << ".." << c.high;
    EXPECT_NEAR(axis.max, c.max, 1e-9) << c.low << ".." << c.high;
    EXPECT_NEAR(axis.step, c.step, 1e-12) << c.low << ".." << c.high;
    EXPECT_EQ(axis.decimals, c.decimals) << c.low << ".." << c.high;
    EXPECT_LE(axis.ticks() - 1, c.maxTicks + 1);
  }
}

TEST(TrendGraph, DrawsDateTicksPointsJoinedByALineAndTheBestValue) {
  TimeZone zone("UTC0");
  TrendGraph graph;
  graph.title = "Anna Meier: jumpHeightTakeoffVelocity_cm";
  graph.points = {{utc(2024, 5, 1, 10), 31.2},
                  {utc(2024, 5, 8, 10), 33.1},
                  {utc(2024, 5, 22, 10), 32.4},
                  {utc(2024, 6, 5, 10), std::numeric_limits<double>::quiet_NaN()},
                  {utc(2024, 6, 12, 10), 30.05}};
  graph.decimals = 2;
  const Rect area{0, 0, 800, 450};
  RecordingDeviceContext dc;
  dc.setPen(Pen{Rgb{1, 2, 3}, 7});
  dc.setTextColor(Rgb{4, 5, 6});
  dc.clear();
  const TrendGraphScales scales = drawTrendGraph(dc, area, graph);

  ASSERT_NE(dc.findText(graph.title), nullptr);
  EXPECT_LT(dc.findText(graph.title)->rect.top, scales.plot.top) << "the title above the plot";
  // Ticks: Mondays from the first date on, each label centred on the x of its date.
  const double width = scales.plot.right - scales.plot.left;
  const auto xOf = [&](int64_t t) {
    return scales.plot.left +
           static_cast<int32_t>(std::lround(static_cast<double>(t - scales.firstTime) /
                                            static_cast<double>(scales.lastTime - scales.firstTime) * width));
  };
  std::vector<std::string> dates;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text)) {
    if (call.text.size() != 10 || call.text[4] != '-') continue;
    dates.push_back(call.text);
    std::tm tm{};
    ASSERT_NE(::strptime(call.text.c_str(), "%Y-%m-%d", &tm), nullptr);
    // Centred under its tick, or moved inwards at the edge of the area.
    const int32_t x = xOf(::timegm(&tm));
    EXPECT_TRUE(centre(call.rect) == x || (call.rect.right == area.right && call.rect.left < x)) << call.text;
    EXPECT_GE(call.rect.left, area.left);
    EXPECT_LE(call.rect.right, area.right);
    EXPECT_GT(call.rect.top, scales.plot.bottom) << "below the plot";
  }
  EXPECT_EQ(dates, (std::vector<std::string>{"2024-05-06", "2024-05-13", "2024-05-20", "2024-05-27", "2024-06-03",
                                             "2024-06-10"}));

  // The line through the four points with values, in date order; higher values higher up.
  const std::vector<DrawCall> lines = dc.ofKind(DrawCall::Kind::Polyline);
  const auto line = std::find_if(lines.begin(), lines.end(), [](const DrawCall& c) { return c.pen == kTrendLinePen; });
  ASSERT_NE(line, lines.end());
  ASSERT_EQ(line->points.size(), 4u);
  EXPECT_EQ(line->points, scales.points);
  const size_t shown[] = {0, 1, 2, 4};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(line->points[k].x, xOf(graph.points[shown[k]].time));
    const double fraction = (graph.points[shown[k]].value - scales.minValue) / (scales.maxValue - scales.minValue);
    EXPECT_EQ(
        line->points[k].y,
        scales.plot.bottom + static_cast<int32_t>(std::lround(fraction * (scales.plot.top - scales.plot.bottom))));
  }
  EXPECT_LT(line->points[1].y, line->points[0].y);
  EXPECT_GE(scales.minValue, 25.0) << "the axis fits the values, not zero";
  // Value labels in steps of the axis, each at its height.
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text))
    if (call.align == TextAlign::Right) {
      EXPECT_LT(call.rect.right, scales.plot.left) << call.text;
    }

  // The best: the highest value, framed in red, with its value.
  EXPECT_EQ(scales.best, 1);
  const std::vector<DrawCall> boxes = dc.ofKind(DrawCall::Kind::Rectangle);
  const auto best =
      std::find_if(boxes.begin(), boxes.end(), [](const DrawCall& c) { return c.pen.color == kTrendBestColor; });
  ASSERT_NE(best, boxes.end());
  EXPECT_EQ((best->rect.left + best->rect.right) / 2, scales.points[1].x);
  EXPECT_EQ((best->rect.top + best->rect.bottom) / 2, scales.points[1].y);
  const DrawCall* bestText = dc.findText("best 33.10");
  ASSERT_NE(bestText, nullptr);
  EXPECT_EQ(bestText->textColor, kTrendBestColor);
  EXPECT_EQ(dc.pen(), (Pen{Rgb{1, 2, 3}, 7})) << "the tools as they were";
  EXPECT_EQ(dc.textColor(), (Rgb{4, 5, 6}));

  // Where less is better, the lowest value is the best.
  graph.lowerIsBetter = true;
  RecordingDeviceContext lower;
  EXPECT_EQ(drawTrendGraph(lower, area, graph).best, 3);
  EXPECT_NE(lower.findText("best 30.05"), nullptr);
}

TEST(TrendGraph, OnPaperSingleAndEmptySeries) {
  TimeZone zone("UTC0");
  TrendGraph graph;
  graph.title = "one test";
  graph.points = {{utc(2024, 5, 1, 10), 820.0}};
  graph.decimals = 1;
  RecordingDeviceContext paper(true);
  const Rect area{0, 0, 1800, -1000};  // 0.1 mm, y up
  const TrendGraphScales scales = drawTrendGraph(paper, area, graph);
  EXPECT_GT(scales.plot.top, scales.plot.bottom);
  ASSERT_EQ(scales.points.size(), 1u);
  EXPECT_EQ(scales.points[0].x, (scales.plot.left + scales.plot.right) / 2) << "a day either side of one date";
  EXPECT_LT(scales.points[0].y, scales.plot.top);
  EXPECT_GT(scales.points[0].y, scales.plot.bottom);
  EXPECT_NE(paper.findText("best 820.0"), nullptr);
  EXPECT_NE(paper.findText("05-01 00:00"), nullptr) << "two days: ticks every 12 hours";

  RecordingDeviceContext empty;
  graph.points.clear();
  drawTrendGraph(empty, {0, 0, 800, 450}, graph);
  EXPECT_NE(empty.findText("no values"), nullptr);
  EXPECT_TRUE(empty.ofKind(DrawCall::Kind::Rectangle).empty());
}

TEST(CompareGraph, CurvesAreAlignedColouredAndNamed) {
  std::vector<CompareCurve> curves(3);
  for (size_t k = 0; k < curves.size(); ++k) {
    curves[k].label = "Subject " + std::to_string(k);
    curves[k].force.assign(3000 + 1000 * k, 100.0f);
    curves[k].kind = TestKind::Power;
  }
  // A peak at the alignment sample of each: they must meet at time 0.
  const int32_t align[] = {1200, 2500, 0};
  for (size_t k = 0; k < curves.size(); ++k) {
    curves[k].alignIndex = align[k];
    curves[k].aligned = k < 2;
    curves[k].force[static_cast<size_t>(align[k])] = 1500.0f;
  }
  RecordingDeviceContext dc;
  const CompareGraphScales scales = drawCompareGraph(dc, {0, 0, 800, 450}, curves);
  EXPECT_EQ(scales.firstMs, -2500.0);
  EXPECT_GE(scales.lastMs, 4999.0);
  EXPECT_GE(scales.maxForce, 1500.0);
  EXPECT_NE(dc.findText("time from take-off (ms)"), nullptr);

  std::vector<Rgb> colors;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Polyline)) {
    const auto it = std::find(kCompareColors.begin(), kCompareColors.end(), call.pen.color);
    if (it == kCompareColors.end()) continue;
    colors.push_back(call.pen.color);
    const auto top = std::min_element(call.points.begin(), call.points.end(),
                                      [](const Point& a, const Point& b) { return a.y < b.y; });
    const double width = scales.plot.right - scales.plot.left;
    const int32_t zero =
        scales.plot.left +
        static_cast<int32_t>(std::lround((0.0 - scales.firstMs) / (scales.lastMs - scales.firstMs) * width));
    EXPECT_EQ(top->x, zero) << "each peak at time 0";
  }
  EXPECT_EQ(colors, (std::vector<Rgb>{kCompareColors[0], kCompareColors[1], kCompareColors[2]}));
  EXPECT_NE(dc.findText("Subject 0"), nullptr);
  EXPECT_NE(dc.findText("Subject 2 (not aligned)"), nullptr);
}

TEST(CompareGraph, TestsAlignAtTakeOffOrFirstOnsetAndNamesStayOnOneLine) {
  for (TestKind kind : {TestKind::Power, TestKind::Force}) {
    const std::string bytes = testing::generatedMeasurementBytes({"Anna", kind});
    auto record = std::make_unique<MeasurementRecord>();
    ASSERT_EQ(decodeMeasurement(bytes, *record), DecodeStatus::Ok);
    auto store = std::make_unique<MeasurementStore>();
    SubjectInfo subject;
    applyMeasurement(*record, *store, subject);
    store->testKind = kind;
    if (kind == TestKind::Power) computeJumpResults(*store);
    const CompareCurve curve = compareCurve(*store, kind, "label");
    const TestMetrics metrics = computeTestMetrics(*store, kind);
    const std::vector<Metric>& source = kind == TestKind::Power ? metrics.whole : metrics.repetitions.at(0);
    const std::string_view key = kind == TestKind::Power ? "takeoffIndex" : "onsetIndex";
    const auto it = std::find_if(source.begin(), source.end(), [&](const Metric& m) { return m.key == key; });
    ASSERT_NE(it, source.end());
    ASSERT_TRUE(it->present);
    EXPECT_TRUE(curve.aligned);
    EXPECT_EQ(curve.alignIndex, static_cast<int32_t>(it->value));
    EXPECT_EQ(curve.force.size(), 5000u);
    EXPECT_EQ(curve.force[100], forceAt(*store, 100, ForceChannel::Vertical));
  }
  struct Case {
    std::string name, shown;
  };
  const Case cases[] = {
      {"Anna Meier", "Anna Meier"},
      {"line\nbreak\ttab\x7f", "line break tab "},
      {"\u202Eevil\u2066 \u0085", " evil   "},
      {std::string(45, 'x'), std::string(40, 'x') + "..."},
      {std::string(41, 'x'), std::string(40, 'x') + "..."},
      {std::string(40, 'x'), std::string(40, 'x')},
      {"Zoë Åsa Σοφία Łucja Jürgen Ångström Émile Öztürk", "Zoë Åsa Σοφία Łucja Jürgen Ångström Émil..."},
      {"", "(no name)"},
  };
  for (const Case& c : cases) EXPECT_EQ(graphName(c.name), c.shown) << c.name;
  TimeZone zone("UTC0");
  EXPECT_EQ(compareLabel("Anna", utc(2024, 5, 1, 10, 23)), "Anna, 2024-05-01 10:23");
}

}  // namespace
}  // namespace velkora
