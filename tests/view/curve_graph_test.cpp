#include "view/curve_graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "reports/jump_analysis.h"
#include "support/designed_jump.h"
#include "view/graph_fixtures.h"
#include "view/recording_device_context.h"
#include "view/screen_layout.h"

namespace velkora {
namespace {

using testing::horizontalLines;
using testing::makeGraphStore;
using testing::textsOf;
using testing::textsWithTop;

constexpr Rect kPlot = kPlotArea;  // 60, 150, 680, 350
constexpr Rect kPaperPlot{120, -550, 1700, -1050};

CurveGraphView windowView(int32_t start, int32_t end) {
  CurveGraphView view;
  view.windowStart = start;
  view.windowEnd = end;
  view.cursorLeft = start;
  view.cursorRight = end;
  return view;
}

std::vector<int32_t> centresOf(const std::vector<DrawCall>& calls) {
  std::vector<int32_t> centres;
  for (const DrawCall& call : calls) centres.push_back((call.rect.left + call.rect.right) / 2);
  return centres;
}

// The curve pieces of a drawing: the lines in the curves' pens after its last text.
std::vector<RecordingDeviceContext::Segment> curvePieces(const RecordingDeviceContext& dc) {
  const auto& calls = dc.calls();
  size_t start = 0;
  for (size_t k = 0; k < calls.size(); ++k)
    if (calls[k].kind == DrawCall::Kind::Text) start = k + 1;
  std::vector<RecordingDeviceContext::Segment> pieces;
  for (size_t k = start; k < calls.size(); ++k) {
    const DrawCall& call = calls[k];
    if (call.kind != DrawCall::Kind::Line && call.kind != DrawCall::Kind::Polyline) continue;
    if (!(call.pen == kY1Pen || call.pen == kY2Pen)) continue;
    for (size_t p = 1; p < call.points.size(); ++p) pieces.push_back({call.points[p - 1], call.points[p], call.pen});
  }
  return pieces;
}

TEST(CurveGraph, TimeStepLabelsAndTheirPlaces) {
  struct Case {
    int32_t start, end;
    std::vector<std::string> labels;
    std::vector<int32_t> x;
  };
  const Case cases[] = {
      {0,
       5000,
       {"0", "500", "1000", "1500", "2000", "2500", "3000", "3500", "4000", "4500", "5000"},
       {60, 122, 184, 246, 308, 370, 432, 494, 556, 618, 680}},
      {2000, 2005, {"2000", "2001", "2002", "2003", "2004", "2005"}, {60, 184, 308, 432, 556, 680}},
      {0, 9, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}, {}},
      {0, 0, {"0"}, {60}},  // a single sample: one label at the left edge, no curve
  };
  auto store = makeGraphStore(
      6000, [](int32_t i) { return i % 700; }, [](int32_t) { return 0; });
  GraphSettings settings;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.end);
    RecordingDeviceContext dc;
    drawCurveGraph(dc, kPlot, *store, settings, windowView(c.start, c.end));
    const auto labels = textsWithTop(dc, kPlot.bottom + 10);
    EXPECT_EQ(textsOf(labels), c.labels);
    if (!c.x.empty()) {
      EXPECT_EQ(centresOf(labels), c.x);
    }
    for (const DrawCall& label : labels) {
      EXPECT_EQ(label.rect.right - label.rect.left, 40);
      EXPECT_EQ(label.rect.bottom, kPlot.bottom + 25);
      EXPECT_EQ(label.textColor, kBlack);
    }
    ASSERT_NE(dc.findText("TIME (ms)"), nullptr);
    EXPECT_EQ(dc.findText("TIME (ms)")->rect, (Rect{60, 375, 680, 390}));
    EXPECT_EQ(dc.ofKind(DrawCall::Kind::Polyline).size(), c.end > c.start ? 3u : 1u);  // frame (+ two curves)
  }
}

