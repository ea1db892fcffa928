#pragma once
// What the view holds besides its drawings, and the rules that change it: the display mode, the
// sample window of the curve graph with its cursors XL and XR, zoom, the plotted parameters, the
// selected repetition of the bar graph and the interval of the reports. The window widget turns
// commands and clicks into these calls and repaints what they ask for.

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "acquisition/measurement_store.h"
#include "model/settings.h"
#include "reports/report_table.h"
#include "view/bar_graph.h"
#include "view/curve_graph.h"
#include "view/screen_layout.h"

namespace velkora {

enum class DisplayMode : int32_t {
  Empty = 0,
  CurveGraph = 1,
  DigitalReport = 2,
  ForceTestLive = 3,
  PowerTestLive = 4,
  BarGraph = 5,
  SummaryReport = 6,
  HeightReport = 7,
  RepetitionReport = 8,
  MetricsReport = 9,  // the test's metrics as a two-column report
};

// The last sample index the store holds: windows and cursors never go past it.
inline constexpr int32_t kLastSampleIndex = kMaxSamples - 1;

// The dialog-bar template that goes with a mode (0: none), and whether the report list shows.
int32_t dialogBarOf(DisplayMode mode);
bool showsReportList(DisplayMode mode);

// Whether a view command may run now; commands without a rule are always enabled.
bool viewCommandEnabled(int32_t commandId, const MeasurementStore& store);

// Entries of the Y1 and Y2 lists: three force entries for a force test; for a power test the bar's
// own three entries and the three kinematic parameters, so every stored choice 0..5 can be shown.
std::vector<std::string_view> curveParameterEntries(TestKind kind);

// Empties a report: no columns, no rows.
void clearReport(DigitalReport& report);

enum class MouseButton { Left, Right };

// The keys the view answers.
enum class ViewKey { Left, Right, Enter };

// The command a key gives in a display mode, 0 for none: in the curve graph Left and Right step XL
// (with Shift XR) and Enter zooms; in the bar graph Left and Right page the repetitions as "<<" and
// ">>" do.
int32_t viewKeyCommand(DisplayMode mode, ViewKey key, bool shift);

// What a change asks the window to repaint.
enum class Repaint { None, GraphAreas, Whole };

enum class IntervalChange { Rebuilt, InternalError };

class ViewState {
 public:
  DisplayMode displayMode = DisplayMode::Empty;
  int32_t intervalChoice = 0;  // 0-based entry of the interval list
  int32_t y1Shown = 0;
  int32_t y2Shown = 0;
  int32_t sampleWindowStart = 0;  // first sample of the curve graph
  int32_t sampleWindowEnd = 0;    // last sample of the curve graph, included
  int32_t cursorLeft = 0;
  int32_t cursorRight = 0;
  int32_t selectedRepetition = 0;
  int32_t liveBarsDrawn = 0;
  bool showPhases = true;  // the phases of a jump on the curve graph, on screen and in print

  // Left by the latest screen drawing of each graph: the curve graph's xScale, y1Scale and y2Scale with
  // its plot and window, the bar graph's xScale and barScale with the rectangles of its bars. The mouse
  // maps points with them, so it follows the geometry drawn in a window of any size; the live drawing
  // of a running test continues them. Printing never touches them.
  CurveScales curveScales;
  BarScales barScales;

  // Each entry returns false, changing nothing, when its mode is already shown.
  // A force-test recording always opens on parameters 0 and 1 (and GraphSettings remembers that);
  // a power-test recording keeps the stored choice. The window is the whole recording.
  bool enterCurveGraph(const MeasurementStore& store, GraphSettings& graph);
  bool enterBarGraph();
  // DigitalReport, RepetitionReport, SummaryReport, HeightReport or MetricsReport. The repetition report also
  // refuses a recording without repetitions. The interval goes back to 1.
  bool enterReport(DisplayMode reportMode, const MeasurementStore& store);
  void resetView();
  // A test starts: its live display (the curves, or the bars of a test that counts repetitions), with
  // the vertical force on Y1 and the horizontal one on Y2 (both vertical for a power test), and a
  // window of `seconds` × 1000 samples from sample 0.
  void enterLiveTest(TestKind kind, int32_t seconds);

  // The curve graph as the state shows it now, for the screen, the printed page and velkora-cli; a
  // live graph ends at `publishedCount`, the samples the running test has published.
  CurveGraphView curveGraphView(int32_t publishedCount) const;

  // The whole recording again, cursors on its ends; the parameters stay.
  Repaint showFullWindow(const MeasurementStore& store);

  // XL or XR one sample left or right, XL always left of XR and both inside the window. Repaints
  // the graph areas even at a limit.
  Repaint stepCursor(int32_t commandId);
  Repaint zoom();
  // A click in the curve graph moves XL (left button) or XR (right button) to the sample under it in
  // the latest drawing, kept within the window; outside the plot or without a change nothing happens.
  Repaint placeCursor(MouseButton button, int32_t x, int32_t y);
  // A left click on a bar of the latest bar graph selects its repetition (one of the first
  // repetitionCount).
  Repaint selectRepetitionAt(int32_t x, int32_t y, int32_t repetitionCount);
  Repaint pageRepetition(int32_t commandId, int32_t repetitionCount);
  // Entry `entry` of the Y1 or Y2 list (by control id) becomes the shown and remembered parameter.
  Repaint chooseParameter(int32_t listId, int32_t entry, GraphSettings& graph);

  // Entry `entry` of the interval list: rebuilds the report shown with an interval of entry + 1.
  // Outside the digital and repetition reports the report is left empty and InternalError returned.
  IntervalChange changeInterval(int32_t entry, const MeasurementStore& store, DigitalReport& report);

  // The report of the current report mode at the current interval; false (report emptied) in a
  // mode that shows no report.
  bool buildReport(const MeasurementStore& store, DigitalReport& report) const;

 private:
  void setWholeWindow(const MeasurementStore& store);
};

}  // namespace velkora
