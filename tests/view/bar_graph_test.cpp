#include "view/bar_graph.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "view/graph_fixtures.h"
#include "view/recording_device_context.h"
#include "view/screen_drawing.h"
#include "view/screen_layout.h"

namespace velkora {
namespace {

using testing::horizontalLines;
using testing::textsOf;
using testing::textsWithTop;

constexpr Rect kPlot = kPlotArea;  // 60, 150, 680, 350

struct Row {
  int32_t peakVertical, meanVertical, peakHorizontal, meanHorizontal;
};

void fill(RepetitionTable& table, const std::vector<Row>& rows) {
  for (size_t r = 0; r < rows.size(); ++r) {
    table.peakVertical[r] = rows[r].peakVertical;
    table.meanVertical[r] = rows[r].meanVertical;
    table.peakHorizontal[r] = rows[r].peakHorizontal;
    table.meanHorizontal[r] = rows[r].meanHorizontal;
  }
  table.count = static_cast<int32_t>(rows.size());
}

std::vector<Row> sameRows(int32_t count, Row row) { return std::vector<Row>(static_cast<size_t>(count), row); }

TEST(BarGraph, SlotsLabelStepAndForceAxis) {
  struct Case {
    int32_t repetitions;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {3, {"1", "2", "3"}},
      {14, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14"}},
      {16, {"1", "3", "5", "7", "9", "11", "13", "15"}},
  };
  GraphSettings settings;  // 0..2000, step 400
  for (const Case& c : cases) {
    SCOPED_TRACE(c.repetitions);
    RepetitionTable table;
    fill(table, sameRows(c.repetitions, {800, 400, 100, 50}));
    RecordingDeviceContext dc;
    const BarScales scales = drawBarGraph(dc, kPlot, table, settings, BarGraphView{});
    EXPECT_DOUBLE_EQ(scales.xScale, 620.0 / (c.repetitions + 1));
    const auto labels = textsWithTop(dc, kPlot.bottom + 3);
    EXPECT_EQ(textsOf(labels), c.labels);
    EXPECT_EQ(dc.findText("REP (no)")->rect, (Rect{60, 368, 680, 383}));
    std::vector<std::string> left, right;
    for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text)) {
      if (call.rect.left == 20 && call.rect.right == 55) left.push_back(call.text);
      if (call.rect.left == 685 && call.rect.right == 720) right.push_back(call.text);
      if (call.rect.left == 20 || call.rect.left == 685) {
        EXPECT_EQ(call.align, TextAlign::Right);
        EXPECT_EQ(call.textColor, kBlue);
      }
    }
    const std::vector<std::string> force = {"0", "400", "800", "1200", "1600", "2000"};
    EXPECT_EQ(left, force);
    EXPECT_EQ(right, force);
    EXPECT_EQ(textsOf(textsWithTop(dc, 125)), (std::vector<std::string>{"F (N)", "F (N)"}));
  }
  // Three repetitions: slots a quarter of the plot apart.
  RepetitionTable table;
  fill(table, sameRows(3, {800, 400, 100, 50}));
  RecordingDeviceContext dc;
  drawBarGraph(dc, kPlot, table, settings, BarGraphView{});
  std::vector<Rect> slots;
  for (const DrawCall& call : textsWithTop(dc, 353)) slots.push_back(call.rect);
  EXPECT_EQ(slots, (std::vector<Rect>{{195, 353, 235, 368}, {350, 353, 390, 368}, {505, 353, 545, 368}}));
}

TEST(BarGraph, BarsClampedHighlightedAndTheirHitRectangles) {
  RepetitionTable table;
  fill(table, {{3000, 1000, 500, -100}, {900, 450, 200, 100}, {1200, 600, 300, 150}});
  GraphSettings settings;
  BarGraphView view;
  view.selectedRepetition = 0;
  RecordingDeviceContext dc;
  const BarScales scales = drawBarGraph(dc, kPlot, table, settings, view);

  const auto rectangles = dc.ofKind(DrawCall::Kind::Rectangle);
  ASSERT_EQ(rectangles.size(), 12u);
  // Repetition 1 at x 215: the peak above the axis stands up to the top edge, the negative mean sits
  // on the base; highlighted in red.
  EXPECT_EQ(rectangles[0].rect, (Rect{199, 150, 207, 350}));
  EXPECT_EQ(rectangles[1].rect, (Rect{207, 250, 215, 350}));
  EXPECT_EQ(rectangles[2].rect, (Rect{215, 300, 223, 350}));
  EXPECT_EQ(rectangles[3].rect, (Rect{223, 350, 231, 350}));
  for (size_t k = 0; k < rectangles.size(); ++k) {
    EXPECT_EQ(rectangles[k].brush, k < 4 ? kHighlightBrush : kBarBrush);
    EXPECT_EQ(rectangles[k].pen, kFramePen);
  }
  // The texts show the table's values, not the clamped ones, before the highlighted bars.
  const DrawCall* peak = dc.findText("Force max vert. horiz.: 3000  500");
  const DrawCall* mean = dc.findText("Force avrage vert. horiz.: 1000  -100");
  ASSERT_NE(peak, nullptr);
  ASSERT_NE(mean, nullptr);
  EXPECT_EQ(peak->rect, (Rect{100, 70, 640, 85}));
  EXPECT_EQ(mean->rect, (Rect{100, 85, 640, 110}));
  EXPECT_EQ(peak->textColor, kBlue);
  EXPECT_EQ(dc.texts().size(), 3u + 1u + 12u + 2u + 2u);  // slots, REP, force labels, titles, highlight

  EXPECT_EQ(scales.bars, 3);
  EXPECT_EQ(scales.hitRects[0], (Rect{199, 150, 231, 350}));
  EXPECT_EQ(scales.hitRects[1], (Rect{354, 260, 386, 350}));  // 900 N
  struct Click {
    Point point;
    std::optional<int32_t> repetition;
  };
  const Click clicks[] = {{{370 - 12, 261}, 1},
                          {{370 - 12, 259}, std::nullopt},
                          {{290, 300}, std::nullopt},
                          {{231, 300}, std::nullopt},
                          {{199, 150}, 0},
                          {{525 + 15, 349}, 2},
                          {{525, 350}, std::nullopt}};
  for (const Click& c : clicks) EXPECT_EQ(repetitionAtPoint(scales, c.point), c.repetition) << c.point.x;
  EXPECT_EQ(dc.pen(), Pen{});
  EXPECT_EQ(dc.brush(), Brush{});
  EXPECT_EQ(dc.textColor(), kBlack);
}

TEST(BarGraph, BaseAtZeroOrAtTheAxisLimit) {
  struct Case {
    int32_t min, max;
    int32_t bottom;  // y the bars stand on
    bool zeroLine;
  };
  // Plot height 200: -500..2000 puts zero 40 pixels above the bottom edge.
  const Case cases[] = {
      {-500, 2000, 310, true}, {500, 2000, 350, false}, {0, 2000, 350, false}, {-2000, -500, 150, false}};
  RepetitionTable table;
  fill(table, {{-300, 1000, 700, 600}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.min);
    GraphSettings settings;
    settings.axisMin[0] = c.min;
    settings.axisMax[0] = c.max;
    RecordingDeviceContext dc;
    const BarScales scales = drawBarGraph(dc, kPlot, table, settings, BarGraphView{});
    const auto rectangles = dc.ofKind(DrawCall::Kind::Rectangle);
    ASSERT_EQ(rectangles.size(), 4u);
    for (const DrawCall& r : rectangles) EXPECT_EQ(r.rect.bottom, c.bottom);
    EXPECT_EQ(horizontalLines(dc, 60, 680).size(), c.zeroLine ? 1u : 0u);
    if (c.min == -500) {
      // The negative peak hangs down from the zero line and can still be clicked.
      EXPECT_EQ(rectangles[0].rect, (Rect{354, 350 - 16, 362, 310}));
      EXPECT_EQ(repetitionAtPoint(scales, {360, 320}), 0);
      EXPECT_EQ(repetitionAtPoint(scales, {360, 305}), std::nullopt);
    }
  }
  // An axis without range: frame and its one label, the texts, but no bars to draw or hit.
  GraphSettings flat;
  flat.axisMin[0] = flat.axisMax[0] = 1000;
  RecordingDeviceContext dc;
  const BarScales scales = drawBarGraph(dc, kPlot, table, flat, BarGraphView{});
  EXPECT_EQ(scales.barScale, 0.0);
  EXPECT_TRUE(dc.ofKind(DrawCall::Kind::Rectangle).empty());
  EXPECT_NE(dc.findText("Force max vert. horiz.: -300  700"), nullptr);
  EXPECT_EQ(repetitionAtPoint(scales, {370, 349}), std::nullopt);
}

TEST(BarGraph, PaperBarsAreWiderAndTextsFollowThem) {
  RepetitionTable table;
  fill(table, {{1000, 500, 400, 200}, {1500, 700, 600, 300}});
  GraphSettings settings;
  BarGraphView view;
  view.selectedRepetition = 1;
  RecordingDeviceContext dc(true);
  const Rect plot{120, -550, 1680, -1050};
  drawBarGraph(dc, plot, table, settings, view);
  const auto& calls = dc.calls();
  std::vector<size_t> order;
  for (size_t k = 0; k < calls.size(); ++k)
    if (calls[k].kind == DrawCall::Kind::Rectangle || calls[k].text.rfind("Force ", 0) == 0) order.push_back(k);
  ASSERT_EQ(order.size(), 10u);
  EXPECT_EQ(calls[order[8]].rect, kPaperHighlightRects[0]);
  EXPECT_EQ(calls[order[9]].rect, kPaperHighlightRects[1]);
  // Slot 2 of 3 at x = 120 + trunc(2 * 1560 / 3) = 1160; the vertical peak 1500 N: y = -1050 + 375.
  EXPECT_EQ(calls[order[4]].rect, (Rect{1120, -675, 1140, -1050}));
  EXPECT_EQ(calls[order[7]].rect.right - calls[order[7]].rect.left, 20);
  EXPECT_EQ(dc.findText("REP (no)")->rect, (Rect{120, -1130, 1680, -1170}));
  EXPECT_EQ(dc.findText("1")->rect, (Rect{640 - 200, -1070, 640 + 200, -1110}));
}

TEST(BarGraph, LiveTestLaysOutTheTargetAndDrawsTheRepetitionInProgress) {
  RepetitionTable table;
  GraphSettings settings;
  BarGraphView view;
  view.live = true;
  view.repetitionTarget = 10;
  view.liveBarsDrawn = 0;
  RecordingDeviceContext dc;
  const BarScales scales = drawBarGraph(dc, kPlot, table, settings, view);
  EXPECT_EQ(textsOf(textsWithTop(dc, 353)),
            (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
  EXPECT_TRUE(dc.ofKind(DrawCall::Kind::Rectangle).empty());

  // The recorder's running peaks and the newest sample: 2500 N is beyond the axis, -20 N below it.
  MeasurementStore store;
  store.repetitions.peakVertical[0] = 1200;
  store.repetitions.peakHorizontal[0] = 300;
  store.channels.vertical[41] = 2500;
  store.channels.horizontal[41] = -10;
  store.recording.sampleCount = 42;
  const CalibrationSet calibration{0.0f, 0.0f, 0.5f, 2.0f};
  const LiveRepetition live = liveRepetition(store.recording, store.repetitions, calibration, 0);
  EXPECT_EQ(live.newestVertical, 1250.0f);
  EXPECT_EQ(live.newestHorizontal, -20.0f);
  EXPECT_EQ(live.peakVertical, 1200.0f);
  RecordingDeviceContext tick;
  drawLiveRepetition(tick, scales, live);
  const auto rectangles = tick.ofKind(DrawCall::Kind::Rectangle);
  ASSERT_EQ(rectangles.size(), 6u);
  const int32_t x = 60 + 620 / 11;  // slot 1
  // White erasure from the top down to the current levels, then red bars from the bottom edge.
  EXPECT_EQ(rectangles[0].rect, (Rect{x - 8, 150, x, 350 - 125}));
  EXPECT_EQ(rectangles[1].rect, (Rect{x + 8, 150, x + 16, 350}));
  EXPECT_EQ(rectangles[0].brush, Brush::of(kWhite));
  EXPECT_EQ(rectangles[0].pen.color, kWhite);
  EXPECT_EQ(rectangles[2].rect, (Rect{x - 16, 350 - 120, x - 8, 350}));
  EXPECT_EQ(rectangles[3].rect, (Rect{x - 8, 350 - 125, x, 350}));
  EXPECT_EQ(rectangles[4].rect, (Rect{x, 350 - 30, x + 8, 350}));
  EXPECT_EQ(rectangles[5].rect, (Rect{x + 8, 350, x + 16, 350}));
  for (size_t k = 2; k < 6; ++k) {
    EXPECT_EQ(rectangles[k].brush, kHighlightBrush);
    EXPECT_EQ(rectangles[k].pen, kFramePen);
  }
  // Before the first sample the newest forces count as 0; a repetition beyond the slots is not drawn.
  store.recording.sampleCount = 0;
  EXPECT_EQ(liveRepetition(store.recording, store.repetitions, calibration, 0).newestVertical, 0.0f);
  RecordingDeviceContext beyond;
  drawLiveRepetition(beyond, scales, liveRepetition(store.recording, store.repetitions, calibration, 10));
  drawLiveRepetition(beyond, scales, liveRepetition(store.recording, store.repetitions, calibration, 30));
  EXPECT_TRUE(beyond.calls().empty());

  // Completed repetitions during the test are the blue bars of liveBarsDrawn rows.
  fill(store.repetitions, {{1000, 500, 200, 100}, {1100, 550, 210, 110}});
  view.liveBarsDrawn = 1;
  view.selectedRepetition = 5;
  RecordingDeviceContext one;
  drawBarGraph(one, kPlot, store.repetitions, settings, view);
  EXPECT_EQ(one.ofKind(DrawCall::Kind::Rectangle).size(), 4u);

  // A target from a damaged configuration file: a bounded axis, and no bar without a slot.
  view.repetitionTarget = 2000000000;
  RecordingDeviceContext huge;
  EXPECT_LE(drawBarGraph(huge, kPlot, store.repetitions, settings, view).slotCount, kMaxAxisTicks);
  view.repetitionTarget = 1;
  view.liveBarsDrawn = 2;
  RecordingDeviceContext fewer;
  EXPECT_EQ(drawBarGraph(fewer, kPlot, store.repetitions, settings, view).bars, 1);
}

TEST(BarGraph, ScreenTextsFollowTheReadoutArea) {
  MeasurementStore store;
  fill(store.repetitions, {{1000, 500, 200, 100}});
  store.recordingAvailable = 1;
  GraphSettings settings;
  RecordingDeviceContext dc;
  const ScreenLayout layout = screenLayout(1480, 800);
  const BarScales scales = drawBarScreen(dc, layout, store, "Ann", settings, BarGraphView{});
  EXPECT_EQ(scales.plot, layout.plotArea);
  const DrawCall* peak = dc.findText("Force max vert. horiz.: 1000  200");
  ASSERT_NE(peak, nullptr);
  EXPECT_EQ(peak->rect, (Rect{200, 110, 1280, 125}));
  EXPECT_NE(dc.findText("Name: Ann"), nullptr);
}

}  // namespace
}  // namespace velkora
