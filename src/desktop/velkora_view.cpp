#include "desktop/velkora_view.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <optional>

#include "app/measurement_use_cases.h"
#include "desktop/force_list.h"
#include "desktop/main_frame.h"
#include "desktop/message_box.h"
#include "desktop/report_transfer.h"
#include "desktop/view_printer.h"
#include "model/command_ids.h"
#include "model/messages.h"
#include "painting/qpainter_device_context.h"
#include "reports/interval_list.h"
#include "reports/report_export.h"
#include "view/bar_graph.h"
#include "view/curve_graph.h"
#include "view/page_header.h"

namespace velkora {
namespace {

// A rectangle of the layout with its right and bottom edges: the graphs draw their frame and the
// cursor at the window's end on them.
QRect withEdges(const Rect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)); }

bool isLive(DisplayMode mode) { return mode == DisplayMode::ForceTestLive || mode == DisplayMode::PowerTestLive; }

PageContent pageContentOf(DisplayMode mode) {
  switch (mode) {
    case DisplayMode::CurveGraph:
      return PageContent::CurveGraph;
    case DisplayMode::BarGraph:
      return PageContent::BarGraph;
    case DisplayMode::DigitalReport:
    case DisplayMode::SummaryReport:
    case DisplayMode::HeightReport:
    case DisplayMode::RepetitionReport:
    case DisplayMode::MetricsReport:
      return PageContent::Report;
    case DisplayMode::Empty:
    case DisplayMode::ForceTestLive:
    case DisplayMode::PowerTestLive:
      break;
  }
  return PageContent::Blank;
}

}  // namespace

CVelkoraView::CVelkoraView(SharedRecords records, CMainFrame& frame, QWidget* parent)
    : QWidget(parent),
      records_(records),
      frame_(frame),
      list_(new CforceList(this)),
      printer_(std::make_unique<ViewPrinter>(this, [this] { return printDocument(); })) {
  setAccessibleName(QStringLiteral("Graph"));
  setFocusPolicy(Qt::StrongFocus);
  // The fixed layout fits the least size; a larger view spreads it out.
  setMinimumSize(kBaseViewWidth, kBaseViewHeight);
  // The view paints every pixel from its backing image.
  setAttribute(Qt::WA_OpaquePaintEvent);
  list_->setGeometry(0, 0, 0, 0);
  list_->hide();
  routeCommands();
}

CVelkoraView::~CVelkoraView() = default;

void CVelkoraView::routeCommands() {
  const MeasurementStore& store = records_.store;
  auto rule = [&store](int32_t id) { return [&store, id] { return viewCommandEnabled(id, store); }; };
  frame_.route(
      cmd::kCurveGraph, [this] { enterCurveGraph(); }, rule(cmd::kCurveGraph));
  frame_.route(
      cmd::kBarGraph, [this] { enterBarGraph(); }, rule(cmd::kBarGraph));
  frame_.route(
      cmd::kDigitalReport, [this] { digitalReport(); }, rule(cmd::kDigitalReport));
  frame_.route(
      cmd::kRepetitionReport, [this] { repetitionReport(); }, rule(cmd::kRepetitionReport));
  frame_.route(
      cmd::kSummaryReport, [this] { summaryReport(); }, rule(cmd::kSummaryReport));
  frame_.route(
      cmd::kHeightReport, [this] { heightReport(); }, rule(cmd::kHeightReport));
  frame_.route(
      cmd::kMetricsReport, [this] { metricsReport(); }, rule(cmd::kMetricsReport));
  frame_.route(cmd::kShowPhases, [this] { setShowPhases(!state_.showPhases); });
  if (QAction* phases = frame_.action(cmd::kShowPhases)) {
    phases->setCheckable(true);
    phases->setChecked(state_.showPhases);
  }
  frame_.route(cmd::kResetView, [this] { resetView(); });
  for (int32_t id : {cmd::kCursorLeftLeft, cmd::kCursorLeftRight, cmd::kCursorRightLeft, cmd::kCursorRightRight}) {
    frame_.route(id, [this, id] { apply(state_.stepCursor(id)); });
  }
  frame_.route(cmd::kZoom, [this] { apply(state_.zoom()); });
  frame_.route(cmd::kFullWindow, [this] { apply(state_.showFullWindow(records_.store)); });
  for (int32_t id : {cmd::kPreviousRepetition, cmd::kNextRepetition}) {
    frame_.route(id, [this, id] { apply(state_.pageRepetition(id, records_.store.repetitions.rows())); });
  }
  frame_.route(cmd::kCopy, [this] { copySelection(); });
  frame_.route(cmd::kCopyAll, [this] { copyAll(); });
  frame_.route(cmd::kExportCsv, [this] { exportCsv(); });
  frame_.route(cmd::kPrint, [this] { printer_->print(); });
  frame_.route(cmd::kPrintPreview, [this] { printer_->preview(); });
  frame_.route(cmd::kPrintSetup, [this] { printer_->pageSetup(); });
}