TEST(CurveGraph, AxisLabelsAutomaticStepAndZeroLines) {
  struct Case {
    int32_t min, max, step;
    std::vector<std::string> labels;
    bool zeroLine;
  };
  const Case cases[] = {
      {-3, 3, 0, {"-3", "-2", "-1", "0", "1", "2", "3"}, true},  // a tenth of 6 is 0, raised to 1
      {0, 2000, 400, {"0", "400", "800", "1200", "1600", "2000"}, false},
      {-2000, 2000, 0, {"-2000", "-1600", "-1200", "-800", "-400", "0", "400", "800", "1200", "1600", "2000"}, true},
      {-500, 2000, 1000, {"-500", "500", "1500"}, true},
      {0, 0, 5, {"0"}, false},  // no range: the one label it can, no curve
      {10, 0, 5, {}, false},    // minimum above maximum: no labels
  };
  auto store = makeGraphStore(
      100, [](int32_t i) { return i; }, [](int32_t i) { return -i; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.min);
    GraphSettings settings;
    settings.axisMin[0] = settings.axisMin[1] = c.min;
    settings.axisMax[0] = settings.axisMax[1] = c.max;
    settings.axisStep[0] = settings.axisStep[1] = c.step;
    RecordingDeviceContext dc;
    const CurveScales scales = drawCurveGraph(dc, kPlot, *store, settings, windowView(0, 99));

    std::vector<std::string> left, right;
    for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text)) {
      if (call.rect.left == kPlot.left - 40) {
        EXPECT_EQ(call.align, TextAlign::Right);
        EXPECT_EQ(call.textColor, kBlue);
        left.push_back(call.text);
      }
      if (call.rect.left == kPlot.right + 5) {
        EXPECT_EQ(call.align, TextAlign::Left);
        EXPECT_EQ(call.textColor, kRed);
        right.push_back(call.text);
      }
    }
    EXPECT_EQ(left, c.labels);
    EXPECT_EQ(right, c.labels);

    const auto zero = horizontalLines(dc, kPlot.left, kPlot.right);
    ASSERT_EQ(zero.size(), c.zeroLine ? 2u : 0u);
    if (c.zeroLine) {
      const int32_t y = kPlot.bottom - static_cast<int32_t>(-c.min * 200.0 / (c.max - c.min));
      EXPECT_EQ(zero[0].points[0].y, y);
      EXPECT_EQ(zero[0].pen, kFramePen);
      EXPECT_EQ(zero[1].pen, kY2Pen);
    }
    const bool curves = c.max > c.min;
    EXPECT_EQ(dc.ofKind(DrawCall::Kind::Polyline).size(), curves ? 3u : 1u);
    EXPECT_EQ(scales.y1Scale != 0.0, curves);
  }
  // The labels' places on the -3..3 axis: y = 350 - trunc((v + 3) * 200 / 6).
  GraphSettings settings;
  settings.axisMin[0] = -3, settings.axisMax[0] = 3, settings.axisStep[0] = 0;
  RecordingDeviceContext dc;
  drawCurveGraph(dc, kPlot, *store, settings, windowView(0, 99));
  std::vector<int32_t> ys;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text))
    if (call.rect.left == kPlot.left - 40) ys.push_back(call.rect.top + 10);
  EXPECT_EQ(ys, (std::vector<int32_t>{350, 317, 284, 250, 217, 184, 150}));
}

TEST(CurveGraph, HostileAxisSettingsFinishWithFewTicks) {
  auto store = makeGraphStore(
      10, [](int32_t) { return 5; }, [](int32_t) { return 5; });
  GraphSettings settings;
  settings.axisMin[0] = INT32_MIN;
  settings.axisMax[0] = INT32_MAX;
  settings.axisStep[0] = 1;
  settings.axisMin[1] = INT32_MAX - 1;
  settings.axisMax[1] = INT32_MAX;
  settings.axisStep[1] = INT32_MAX;
  RecordingDeviceContext dc;
  drawCurveGraph(dc, kPlot, *store, settings, windowView(0, 9));
  int32_t left = 0;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text))
    if (call.rect.left == kPlot.left - 40) ++left;
  EXPECT_GT(left, 1);
  EXPECT_LE(left, kMaxAxisTicks);
  EXPECT_NE(dc.findText("2147483646"), nullptr);  // one tick on the narrow axis, no overflow past it
  for (const auto& s : dc.segments()) {           // ticks reach 3 pixels out of the plot, nothing further
    for (const Point& p : {s.from, s.to}) {
      EXPECT_GE(p.x, kPlot.left - 3);
      EXPECT_LE(p.x, kPlot.right + 3);
      EXPECT_GE(p.y, kPlot.top);
      EXPECT_LE(p.y, kPlot.bottom + 3);
    }
  }
}

