#include "view/view_state.h"

#include <algorithm>
#include <optional>

#include "model/command_ids.h"
#include "reports/digital_reports.h"
#include "reports/metrics_report.h"

namespace velkora {
namespace {

constexpr ReportColumnTable kNoColumns{};

int32_t publishedSamples(const MeasurementStore& store) {
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  return n < 0 ? 0 : n;
}

bool available(const MeasurementStore& store) { return store.recordingAvailable.load(std::memory_order_acquire) != 0; }

}  // namespace

int32_t dialogBarOf(DisplayMode mode) {
  switch (mode) {
    case DisplayMode::CurveGraph:
      return cmd::kCurveBar;
    case DisplayMode::DigitalReport:
    case DisplayMode::RepetitionReport:
      return cmd::kReportBar;
    case DisplayMode::ForceTestLive:
    case DisplayMode::PowerTestLive:
      return cmd::kStopBar;
    case DisplayMode::BarGraph:
      return cmd::kRepetitionBar;
    case DisplayMode::MetricsReport:
      return cmd::kMetricsBar;
    case DisplayMode::Empty:
    case DisplayMode::SummaryReport:
    case DisplayMode::HeightReport:
      return 0;
  }
  return 0;
}

bool showsReportList(DisplayMode mode) {
  return mode == DisplayMode::DigitalReport || mode == DisplayMode::SummaryReport ||
         mode == DisplayMode::HeightReport || mode == DisplayMode::RepetitionReport ||
         mode == DisplayMode::MetricsReport;
}

bool viewCommandEnabled(int32_t commandId, const MeasurementStore& store) {
  const bool data = available(store);
  const bool repetitions = store.repetitions.count.load(std::memory_order_acquire) >= 1;
  switch (commandId) {
    case cmd::kDigitalReport:
    case cmd::kCurveGraph:
    case cmd::kMetricsReport:
      return data;
    case cmd::kBarGraph:
      return store.testKind == TestKind::Force && repetitions && data;
    case cmd::kRepetitionReport:
      return repetitions && data;
    case cmd::kSummaryReport:
    case cmd::kHeightReport:
      return store.testKind == TestKind::Power && data;
    default:
      return true;
  }
}

int32_t viewKeyCommand(DisplayMode mode, ViewKey key, bool shift) {
  if (mode == DisplayMode::CurveGraph) {
    switch (key) {
      case ViewKey::Left:
        return shift ? cmd::kCursorRightLeft : cmd::kCursorLeftLeft;
      case ViewKey::Right:
        return shift ? cmd::kCursorRightRight : cmd::kCursorLeftRight;
      case ViewKey::Enter:
        return cmd::kZoom;
    }
  }
  if (mode == DisplayMode::BarGraph && !shift) {
    if (key == ViewKey::Left) return cmd::kPreviousRepetition;
    if (key == ViewKey::Right) return cmd::kNextRepetition;
  }
  return 0;
}

std::vector<std::string_view> curveParameterEntries(TestKind kind) {
  if (kind == TestKind::Force) return {"F vertical (N)", "F horizontal (N)", "F vector (N)"};
  return {"Vertical F (N)", "Horizontal F(N)", "Fvector(N)", "v (m/s)", "h (cm)", "P (W)"};
}

void clearReport(DigitalReport& report) {
  report.columns = &kNoColumns;
  report.rows.reset(0);
}

void ViewState::setWholeWindow(const MeasurementStore& store) {
  // The full window ends at the spare slot one past the last sample, within the store's capacity.
  int32_t end = publishedSamples(store);
  if (end > kLastSampleIndex) end = kLastSampleIndex;
  sampleWindowStart = 0;
  sampleWindowEnd = end;
  cursorLeft = 0;
  cursorRight = end;
}

bool ViewState::enterCurveGraph(const MeasurementStore& store, GraphSettings& graph) {
  if (displayMode == DisplayMode::CurveGraph) return false;
  if (store.testKind == TestKind::Force) {
    graph.y1Parameter = 0;
    graph.y2Parameter = 1;
  }
  y1Shown = graph.y1Parameter;
  y2Shown = graph.y2Parameter;
  setWholeWindow(store);
  displayMode = DisplayMode::CurveGraph;
  return true;
}

bool ViewState::enterBarGraph() {
  if (displayMode == DisplayMode::BarGraph) return false;
  y1Shown = 0;
  selectedRepetition = 0;
  displayMode = DisplayMode::BarGraph;
  return true;
}

bool ViewState::enterReport(DisplayMode reportMode, const MeasurementStore& store) {
  if (!showsReportList(reportMode) || displayMode == reportMode) return false;
  if (reportMode == DisplayMode::RepetitionReport && store.repetitions.rows() < 1) return false;
  displayMode = reportMode;
  intervalChoice = 0;
  return true;
}

void ViewState::resetView() { displayMode = DisplayMode::Empty; }

void ViewState::enterLiveTest(TestKind kind, int32_t seconds) {
  const bool power = kind == TestKind::Power;
  displayMode = power ? DisplayMode::PowerTestLive : DisplayMode::ForceTestLive;
  y1Shown = static_cast<int32_t>(ForceChannel::Vertical);
  y2Shown = static_cast<int32_t>(power ? ForceChannel::Vertical : ForceChannel::Horizontal);
  liveBarsDrawn = 0;
  sampleWindowStart = 0;
  sampleWindowEnd = seconds * 1000;
  if (!power) {
    cursorLeft = 0;
    cursorRight = seconds;
  }
}

CurveGraphView ViewState::curveGraphView(int32_t publishedCount) const {
  CurveGraphView view;
  view.y1Shown = y1Shown;
  view.y2Shown = y2Shown;
  view.windowStart = sampleWindowStart;
  view.windowEnd = sampleWindowEnd;
  view.cursorLeft = cursorLeft;
  view.cursorRight = cursorRight;
  view.live = displayMode == DisplayMode::ForceTestLive || displayMode == DisplayMode::PowerTestLive;
  view.publishedCount = publishedCount;
  view.showPhases = showPhases;
  return view;
}

Repaint ViewState::showFullWindow(const MeasurementStore& store) {
  setWholeWindow(store);
  return Repaint::Whole;
}

Repaint ViewState::stepCursor(int32_t commandId) {
  switch (commandId) {
    case cmd::kCursorLeftLeft:
      if (cursorLeft > sampleWindowStart) --cursorLeft;
      break;
    case cmd::kCursorLeftRight:
      if (cursorLeft < cursorRight - 1) ++cursorLeft;
      break;
    case cmd::kCursorRightLeft:
      if (cursorRight > cursorLeft + 1) --cursorRight;
      break;
    case cmd::kCursorRightRight:
      if (cursorRight < sampleWindowEnd && cursorRight < kLastSampleIndex) ++cursorRight;
      break;
    default:
      return Repaint::None;
  }
  return Repaint::GraphAreas;
}

Repaint ViewState::zoom() {
  sampleWindowStart = cursorLeft;
  sampleWindowEnd = cursorRight;
  return Repaint::Whole;
}

Repaint ViewState::placeCursor(MouseButton button, int32_t x, int32_t y) {
  if (displayMode != DisplayMode::CurveGraph) return Repaint::None;
  // The sample under the point in the picture on the screen; without a drawing there is none.
  const std::optional<int32_t> under = sampleAtPoint(curveScales, {x, y});
  if (!under) return Repaint::None;
  // A drawing older than the latest zoom cannot place a cursor outside the window.
  const int32_t last = sampleWindowEnd < kLastSampleIndex ? sampleWindowEnd : kLastSampleIndex;
  const int32_t sample = std::clamp(*under, sampleWindowStart, std::max(sampleWindowStart, last));
  if (button == MouseButton::Left) {
    if (sample == cursorLeft || sample >= cursorRight) return Repaint::None;
    cursorLeft = sample;
  } else {
    if (sample == cursorRight || sample <= cursorLeft) return Repaint::None;
    cursorRight = sample;
  }
  return Repaint::GraphAreas;
}

Repaint ViewState::selectRepetitionAt(int32_t x, int32_t y, int32_t repetitionCount) {
  if (displayMode != DisplayMode::BarGraph) return Repaint::None;
  const std::optional<int32_t> hit = repetitionAtPoint(barScales, {x, y});
  if (!hit || *hit >= repetitionCount) return Repaint::None;
  selectedRepetition = *hit;
  return Repaint::GraphAreas;
}

Repaint ViewState::pageRepetition(int32_t commandId, int32_t repetitionCount) {
  if (repetitionCount > kMaxRepetitions) repetitionCount = kMaxRepetitions;
  if (commandId == cmd::kPreviousRepetition) {
    if (selectedRepetition > 0) --selectedRepetition;
  } else if (commandId == cmd::kNextRepetition) {
    if (selectedRepetition < repetitionCount - 1) ++selectedRepetition;
  } else {
    return Repaint::None;
  }
  return Repaint::GraphAreas;
}

Repaint ViewState::chooseParameter(int32_t listId, int32_t entry, GraphSettings& graph) {
  // Only the parameters the axis tables describe can be chosen.
  if (entry < 0 || entry > 5) return Repaint::None;
  if (listId == cmd::kY1List) {
    y1Shown = entry;
    graph.y1Parameter = entry;
  } else if (listId == cmd::kY2List) {
    y2Shown = entry;
    graph.y2Parameter = entry;
  } else {
    return Repaint::None;
  }
  return Repaint::Whole;
}

IntervalChange ViewState::changeInterval(int32_t entry, const MeasurementStore& store, DigitalReport& report) {
  intervalChoice = entry < 0 ? 0 : entry;
  clearReport(report);
  if (displayMode != DisplayMode::DigitalReport && displayMode != DisplayMode::RepetitionReport) {
    return IntervalChange::InternalError;
  }
  buildReport(store, report);
  return IntervalChange::Rebuilt;
}

bool ViewState::buildReport(const MeasurementStore& store, DigitalReport& report) const {
  const int32_t interval = intervalChoice + 1;
  switch (displayMode) {
    case DisplayMode::DigitalReport:
      fillDigitalReport(store, interval, report);
      return true;
    case DisplayMode::RepetitionReport:
      fillIntervalReport(store, interval, true, report);
      return true;
    case DisplayMode::SummaryReport:
      fillSummaryReport(store, report);
      return true;
    case DisplayMode::HeightReport:
      fillHeightReport(store, report);
      return true;
    case DisplayMode::MetricsReport:
      fillMetricsReport(store, report);
      return true;
    default:
      clearReport(report);
      return false;
  }
}

}  // namespace velkora