ScreenLayout CVelkoraView::layout() const { return screenLayout(width(), height()); }

void CVelkoraView::invalidate(Repaint what) {
  switch (what) {
    case Repaint::None:
      return;
    case Repaint::GraphAreas:
      // Only the readouts and the graph change; they are repainted at once.
      canvasStale_ = true;
      repaint(QRegion(withEdges(layout().readoutArea)) + QRegion(withEdges(layout().plotArea)));
      return;
    case Repaint::Whole:
      canvasStale_ = true;
      update();
      return;
  }
}

void CVelkoraView::resetReportList() {
  list_->clearReport();
  placeReportList();
}

void CVelkoraView::placeReportList() {
  if (!showsReportList(state_.displayMode)) {
    list_->setGeometry(0, 0, 0, 0);
    list_->hide();
    return;
  }
  const Rect r = layout().reportList;
  list_->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
  list_->show();
}

void CVelkoraView::enterCurveGraph() {
  if (!state_.enterCurveGraph(records_.store, records_.graph)) return;
  frame_.showCurveBar();
  resetReportList();
  invalidate(Repaint::Whole);
}

void CVelkoraView::enterBarGraph() {
  if (!state_.enterBarGraph()) return;
  frame_.showRepetitionBar();
  resetReportList();
  invalidate(Repaint::Whole);
}

void CVelkoraView::resetView() {
  state_.resetView();
  frame_.hideBar();
  resetReportList();
  invalidate(Repaint::Whole);
}

void CVelkoraView::showReportMode(DisplayMode mode) {
  if (!state_.enterReport(mode, records_.store)) return;
  switch (mode) {
    case DisplayMode::DigitalReport:
      frame_.showReportBar(sampleIntervals(records_.store));
      break;
    case DisplayMode::RepetitionReport:
      frame_.showReportBar(repetitionIntervals(records_.store));
      break;
    case DisplayMode::MetricsReport:
      frame_.showMetricsBar();
      break;
    default:
      frame_.hideBar();
      break;
  }
  list_->showReport([this](DigitalReport& report) { state_.buildReport(records_.store, report); });
  placeReportList();
  invalidate(Repaint::Whole);
}

void CVelkoraView::digitalReport() { showReportMode(DisplayMode::DigitalReport); }
void CVelkoraView::repetitionReport() { showReportMode(DisplayMode::RepetitionReport); }
void CVelkoraView::summaryReport() { showReportMode(DisplayMode::SummaryReport); }
void CVelkoraView::heightReport() { showReportMode(DisplayMode::HeightReport); }
void CVelkoraView::metricsReport() { showReportMode(DisplayMode::MetricsReport); }

void CVelkoraView::setShowPhases(bool show) {
  if (QAction* phases = frame_.action(cmd::kShowPhases)) phases->setChecked(show);
  if (show == state_.showPhases) return;
  state_.showPhases = show;
  invalidate(Repaint::Whole);
  emit showPhasesChanged(show);
}

void CVelkoraView::onListSelection(int32_t controlId, int32_t entry) {
  if (controlId == cmd::kY1List || controlId == cmd::kY2List) {
    invalidate(state_.chooseParameter(controlId, entry, records_.graph));
    return;
  }
  if (controlId != cmd::kIntervalList) return;
  IntervalChange change = IntervalChange::Rebuilt;
  list_->showReport([&](DigitalReport& report) { change = state_.changeInterval(entry, records_.store, report); });
  if (change == IntervalChange::InternalError) showMessageBox(this, msg::kIntervalInternalError);
  invalidate(Repaint::Whole);
}

