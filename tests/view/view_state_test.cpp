#include "view/view_state.h"

#include <gtest/gtest.h>

#include "model/command_ids.h"
#include "reports/digital_reports.h"
#include "reports/report_fixtures.h"

namespace velkora {
namespace {

using testing::makeStore;

// A view showing the curve graph of a force recording of `samples` samples, drawn with one pixel
// per sample from the left edge of the plot.
struct CurveView {
  explicit CurveView(int32_t samples) : store(makeStore({{samples, 100}}, TestKind::Force)) {
    EXPECT_TRUE(view.enterCurveGraph(*store, graph));
    drawn(1.0, 0);
  }
  // As a drawing of the window from `start` at `scale` pixels per sample in the plot would leave it.
  void drawn(double scale, int32_t start) {
    view.curveScales.plot = kPlotArea;
    view.curveScales.windowStart = start;
    view.curveScales.xScale = scale;
  }
  std::unique_ptr<MeasurementStore> store;
  GraphSettings graph;
  ViewState view;
};

TEST(ViewState, CommandEnablingFollowsKindDataAndRepetitions) {
  struct Case {
    TestKind kind;
    int32_t available;
    int32_t repetitions;
    bool digitalAndCurve, bar, repetitionReport, summaryAndHeight;
  };
  const Case cases[] = {
      {TestKind::Force, 0, 0, false, false, false, false}, {TestKind::Force, 0, 3, false, false, false, false},
      {TestKind::Force, 1, 0, true, false, false, false},  {TestKind::Force, 1, 1, true, true, true, false},
      {TestKind::Power, 1, 0, true, false, false, true},   {TestKind::Power, 1, 2, true, false, true, true},
      {TestKind::Power, 0, 2, false, false, false, false},
  };
  for (const Case& c : cases) {
    auto store = makeStore({{10, 5}}, c.kind);
    store->recordingAvailable = c.available;
    store->repetitions.count = c.repetitions;
    const std::string what = std::to_string(static_cast<int>(c.kind)) + "/" + std::to_string(c.available) + "/" +
                             std::to_string(c.repetitions);
    EXPECT_EQ(viewCommandEnabled(cmd::kDigitalReport, *store), c.digitalAndCurve) << what;
    EXPECT_EQ(viewCommandEnabled(cmd::kCurveGraph, *store), c.digitalAndCurve) << what;
    EXPECT_EQ(viewCommandEnabled(cmd::kMetricsReport, *store), c.digitalAndCurve) << what;
    EXPECT_EQ(viewCommandEnabled(cmd::kBarGraph, *store), c.bar) << what;
    EXPECT_EQ(viewCommandEnabled(cmd::kRepetitionReport, *store), c.repetitionReport) << what;
    EXPECT_EQ(viewCommandEnabled(cmd::kSummaryReport, *store), c.summaryAndHeight) << what;
    EXPECT_EQ(viewCommandEnabled(cmd::kHeightReport, *store), c.summaryAndHeight) << what;
  }
}

TEST(ViewState, ModesGoWithTheirBarsAndTheReportList) {
  struct Case {
    DisplayMode mode;
    int32_t bar;
    bool list;
  };
  const Case cases[] = {
      {DisplayMode::Empty, 0, false},
      {DisplayMode::CurveGraph, cmd::kCurveBar, false},
      {DisplayMode::DigitalReport, cmd::kReportBar, true},
      {DisplayMode::ForceTestLive, cmd::kStopBar, false},
      {DisplayMode::PowerTestLive, cmd::kStopBar, false},
      {DisplayMode::BarGraph, cmd::kRepetitionBar, false},
      {DisplayMode::SummaryReport, 0, true},
      {DisplayMode::HeightReport, 0, true},
      {DisplayMode::RepetitionReport, cmd::kReportBar, true},
      {DisplayMode::MetricsReport, cmd::kMetricsBar, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dialogBarOf(c.mode), c.bar) << static_cast<int>(c.mode);
    EXPECT_EQ(showsReportList(c.mode), c.list) << static_cast<int>(c.mode);
  }
}

TEST(ViewState, CurveGraphOfAForceRecordingShowsVerticalAndHorizontalAndTheWholeWindow) {
  auto store = makeStore({{5000, 100}}, TestKind::Force);
  GraphSettings graph;
  graph.y1Parameter = 2;
  graph.y2Parameter = 0;
  ViewState view;
  ASSERT_TRUE(view.enterCurveGraph(*store, graph));
  EXPECT_EQ(graph.y1Parameter, 0);
  EXPECT_EQ(graph.y2Parameter, 1);
  EXPECT_EQ(view.y1Shown, 0);
  EXPECT_EQ(view.y2Shown, 1);
  EXPECT_EQ(view.sampleWindowStart, 0);
  EXPECT_EQ(view.sampleWindowEnd, 5000) << "the window ends at the spare slot";
  EXPECT_EQ(view.cursorLeft, 0);
  EXPECT_EQ(view.cursorRight, 5000);

  // Curve graph again while shown: a zoom stays; through the digital report it is undone.
  view.cursorLeft = 2000;
  view.cursorRight = 2500;
  view.zoom();
  EXPECT_FALSE(view.enterCurveGraph(*store, graph));
  EXPECT_EQ(view.sampleWindowStart, 2000);
  ASSERT_TRUE(view.enterReport(DisplayMode::DigitalReport, *store));
  ASSERT_TRUE(view.enterCurveGraph(*store, graph));
  EXPECT_EQ(view.sampleWindowStart, 0);
  EXPECT_EQ(view.sampleWindowEnd, 5000);
  EXPECT_EQ(view.cursorLeft, 0);
  EXPECT_EQ(view.cursorRight, 5000);
}

TEST(ViewState, CurveGraphOfAPowerRecordingKeepsTheStoredChoice) {
  auto store = makeStore({{3000, 700}}, TestKind::Power);
  GraphSettings graph;
  graph.y1Parameter = 2;
  graph.y2Parameter = 0;
  ViewState view;
  ASSERT_TRUE(view.enterCurveGraph(*store, graph));
  EXPECT_EQ(view.y1Shown, 2);
  EXPECT_EQ(view.y2Shown, 0);
  EXPECT_EQ(graph.y1Parameter, 2);
  EXPECT_EQ(curveParameterEntries(TestKind::Power).size(), 6u);
  EXPECT_EQ(curveParameterEntries(TestKind::Power)[3], "v (m/s)");
  EXPECT_EQ(curveParameterEntries(TestKind::Force),
            (std::vector<std::string_view>{"F vertical (N)", "F horizontal (N)", "F vector (N)"}));
}

TEST(ViewState, AFullRecordingEndsTheWindowAtTheLastIndexTheStoreHolds) {
  for (int32_t count : {61000, 70000}) {
    auto store = makeStore({}, TestKind::Force);
    store->sampleCount = count;
    GraphSettings graph;
    ViewState view;
    ASSERT_TRUE(view.enterCurveGraph(*store, graph));
    EXPECT_EQ(view.sampleWindowEnd, 60999) << count;
    EXPECT_EQ(view.cursorRight, 60999) << count;
    // XR cannot be stepped past the window, and the window never past the store.
    EXPECT_EQ(view.stepCursor(cmd::kCursorRightRight), Repaint::GraphAreas);
    EXPECT_EQ(view.cursorRight, 60999);
    view.showFullWindow(*store);
    EXPECT_EQ(view.sampleWindowEnd, 60999);
  }
  auto empty = makeStore({}, TestKind::Force);
  GraphSettings graph;
  ViewState view;
  ASSERT_TRUE(view.enterCurveGraph(*empty, graph));
  EXPECT_EQ(view.sampleWindowEnd, 0);
  EXPECT_EQ(view.cursorRight, 0);
}

TEST(ViewState, KeysGiveTheCommandsOfTheGraphShown) {
  struct Case {
    DisplayMode mode;
    ViewKey key;
    bool shift;
    int32_t command;
  };
  const Case cases[] = {
      {DisplayMode::CurveGraph, ViewKey::Left, false, cmd::kCursorLeftLeft},
      {DisplayMode::CurveGraph, ViewKey::Right, false, cmd::kCursorLeftRight},
      {DisplayMode::CurveGraph, ViewKey::Left, true, cmd::kCursorRightLeft},
      {DisplayMode::CurveGraph, ViewKey::Right, true, cmd::kCursorRightRight},
      {DisplayMode::CurveGraph, ViewKey::Enter, false, cmd::kZoom},
      {DisplayMode::BarGraph, ViewKey::Left, false, cmd::kPreviousRepetition},
      {DisplayMode::BarGraph, ViewKey::Right, false, cmd::kNextRepetition},
      {DisplayMode::BarGraph, ViewKey::Right, true, 0},
      {DisplayMode::BarGraph, ViewKey::Enter, false, 0},
      {DisplayMode::ForceTestLive, ViewKey::Left, false, 0},
      {DisplayMode::DigitalReport, ViewKey::Right, false, 0},
      {DisplayMode::Empty, ViewKey::Enter, false, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(viewKeyCommand(c.mode, c.key, c.shift), c.command)
        << static_cast<int>(c.mode) << " " << static_cast<int>(c.key) << " " << c.shift;
}

TEST(ViewState, CursorStepsKeepXLLeftOfXRInsideTheWindow) {
  struct Case {
    int32_t left, right;
    int32_t command;
    int32_t expectedLeft, expectedRight;
  };
  // Window 0 .. 1000.
  const Case cases[] = {
      {100, 101, cmd::kCursorLeftRight, 100, 101}, {100, 101, cmd::kCursorRightLeft, 100, 101},
      {100, 102, cmd::kCursorLeftRight, 101, 102}, {100, 102, cmd::kCursorRightLeft, 100, 101},
      {0, 500, cmd::kCursorLeftLeft, 0, 500},      {1, 500, cmd::kCursorLeftLeft, 0, 500},
      {0, 1000, cmd::kCursorRightRight, 0, 1000},  {0, 999, cmd::kCursorRightRight, 0, 1000},
  };
  for (const Case& c : cases) {
    CurveView v(1000);
    v.view.cursorLeft = c.left;
    v.view.cursorRight = c.right;
    EXPECT_EQ(v.view.stepCursor(c.command), Repaint::GraphAreas) << "repaints even at a limit";
    EXPECT_EQ(v.view.cursorLeft, c.expectedLeft) << c.left << " " << c.right << " " << c.command;
    EXPECT_EQ(v.view.cursorRight, c.expectedRight) << c.left << " " << c.right << " " << c.command;
  }
}

TEST(ViewState, ZoomMakesTheCursorsTheWindowsEdges) {
  CurveView v(5000);
  v.view.cursorLeft = 2000;
  v.view.cursorRight = 2500;
  EXPECT_EQ(v.view.zoom(), Repaint::Whole);
  EXPECT_EQ(v.view.sampleWindowStart, 2000);
  EXPECT_EQ(v.view.sampleWindowEnd, 2500);
  v.view.stepCursor(cmd::kCursorLeftLeft);
  EXPECT_EQ(v.view.cursorLeft, 2000);
  v.view.stepCursor(cmd::kCursorRightRight);
  EXPECT_EQ(v.view.cursorRight, 2500);
  v.view.showFullWindow(*v.store);
  EXPECT_EQ(v.view.sampleWindowStart, 0);
  EXPECT_EQ(v.view.sampleWindowEnd, 5000);
  EXPECT_EQ(v.view.cursorLeft, 0);
  EXPECT_EQ(v.view.cursorRight, 5000);
}

TEST(ViewState, MousePlacesTheCursorsBySampleWithTheLatestScale) {
  // Window 1000 .. 1620 drawn at one pixel per sample in the plot 60..680 (x), 150..350 (y).
  struct Case {
    MouseButton button;
    int32_t x, y;
    int32_t expectedLeft, expectedRight;
    Repaint repaint;
  };
  const int32_t left = kPlotArea.left;
  const Case cases[] = {
      {MouseButton::Left, left + 50, 200, 1050, 1400, Repaint::GraphAreas},
      {MouseButton::Left, left + 400, 200, 1100, 1400, Repaint::None},  // on XR's pixel: XL stays
      {MouseButton::Left, left + 401, 200, 1100, 1400, Repaint::None},  // right of XR
      {MouseButton::Left, left + 100, 200, 1100, 1400, Repaint::None},  // XL's own sample: nothing changes
      {MouseButton::Right, left + 99, 200, 1100, 1400, Repaint::None},  // left of XL: XR stays
      {MouseButton::Right, left + 101, 200, 1100, 1101, Repaint::GraphAreas},
      {MouseButton::Right, kPlotArea.right - 1, 200, 1100, 1619, Repaint::GraphAreas},
      {MouseButton::Right, kPlotArea.right, 200, 1100, 1400, Repaint::None},      // right edge is outside
      {MouseButton::Left, left, kPlotArea.top, 1000, 1400, Repaint::GraphAreas},  // left and top edges inside
      {MouseButton::Left, left - 1, 200, 1100, 1400, Repaint::None},
      {MouseButton::Left, left + 10, kPlotArea.bottom, 1100, 1400, Repaint::None},  // bottom edge outside
  };
  for (const Case& c : cases) {
    CurveView v(5000);
    v.view.sampleWindowStart = 1000;
    v.view.sampleWindowEnd = 1620;
    v.drawn(1.0, 1000);
    v.view.cursorLeft = 1100;
    v.view.cursorRight = 1400;
    EXPECT_EQ(v.view.placeCursor(c.button, c.x, c.y), c.repaint) << c.x << "," << c.y;
    EXPECT_EQ(v.view.cursorLeft, c.expectedLeft) << c.x << "," << c.y;
    EXPECT_EQ(v.view.cursorRight, c.expectedRight) << c.x << "," << c.y;
  }
}

TEST(ViewState, MousePlacementTruncatesTheScaleAndNeedsADrawing) {
  CurveView v(1000);
  v.drawn(0.62, 0);  // 620 pixels for 1000 samples
  v.view.placeCursor(MouseButton::Left, kPlotArea.left + 100, 200);
  EXPECT_EQ(v.view.cursorLeft, 161);  // 100 / 0.62 = 161.29
  // A point past the window's last sample (a stale, smaller scale) stops at the window's end.
  v.drawn(0.1, 0);
  v.view.cursorRight = 500;
  v.view.placeCursor(MouseButton::Right, kPlotArea.left + 600, 200);
  EXPECT_EQ(v.view.cursorRight, 1000);
  // Without a drawing, or outside the curve graph, a click does nothing.
  v.drawn(0.0, 0);
  EXPECT_EQ(v.view.placeCursor(MouseButton::Left, kPlotArea.left + 10, 200), Repaint::None);
  EXPECT_EQ(v.view.cursorLeft, 161);
  v.drawn(1.0, 0);
  v.view.resetView();
  EXPECT_EQ(v.view.placeCursor(MouseButton::Left, kPlotArea.left + 10, 200), Repaint::None);
  // The plot drawn elsewhere in a larger window: its own rectangle counts.
  ASSERT_TRUE(v.view.enterCurveGraph(*v.store, v.graph));
  v.view.curveScales.plot = Rect{100, 300, 900, 700};
  v.view.placeCursor(MouseButton::Left, 140, 400);
  EXPECT_EQ(v.view.cursorLeft, 40);
  EXPECT_EQ(v.view.placeCursor(MouseButton::Left, 61, 200), Repaint::None);
}

TEST(ViewState, RepetitionsAreSelectedByTheirBarsAndPagedWithinTheCount) {
  ViewState view;
  ASSERT_TRUE(view.enterBarGraph());
  EXPECT_FALSE(view.enterBarGraph());
  EXPECT_EQ(view.selectedRepetition, 0);
  view.barScales.hitRects[0] = Rect{100, 200, 120, 350};
  view.barScales.hitRects[1] = Rect{200, 180, 220, 350};
  view.barScales.hitRects[2] = Rect{300, 250, 320, 350};
  view.barScales.hitRects[3] = Rect{400, 250, 420, 350};  // a bar of an earlier recording
  view.barScales.bars = 4;
  EXPECT_EQ(view.selectRepetitionAt(210, 200, 3), Repaint::GraphAreas);
  EXPECT_EQ(view.selectedRepetition, 1);
  EXPECT_EQ(view.selectRepetitionAt(410, 300, 3), Repaint::None);
  EXPECT_EQ(view.selectRepetitionAt(220, 200, 3), Repaint::None) << "right edge outside";
  EXPECT_EQ(view.selectedRepetition, 1);

  for (int i = 0; i < 5; ++i) view.pageRepetition(cmd::kNextRepetition, 3);
  EXPECT_EQ(view.selectedRepetition, 2);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(view.pageRepetition(cmd::kPreviousRepetition, 3), Repaint::GraphAreas);
  EXPECT_EQ(view.selectedRepetition, 0);
  view.pageRepetition(cmd::kNextRepetition, 0);
  EXPECT_EQ(view.selectedRepetition, 0);
  EXPECT_EQ(view.y1Shown, 0);
}

TEST(ViewState, ParameterChoiceIsShownAndRemembered) {
  CurveView v(100);
  EXPECT_EQ(v.view.chooseParameter(cmd::kY2List, 2, v.graph), Repaint::Whole);
  EXPECT_EQ(v.view.y2Shown, 2);
  EXPECT_EQ(v.graph.y2Parameter, 2);
  EXPECT_EQ(v.view.chooseParameter(cmd::kY1List, 5, v.graph), Repaint::Whole);
  EXPECT_EQ(v.graph.y1Parameter, 5);
  for (int32_t entry : {-1, 6}) {
    EXPECT_EQ(v.view.chooseParameter(cmd::kY1List, entry, v.graph), Repaint::None);
    EXPECT_EQ(v.graph.y1Parameter, 5);
  }
}

TEST(ViewState, IntervalChangeRebuildsTheReportShownOrReportsAnInternalError) {
  auto power = makeStore({{25, 700, 10}}, TestKind::Power);
  ViewState view;
  ASSERT_TRUE(view.enterReport(DisplayMode::DigitalReport, *power));
  DigitalReport report;
  EXPECT_EQ(view.changeInterval(4, *power, report), IntervalChange::Rebuilt);
  EXPECT_EQ(view.intervalChoice, 4);
  EXPECT_EQ(report.columns, &powerIntervalColumns);
  ASSERT_EQ(report.rows.rowCount(), 5);
  EXPECT_EQ(report.rows.cell(4, 0), "      21 -      25");

  auto force = makeStore({{25, 700}}, TestKind::Force);
  force->repetitions.count = 4;
  ASSERT_TRUE(view.enterReport(DisplayMode::RepetitionReport, *force));
  EXPECT_EQ(view.intervalChoice, 0) << "a new report starts at interval 1";
  EXPECT_EQ(view.changeInterval(2, *force, report), IntervalChange::Rebuilt);
  EXPECT_EQ(report.columns, &repetitionColumns);
  ASSERT_EQ(report.rows.rowCount(), 2);
  EXPECT_EQ(report.rows.cell(1, 0), "       4 -       4");

  GraphSettings graph;
  ASSERT_TRUE(view.enterCurveGraph(*force, graph));
  EXPECT_EQ(view.changeInterval(0, *force, report), IntervalChange::InternalError);
  EXPECT_EQ(report.rows.rowCount(), 0);
  EXPECT_EQ(report.columns->count, 0);
  EXPECT_EQ(view.displayMode, DisplayMode::CurveGraph);
}

TEST(ViewState, ReportModesAreEnteredOnceAndTheRepetitionReportNeedsRepetitions) {
  auto store = makeStore({{10, 5}}, TestKind::Force);
  ViewState view;
  EXPECT_FALSE(view.enterReport(DisplayMode::RepetitionReport, *store));
  EXPECT_EQ(view.displayMode, DisplayMode::Empty);
  EXPECT_FALSE(view.enterReport(DisplayMode::CurveGraph, *store)) << "not a report";
  ASSERT_TRUE(view.enterReport(DisplayMode::SummaryReport, *store));
  EXPECT_FALSE(view.enterReport(DisplayMode::SummaryReport, *store));
  DigitalReport report;
  EXPECT_TRUE(view.buildReport(*store, report));
  EXPECT_EQ(report.columns, &summaryColumns);
  view.resetView();
  EXPECT_EQ(view.displayMode, DisplayMode::Empty);
  EXPECT_FALSE(view.buildReport(*store, report));
  EXPECT_EQ(report.rows.rowCount(), 0);
}

}  // namespace
}  // namespace velkora