TEST(CurveGraph, ValuesAboveTheAxisRunAlongTheTopWhileTheReadoutShowsThem) {
  auto store = makeGraphStore(
      11, [](int32_t i) { return i == 5 ? 3000 : 1000; }, [](int32_t) { return -2500; });
  GraphSettings settings;  // Y1 0..2000, Y2 (parameter 1) -2000..2000
  CurveGraphView view = windowView(0, 10);
  view.cursorLeft = 5;
  RecordingDeviceContext dc;
  drawCurveGraph(dc, kPlot, *store, settings, view);
  const auto polylines = dc.ofKind(DrawCall::Kind::Polyline);
  ASSERT_EQ(polylines.size(), 3u);
  const DrawCall& y1 = polylines[1];
  const DrawCall& y2 = polylines[2];
  EXPECT_EQ(y1.pen, kY1Pen);
  EXPECT_EQ(y2.pen, kY2Pen);
  ASSERT_EQ(y1.points.size(), 11u);
  EXPECT_EQ(y1.points[5], (Point{60 + 310, kPlot.top}));          // 3000 N on the top edge
  EXPECT_EQ(y1.points[4].y, 250);                                 // 1000 N in the middle
  for (const Point& p : y2.points) EXPECT_EQ(p.y, kPlot.bottom);  // -2500 N on the bottom edge

  const auto texts = readoutTexts(*store, view);
  EXPECT_EQ(texts[3], "Y1L:  3000.0");
  EXPECT_EQ(texts[7], "Y2L: -2500.0");
}

TEST(CurveGraph, CurvesAreDrawnRedAfterBlueAndCursorsLast) {
  auto store = makeGraphStore(
      50, [](int32_t i) { return 20 * i; }, [](int32_t i) { return 10 * i; });
  GraphSettings settings;
  CurveGraphView view = windowView(0, 40);
  view.cursorLeft = 10;
  view.cursorRight = 30;
  for (const CurveDrawing drawing : {CurveDrawing::Columns, CurveDrawing::Segments}) {
    RecordingDeviceContext dc;
    drawCurveGraph(dc, kPlot, *store, settings, view, drawing);
    // The last two lines are the cursors from the top to the bottom of the plot, in black.
    std::vector<DrawCall> lines = dc.ofKind(DrawCall::Kind::Line);
    ASSERT_GE(lines.size(), 2u);
    const DrawCall& xl = lines[lines.size() - 2];
    const DrawCall& xr = lines.back();
    EXPECT_EQ(xl.points, (std::vector<Point>{{60 + 155, 150}, {60 + 155, 350}}));
    EXPECT_EQ(xr.points, (std::vector<Point>{{60 + 465, 150}, {60 + 465, 350}}));
    EXPECT_EQ(xr.pen, kFramePen);
    // Red is never covered by blue: each Y2 piece follows the Y1 piece of its sample (Segments), or
    // all of Y2 follows all of Y1 (Columns).
    const auto pieces = curvePieces(dc);
    ASSERT_FALSE(pieces.empty());
    if (drawing == CurveDrawing::Segments) {
      ASSERT_EQ(pieces.size(), 2u * 40);
      for (size_t k = 0; k < pieces.size(); ++k) EXPECT_EQ(pieces[k].pen, k % 2 ? kY2Pen : kY1Pen);
    } else {
      const auto firstRed = std::find_if(pieces.begin(), pieces.end(), [](const auto& p) { return p.pen == kY2Pen; });
      ASSERT_NE(firstRed, pieces.begin());
      EXPECT_TRUE(std::all_of(firstRed, pieces.end(), [](const auto& p) { return p.pen == kY2Pen; }));
    }
    // The tools are given back as they were.
    EXPECT_EQ(dc.pen(), Pen{});
    EXPECT_EQ(dc.textColor(), kBlack);
    EXPECT_EQ(dc.brush(), Brush{});
  }
}