void CVelkoraView::copySelection() {
  std::string text;
  MessageBoxSink messages(this);
  const std::vector<int32_t> rows = list_->selectedRows();
  if (!copySelectedText(list_->report(), rows, text, messages)) return;
  putOnClipboard(text);
}

void CVelkoraView::copyAll() { putOnClipboard(copyAllText(list_->report())); }

void CVelkoraView::exportCsv() {
  const std::string path = askCsvFileName(this, QString::fromStdString(records_.paths.dataFolder));
  if (path.empty()) return;
  MessageBoxSink messages(this);
  exportReport(records_, list_->report(), path, csvSeparatorForLocale(), messages);
}

CurveGraphView CVelkoraView::curveView() const {
  return state_.curveGraphView(records_.store.sampleCount.load(std::memory_order_acquire));
}

BarGraphView CVelkoraView::barView() const {
  BarGraphView view;
  view.y1Shown = state_.y1Shown;
  view.selectedRepetition = state_.selectedRepetition;
  view.live = state_.displayMode == DisplayMode::ForceTestLive;
  view.liveBarsDrawn = state_.liveBarsDrawn;
  view.repetitionTarget = records_.app.forceTestValue;
  view.screenHighlightRects = highlightRectsIn(layout().readoutArea);
  return view;
}

bool CVelkoraView::showsLiveBars() const {
  return state_.displayMode == DisplayMode::ForceTestLive && records_.app.forceTestMode == 1;
}

void CVelkoraView::renderCanvas() {
  // Device pixels, so lines and text stay sharp on a high-density screen.
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * ratio).toSize();
  if (canvas_.size() != pixels) canvas_ = QPixmap(pixels);
  canvas_.setDevicePixelRatio(ratio);
  // White as the graphs expect it: the live bars erase with white.
  canvas_.fill(Qt::white);
  QPainter painter(&canvas_);
  drawScene(painter);
  canvasStale_ = false;
}

void CVelkoraView::drawScene(QPainter& painter) {
  QPainterDeviceContext dc(painter);
  const ScreenLayout areas = layout();
  const MeasurementStore& store = records_.store;
  if (store.recordingAvailable.load(std::memory_order_acquire) != 0)
    drawHeader(dc, areas.headerArea, records_.subject.name, store.testTime);
  // The scales of every screen drawing stay with the view state for the mouse and the live ticks.
  const auto curve = [&] {
    state_.curveScales = drawCurveGraph(dc, areas.plotArea, store, records_.graph, curveView());
  };
  const auto bars = [&] {
    state_.barScales = drawBarGraph(dc, areas.plotArea, store.repetitions, records_.graph, barView());
  };
  switch (state_.displayMode) {
    case DisplayMode::CurveGraph:
      drawReadouts(dc, areas.readoutArea, store, curveView());
      curve();
      break;
    case DisplayMode::BarGraph:
      bars();
      break;
    case DisplayMode::ForceTestLive:
      if (showsLiveBars())
        bars();
      else
        curve();
      break;
    case DisplayMode::PowerTestLive:
      curve();
      break;
    case DisplayMode::Empty:
    case DisplayMode::DigitalReport:
    case DisplayMode::SummaryReport:
    case DisplayMode::HeightReport:
    case DisplayMode::RepetitionReport:
    case DisplayMode::MetricsReport:
      // The report list paints itself.
      break;
  }
}

void CVelkoraView::onTestStarted(TestKind kind, int32_t seconds) {
  state_.enterLiveTest(kind, seconds);
  resetReportList();
  invalidate(Repaint::Whole);
}

void CVelkoraView::onTestEnded(TestEnd end, bool countedRepetitions) {
  if (end != TestEnd::Finished) {
    resetView();
    return;
  }
  // A recording that reached its limit shows its graph, also when STOP came just after.
  if (countedRepetitions)
    enterBarGraph();
  else
    enterCurveGraph();
}

