#include "desktop/velkora_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>

#include "app/command_ids.h"
#include "app/messages.h"
#include "desktop/force_list.h"
#include "desktop/main_frame.h"
#include "desktop/message_box.h"
#include "desktop/report_transfer.h"
#include "reports/interval_list.h"
#include "reports/report_export.h"

namespace velkora {
namespace {

QRect toQRect(const ViewRect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

}  // namespace

CVelkoraView::CVelkoraView(SharedRecords records, CMainFrame& frame, QWidget* parent)
    : QWidget(parent), records_(records), frame_(frame), list_(new CforceList(this)) {
  setAccessibleName(QStringLiteral("Graph"));
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(kReportListArea.right + 10, kReportListArea.bottom + 10);
  // The view paints every pixel from its backing image.
  setAttribute(Qt::WA_OpaquePaintEvent);
  list_->setGeometry(0, 0, 0, 0);
  list_->hide();
  routeCommands();
}

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
}

void CVelkoraView::invalidate(Repaint what) {
  switch (what) {
    case Repaint::None:
      return;
    case Repaint::GraphAreas:
      // Only the readouts and the graph change; they are repainted at once.
      canvasStale_ = true;
      repaint(QRegion(toQRect(kReadoutArea)) + QRegion(toQRect(state_.plotArea)));
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
  // The report's rectangle is the list's least size; it grows with the view.
  const int w = std::max(kReportListArea.width(), width() - 2 * kReportListArea.left);
  const int h = std::max(kReportListArea.height(), height() - kReportListArea.top - 10);
  list_->setGeometry(kReportListArea.left, kReportListArea.top, w, h);
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
  const std::string text =
      csvExportText(list_->report(), records_.subject.name, records_.store.testTime, csvSeparatorForLocale());
  writeCsvFile(this, text, QString::fromStdString(records_.paths.dataFolder));
}

void CVelkoraView::renderCanvas() {
  const qreal ratio = devicePixelRatioF();
  if (canvas_.size() != size() * ratio) canvas_ = QPixmap(size() * ratio);
  canvas_.setDevicePixelRatio(ratio);
  canvas_.fill(palette().color(QPalette::Base));
  QPainter painter(&canvas_);
  drawScene(painter);
  canvasStale_ = false;
}

void CVelkoraView::drawScene(QPainter& painter) {
  // The header, the cursor readouts and the graphs are drawn here, through the QPainter device
  // context, by the drawing routines of the view's modes; they leave their scales and the bars'
  // rectangles in state_ for the mouse and for live drawing onto this image. Until they are in
  // place the graph areas stay empty.
  Q_UNUSED(painter);
}

void CVelkoraView::paintEvent(QPaintEvent* event) {
  if (canvasStale_ || canvas_.isNull()) renderCanvas();
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
  if (state_.displayMode == DisplayMode::CurveGraph) {
    // Left and Right step XL, with Shift XR; Enter zooms to the cursors.
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    switch (event->key()) {
      case Qt::Key_Left:
        frame_.sendCommand(shift ? cmd::kCursorRightLeft : cmd::kCursorLeftLeft);
        return;
      case Qt::Key_Right:
        frame_.sendCommand(shift ? cmd::kCursorRightRight : cmd::kCursorLeftRight);
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        frame_.sendCommand(cmd::kZoom);
        return;
      default:
        break;
    }
  }
  QWidget::keyPressEvent(event);
}

}  // namespace velkora