// Per pixel column, the span of y the curve covers with vertical pieces, and the set of pieces that
// go from one column to another.
struct Coverage {
  std::map<int32_t, std::pair<int32_t, int32_t>> columns;
  std::set<std::pair<std::pair<int32_t, int32_t>, std::pair<int32_t, int32_t>>> steps;
};

Coverage coverageOf(const std::vector<RecordingDeviceContext::Segment>& segments, const Pen& pen) {
  Coverage coverage;
  const auto cover = [&](int32_t x, int32_t y) {
    auto [it, added] = coverage.columns.try_emplace(x, y, y);
    if (!added) it->second = {std::min(it->second.first, y), std::max(it->second.second, y)};
  };
  for (const auto& s : segments) {
    if (!(s.pen == pen)) continue;
    cover(s.from.x, s.from.y);
    cover(s.to.x, s.to.y);
    if (s.from.x != s.to.x) coverage.steps.insert({{s.from.x, s.from.y}, {s.to.x, s.to.y}});
  }
  return coverage;
}

TEST(CurveGraph, ColumnsCoverTheSamePixelsAsEverySegment) {
  // Noisy data, denser and sparser than the plot's columns, on screen and on paper, zoomed and not.
  auto store = makeGraphStore(
      61000,
      [](int32_t i) { return 900 + static_cast<int32_t>((int64_t{i} * 7919) % 1300) - (i % 3000 < 500 ? 800 : 0); },
      [](int32_t i) { return static_cast<int32_t>((int64_t{i} * 104729) % 3000) - 1500; });
  GraphSettings settings;
  struct Case {
    int32_t start, end;
    bool paper;
  };
  const Case cases[] = {{0, 60999, false}, {0, 60999, true}, {1000, 1300, false}, {5000, 5620, false}, {7, 17, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.end);
    RecordingDeviceContext columns(c.paper), segments(c.paper);
    const Rect plot = c.paper ? kPaperPlot : kPlot;
    drawCurveGraph(columns, plot, *store, settings, windowView(c.start, c.end), CurveDrawing::Columns);
    drawCurveGraph(segments, plot, *store, settings, windowView(c.start, c.end), CurveDrawing::Segments);
    for (const Pen& pen : {kY1Pen, kY2Pen}) {
      const Coverage fast = coverageOf(columns.segments(), pen);
      const Coverage slow = coverageOf(segments.segments(), pen);
      EXPECT_EQ(fast.columns, slow.columns);
      EXPECT_EQ(fast.steps, slow.steps);
    }
    // A full window on the screen needs a few points per column, not one per sample.
    if (!c.paper && c.end - c.start > 10000) {
      for (const DrawCall& call : columns.ofKind(DrawCall::Kind::Polyline)) {
        EXPECT_LE(call.points.size(), 4u * 622);
      }
    }
  }
}