void CVelkoraView::drawLiveTick(const TestTick& tick) {
  if (!isLive(state_.displayMode)) return;
  const bool bars = showsLiveBars();
  if (bars) state_.liveBarsDrawn = tick.repetitionsDrawn;
  if ((bars && tick.redrawBars) || canvasStale_ || canvas_.isNull() ||
      canvas_.devicePixelRatio() != devicePixelRatioF()) {
    // A completed repetition (or a picture that is due anyway) is a full drawing: every completed
    // bar and every published sample, with fresh scales for the next ticks.
    renderCanvas();
    update();
    return;
  }
  QPainter painter(&canvas_);
  QPainterDeviceContext dc(painter);
  if (bars) {
    const RepetitionInProgress& in = tick.inProgress;
    const BarScales& scales = state_.barScales;
    if (in.index < 0 || in.index >= records_.app.forceTestValue) return;
    drawLiveRepetition(
        dc, scales,
        LiveRepetition{in.index, in.peakVertical, in.currentVertical, in.peakHorizontal, in.currentHorizontal});
    // The four bars span 16 pixels either side of the slot, from the plot's top to its bottom edge.
    const int32_t x = scales.plot.left + truncateToInt((in.index + 1) * scales.xScale);
    update(withEdges({x - 17, scales.plot.top, x + 17, scales.plot.bottom + 1}));
    return;
  }
  const CurveScales& scales = state_.curveScales;
  const int32_t from = std::max(tick.drawFrom, scales.windowStart);
  const int32_t to = std::min(tick.drawTo, scales.windowEnd);
  if (to <= from) return;
  drawLiveSegments(dc, records_.store, scales, from, to);
  const auto xOf = [&](int32_t sample) {
    return scales.plot.left + truncateToInt((sample - scales.windowStart) * scales.xScale);
  };
  update(withEdges({xOf(from) - 1, scales.plot.top - 1, xOf(to) + 1, scales.plot.bottom + 1}));
}

PrintDocument CVelkoraView::printDocument() const {
  PrintDocument document{records_.store, records_.graph, records_.subject.name};
  document.content = pageContentOf(state_.displayMode);
  switch (document.content) {
    case PageContent::CurveGraph:
      document.curve = curveView();
      break;
    case PageContent::BarGraph:
      document.bars = barView();
      break;
    case PageContent::Report:
      // The rows exactly as the list shows them.
      document.report = &list_->report();
      break;
    case PageContent::Blank:
      break;
  }
  return document;
}

void CVelkoraView::paintEvent(QPaintEvent* event) {
  // A window moved to a screen of another pixel density is drawn afresh at the new density.
  if (canvasStale_ || canvas_.isNull() || canvas_.devicePixelRatio() != devicePixelRatioF()) renderCanvas();
  QPainter painter(this);
  painter.drawPixmap(event->rect(), canvas_,
                     QRectF(QPointF(event->rect().topLeft()) * canvas_.devicePixelRatio(),
                            QSizeF(event->rect().size()) * canvas_.devicePixelRatio()));
}

void CVelkoraView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  canvasStale_ = true;
  if (showsReportList(state_.displayMode)) placeReportList();
}

void CVelkoraView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    if (state_.displayMode == DisplayMode::BarGraph) {
      invalidate(state_.selectRepetitionAt(p.x(), p.y(), records_.store.repetitions.rows()));
    } else {
      invalidate(state_.placeCursor(MouseButton::Left, p.x(), p.y()));
    }
  } else if (event->button() == Qt::RightButton) {
    invalidate(state_.placeCursor(MouseButton::Right, p.x(), p.y()));
  }
  QWidget::mousePressEvent(event);
}

void CVelkoraView::keyPressEvent(QKeyEvent* event) {
  std::optional<ViewKey> key;
  switch (event->key()) {
    case Qt::Key_Left:
      key = ViewKey::Left;
      break;
    case Qt::Key_Right:
      key = ViewKey::Right;
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      key = ViewKey::Enter;
      break;
    default:
      break;
  }
  const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
  const int32_t command = key ? viewKeyCommand(state_.displayMode, *key, shift) : 0;
  if (command != 0) {
    frame_.sendCommand(command);
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace velkora