TEST(CurveGraph, PaperOffsetsAndUprightRectangles) {
  auto store = makeGraphStore(
      5001, [](int32_t) { return 500; }, [](int32_t) { return 0; });
  GraphSettings settings;
  RecordingDeviceContext dc(true);
  const CurveScales scales = drawCurveGraph(dc, kPaperPlot, *store, settings, windowView(0, 5000));
  EXPECT_LT(scales.y1Scale, 0.0);  // y grows upwards on paper
  // Time tick and label below the plot.
  const DrawCall* first = dc.findText("0");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->rect, (Rect{120 - 200, -1050 - 20, 120 + 200, -1050 - 60}));
  EXPECT_EQ(dc.findText("TIME (ms)")->rect, (Rect{120, -1130, 1700, -1170}));
  // Y1 label 2000 at the top of the plot, Y2 label 2000 beside the right edge.
  std::vector<Rect> labels2000;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text))
    if (call.text == "2000") labels2000.push_back(call.rect);
  ASSERT_EQ(labels2000.size(), 3u);  // the time label 2000, then Y1 and Y2
  EXPECT_EQ(labels2000[1], (Rect{0, -550 + 20, 100, -550 - 20}));
  EXPECT_EQ(labels2000[2], (Rect{1720, -550 + 20, 1900, -550 - 20}));
  EXPECT_EQ(dc.findText("F vertical(N)")->rect, (Rect{-80, -490, 420, -530}));
  EXPECT_EQ(dc.findText("F horizontal(N)")->rect, (Rect{1400, -490, 1900, -530}));
  // The constant 500 N curve: y = -1050 - trunc(500 * (-500 / 2000)) = -925.
  const auto polylines = dc.ofKind(DrawCall::Kind::Polyline);
  ASSERT_EQ(polylines.size(), 3u);
  for (const Point& p : polylines[1].points) EXPECT_EQ(p.y, -925);
  // Ticks: time ticks downwards by 20, Y1 ticks 15 to the left.
  bool timeTick = false, y1Tick = false;
  for (const auto& s : dc.segments()) {
    timeTick |= s.from == Point{120, -1050} && s.to == Point{120, -1070};
    y1Tick |= s.from == Point{120, -550} && s.to == Point{105, -550};
  }
  EXPECT_TRUE(timeTick);
  EXPECT_TRUE(y1Tick);
}

TEST(CurveGraph, PowerTestVelocityAxisIsAFlatRedLineAtZero) {
  auto store = makeGraphStore(
      3000, [](int32_t) { return 700; }, [](int32_t) { return 0; }, TestKind::Power);
  GraphSettings settings;  // Y2 parameter 3: -3..3
  CurveGraphView view = windowView(0, 3000);
  view.y1Shown = 2;
  view.y2Shown = 3;
  RecordingDeviceContext dc;
  drawCurveGraph(dc, kPlot, *store, settings, view);
  EXPECT_NE(dc.findText("v (m/s)"), nullptr);
  EXPECT_NE(dc.findText("Fvector(N)"), nullptr);
  const auto polylines = dc.ofKind(DrawCall::Kind::Polyline);
  ASSERT_EQ(polylines.size(), 3u);
  EXPECT_EQ(polylines[2].pen, kY2Pen);
  for (const Point& p : polylines[2].points) EXPECT_EQ(p.y, 250);
  EXPECT_EQ(polylines[2].points.front().x, 60);
  EXPECT_EQ(polylines[2].points.back().x, 680);
}

TEST(CurveGraph, LiveCurveEndsAtThePublishedCountAndGrowsByNewSegments) {
  auto store = makeGraphStore(
      3000, [](int32_t i) { return (i * 37) % 1900; }, [](int32_t i) { return i % 400; });
  GraphSettings settings;
  CurveGraphView view = windowView(0, 10000);
  view.live = true;
  view.publishedCount = 1200;
  RecordingDeviceContext first;
  const CurveScales scales = drawCurveGraph(first, kPlot, *store, settings, view, CurveDrawing::Segments);
  const auto firstPieces = curvePieces(first);
  ASSERT_EQ(firstPieces.size(), 2u * 1199);
  // The time axis spans the whole test while the curve stops at sample 1199.
  EXPECT_EQ(firstPieces.back().to.x, 60 + static_cast<int32_t>(1199 * (620.0 / 10000)));
  EXPECT_NE(first.findText("10000"), nullptr);

  // The tick adds samples 1200..2999 from the point of sample 1199 on, with the first drawing's scales:
  // exactly the pieces a full drawing of all 3000 samples ends with.
  RecordingDeviceContext tick;
  drawLiveSegments(tick, *store, scales, 1199, 2999, CurveDrawing::Segments);
  const auto added = curvePieces(tick);
  ASSERT_EQ(added.size(), 2u * 1800);
  view.publishedCount = 3000;
  RecordingDeviceContext whole;
  drawCurveGraph(whole, kPlot, *store, settings, view, CurveDrawing::Segments);
  const auto all = curvePieces(whole);
  ASSERT_EQ(all.size(), 2u * 2999);
  for (size_t k = 0; k < added.size(); ++k) {
    const auto& expected = all[2 * 1199 + k];
    EXPECT_EQ(added[k].from, expected.from);
    EXPECT_EQ(added[k].to, expected.to);
    EXPECT_EQ(added[k].pen, expected.pen);
  }
  // The column form of the tick covers the same columns as its segments.
  RecordingDeviceContext tickColumns;
  drawLiveSegments(tickColumns, *store, scales, 1199, 2999);
  for (const Pen& pen : {kY1Pen, kY2Pen}) {
    EXPECT_EQ(coverageOf(tickColumns.segments(), pen).columns, coverageOf(tick.segments(), pen).columns);
    EXPECT_EQ(coverageOf(tickColumns.segments(), pen).steps, coverageOf(tick.segments(), pen).steps);
  }

  // Nothing for an empty range, nor past the window.
  RecordingDeviceContext none;
  drawLiveSegments(none, *store, scales, 500, 500);
  drawLiveSegments(none, *store, scales, 10000, 12000);
  EXPECT_TRUE(none.segments().empty());
}

TEST(CurveGraph, SampleUnderThePoint) {
  auto store = makeGraphStore(
      10, [](int32_t) { return 0; }, [](int32_t) { return 0; });
  GraphSettings settings;
  RecordingDeviceContext dc;
  const CurveScales scales = drawCurveGraph(dc, kPlot, *store, settings, windowView(2000, 2500));
  struct Case {
    Point point;
    std::optional<int32_t> sample;
  };
  // xScale = 620 / 500 = 1.24: x 61 is 1 / 1.24 = 0.8 samples in, x 680 is the right edge (outside).
  const Case cases[] = {{{60, 150}, 2000},          {{61, 200}, 2000},          {{62, 200}, 2001},
                        {{679, 349}, 2499},         {{680, 200}, std::nullopt}, {{59, 200}, std::nullopt},
                        {{300, 350}, std::nullopt}, {{300, 149}, std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(sampleAtPoint(scales, c.point), c.sample) << c.point.x << "," << c.point.y;

  const CurveScales single = drawCurveGraph(dc, kPlot, *store, settings, windowView(0, 0));
  EXPECT_EQ(single.xScale, 0.0);
  EXPECT_EQ(sampleAtPoint(single, {100, 200}), std::nullopt);
}

TEST(Readouts, TextsCellsAndColours) {
  auto store = makeGraphStore(
      200, [](int32_t i) { return i == 100 || i == 101 ? 100 : 7; },
      [](int32_t i) { return i == 100 ? -30 : (i == 101 ? 50 : 1); });
  CurveGraphView view = windowView(0, 199);
  view.cursorLeft = 100;
  view.cursorRight = 101;
  const std::array<std::string, 11> expected = {"XL: 100",         "diff X: 1",       "XR: 101",      "Y1L:   100.0",
                                                "int Y1:     0.2", "avr Y1:   100.0", "Y1R:   100.0", "Y2L:   -30.0",
                                                "int Y2:     0.0", "avr Y2:    10.0", "Y2R:    50.0"};
  EXPECT_EQ(readoutTexts(*store, view), expected);

  RecordingDeviceContext dc;
  drawReadouts(dc, kReadoutArea, *store, view);
  ASSERT_EQ(dc.ofKind(DrawCall::Kind::Rectangle).size(), 1u);
  EXPECT_EQ(dc.ofKind(DrawCall::Kind::Rectangle)[0].rect, kReadoutArea);
  const auto texts = dc.ofKind(DrawCall::Kind::Text);
  ASSERT_EQ(texts.size(), 11u);
  // Columns of 135 pixels and rows of 26: the diff readout spans the two middle columns.
  EXPECT_EQ(texts[0].rect, (Rect{100, 40, 235, 66}));
  EXPECT_EQ(texts[1].rect, (Rect{235, 40, 505, 66}));
  EXPECT_EQ(texts[2].rect, (Rect{505, 40, 640, 66}));
  EXPECT_EQ(texts[4].rect, (Rect{235, 66, 370, 92}));
  EXPECT_EQ(texts[10].rect, (Rect{505, 92, 640, 118}));
  for (size_t k = 0; k < texts.size(); ++k) {
    EXPECT_EQ(texts[k].textColor, k < 3 ? kBlack : (k < 7 ? kBlue : kRed));
    EXPECT_EQ(texts[k].align, TextAlign::Center);
    EXPECT_EQ(texts[k].text, expected[k]);
  }
  EXPECT_EQ(dc.textColor(), kBlack);
}

// On paper (y up, 0.1 mm) the rows keep clear of the panel's frame above and below.
TEST(Readouts, PrintedRowsKeepClearOfTheFrame) {
  auto store = makeGraphStore(
      200, [](int32_t) { return 100; }, [](int32_t) { return 5; });
  const Rect panel{0, -350, 1800, -450};
  RecordingDeviceContext dc(true);
  drawReadouts(dc, panel, *store, windowView(0, 199));
  EXPECT_EQ(dc.ofKind(DrawCall::Kind::Rectangle).at(0).rect, panel);
  const auto texts = dc.ofKind(DrawCall::Kind::Text);
  ASSERT_EQ(texts.size(), 11u);
  EXPECT_EQ(texts[0].rect, (Rect{0, -355, 450, -385}));
  EXPECT_EQ(texts[3].rect, (Rect{0, -385, 450, -415}));
  EXPECT_EQ(texts[10].rect, (Rect{1350, -415, 1800, -445}));
}

TEST(Readouts, SinglePrecisionSumsLocaleAndEdgeRanges) {
  // 61000 samples of 1234 N: the single-precision sum drifts from the exact 75274000 as the program's
  // own arithmetic does; the readouts show what float gives, not what double would.
  auto store = makeGraphStore(
      61000, [](int32_t) { return 1234; }, [](int32_t i) { return i % 2 ? 3 : -3; });
  CurveGraphView view = windowView(0, 60999);
  float sum = 0.0f;
  for (int32_t i = 0; i < 61000; ++i) sum += 1234.0f;
  char expected[64];
  std::snprintf(expected, sizeof expected, "int Y1: %7.1f", static_cast<double>(sum / 1000));
  auto texts = readoutTexts(*store, view);
  EXPECT_EQ(texts[4], expected);
  EXPECT_EQ(texts[1], "diff X: 60999");

  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
    view.cursorLeft = 1;
    view.cursorRight = 2;
    texts = readoutTexts(*store, view);
    EXPECT_EQ(texts[3], "Y1L:  1234,0");
    EXPECT_EQ(texts[9], "avr Y2:     0,0");
    std::setlocale(LC_NUMERIC, "C");
  }
  // Cursors the wrong way round give an empty range with a mean of 0, not a division by zero.
  view.cursorLeft = 10;
  view.cursorRight = 9;
  texts = readoutTexts(*store, view);
  EXPECT_EQ(texts[5], "avr Y1:     0.0");
  EXPECT_EQ(texts[4], "int Y1:     0.0");
}

TEST(CurveGraph, PhasesOfAJumpInsideTheWindow) {
  auto store = testing::designedStore({});
  computeJumpResults(*store);
  ASSERT_TRUE(store->jump.hasModel);
  const JumpPhases& p = store->jump.phases;
  const std::vector<std::pair<int32_t, std::string>> events = {{p.onset, "Onset"},          {p.brakingStart, "Brake"},
                                                               {p.propulsionStart, "Push"}, {p.takeOff, "Take-off"},
                                                               {p.touchDown, "Touch-down"}, {p.landingEnd, "End"}};
  const std::set<std::string> labels = {"Onset", "Brake", "Push", "Take-off", "Touch-down", "End"};
  const struct {
    const char* name;
    int32_t start, end;
    bool show, live, paper;
    size_t bands;  // bands between events, cut to the window
  } cases[] = {
      {"whole recording", 0, 4999, true, false, false, 5},
      {"on paper", 0, 4999, true, false, true, 5},
      {"from the braking into the flight", p.brakingStart + 50, p.takeOff + 100, true, false, false, 3},
      {"standing only", 0, 1500, true, false, false, 0},
      {"turned off", 0, 4999, false, false, false, 0},
      {"while the test runs", 0, 4999, true, true, false, 0},
  };
  GraphSettings settings;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingDeviceContext dc(c.paper);
    CurveGraphView view = windowView(c.start, c.end);
    view.showPhases = c.show;
    view.live = c.live;
    view.publishedCount = 5000;
    const CurveScales scales = drawCurveGraph(dc, c.paper ? kPaperPlot : kPlot, *store, settings, view);
    auto x = [&scales](int32_t sample) {
      return scales.plot.left + truncateToInt((sample - scales.windowStart) * scales.xScale);
    };
    // A line and a label for every event inside the window, in order.
    std::vector<std::string> drawnLabels;
    for (const std::string& text : dc.texts())
      if (labels.count(text) == 1) drawnLabels.push_back(text);
    std::vector<int32_t> lineXs;
    for (const auto& segment : dc.segments())
      if (segment.pen.color == Rgb{128, 128, 128}) lineXs.push_back(segment.from.x);
    std::vector<std::string> wantedLabels;
    std::vector<int32_t> wantedXs;
    const bool shown = c.show && !c.live;
    for (const auto& [sample, label] : events)
      if (shown && sample >= c.start && sample <= c.end) {
        wantedLabels.push_back(label);
        wantedXs.push_back(x(sample));
      }
    EXPECT_EQ(drawnLabels, wantedLabels);
    EXPECT_EQ(lineXs, wantedXs);
    const std::vector<DrawCall> bands = dc.ofKind(DrawCall::Kind::FillRect);
    ASSERT_EQ(bands.size(), c.bands);
    for (const DrawCall& band : bands) {
      EXPECT_GE(std::min(band.rect.left, band.rect.right), scales.plot.left);
      EXPECT_LE(std::max(band.rect.left, band.rect.right), scales.plot.right);
      EXPECT_EQ(band.rect.top, scales.plot.top);
      EXPECT_EQ(band.rect.bottom, scales.plot.bottom);
    }
    if (c.bands == 5) {
      EXPECT_EQ(bands[1].rect.left, x(p.brakingStart)) << "the braking band starts at its event";
    }
    if (c.bands == 3) {
      EXPECT_EQ(bands[0].rect.left, scales.plot.left) << "a band cut by the window's start";
    }
  }

  // A force test never shows phases, whatever its store holds.
  store->testKind = TestKind::Force;
  RecordingDeviceContext dc;
  drawCurveGraph(dc, kPlot, *store, settings, windowView(0, 4999));
  EXPECT_TRUE(dc.ofKind(DrawCall::Kind::FillRect).empty());

  // A recording that ends in the air: the flight is shaded to the last sample, with no "End" line there.
  testing::DesignedJump cut;
  cut.samples = 3000;
  auto inAir = testing::designedStore(cut);
  computeJumpResults(*inAir);
  ASSERT_TRUE(inAir->jump.hasModel);
  ASSERT_LT(inAir->jump.phases.touchDown, 0);
  RecordingDeviceContext air;
  CurveGraphView view = windowView(0, 2999);
  view.showPhases = true;
  view.publishedCount = 3000;
  drawCurveGraph(air, kPlot, *inAir, settings, view);
  std::vector<std::string> drawnLabels;
  for (const std::string& text : air.texts())
    if (labels.count(text) == 1) drawnLabels.push_back(text);
  EXPECT_EQ(drawnLabels, (std::vector<std::string>{"Onset", "Brake", "Push", "Take-off"}));
  EXPECT_EQ(air.ofKind(DrawCall::Kind::FillRect).size(), 4u);
}

}  // namespace
}  // namespace velkora
