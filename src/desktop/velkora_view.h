#pragma once
// The view: the current recording as a curve graph, a bar graph or a report list, and the live graph
// of a running test. It turns commands, clicks and keys into the view's rules (ViewState) and
// repaints what they ask for. The picture is kept in a backing image: a full redraw paints the
// image, a test tick adds its new segments or bars to it, paintEvent copies it.

#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "acquisition/exercise_session.h"
#include "acquisition/measurement_store.h"
#include "model/shared_records.h"
#include "view/print_page.h"
#include "view/screen_layout.h"
#include "view/view_state.h"

namespace velkora {

class CMainFrame;
class CforceList;
class ViewPrinter;

class CVelkoraView final : public QWidget {
  Q_OBJECT

 public:
  CVelkoraView(SharedRecords records, CMainFrame& frame, QWidget* parent = nullptr);
  ~CVelkoraView() override;

  ViewState& state() { return state_; }
  const ViewState& state() const { return state_; }
  CforceList* reportList() const { return list_; }
  // The backing image as the latest full redraw and the test ticks since left it.
  const QPixmap& canvas() const { return canvas_; }
  // Where the header, the readouts, the graph and the report list stand in the view's present size.
  ScreenLayout layout() const;

  // A test started: its live display, and no report list until a report is chosen again.
  void onTestStarted(TestKind kind, int32_t seconds);
  // A test ended: the graph of a finished test, or the empty view of a stopped or lost one.
  void onTestEnded(TestEnd end, bool countedRepetitions);

  // What a tick of a running test adds, drawn onto the backing image with the scales of the latest
  // full drawing; only the changed rectangle is repainted. A live curve gets the segments of samples
  // (tick.drawFrom, tick.drawTo]; a repetition-counted test gets its whole bar graph again when
  // tick.redrawBars (liveBarsDrawn := tick.repetitionsDrawn), else the bars of tick.inProgress in its
  // slot when the slot is below the test's target. Nothing outside the two live modes.
  void drawLiveTick(const TestTick& tick);

  // What Print and Print Preview put on paper now: the graph shown, or the report list's rows.
  PrintDocument printDocument() const;
  ViewPrinter& printer() { return *printer_; }

  void invalidate(Repaint what);

  // Display commands.
  void enterCurveGraph();
  void enterBarGraph();
  void resetView();
  void digitalReport();
  void repetitionReport();
  void summaryReport();
  void heightReport();
  void metricsReport();
  // The jump's phases on the curve graph, on screen and in print; View -> Show phases follows.
  void setShowPhases(bool show);
  bool showPhases() const { return state_.showPhases; }

  // Report bar.
  void copySelection();
  void copyAll();
  void exportCsv();

 public slots:
  // A list of the dialog bar changed by the user: Y1, Y2 or the interval.
  void onListSelection(int32_t controlId, int32_t entry);

 signals:
  void showPhasesChanged(bool show);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void routeCommands();
  void apply(Repaint what) { invalidate(what); }
  // Empties the list and shows or hides it as the mode wants.
  void resetReportList();
  void placeReportList();
  // Shows a report mode: its bar (or none), the list, the rows.
  void showReportMode(DisplayMode mode);
  // The curve graph and the bar graph as the view's state asks for them now.
  CurveGraphView curveView() const;
  BarGraphView barView() const;
  // A running force test that counts repetitions shows the bar graph.
  bool showsLiveBars() const;
  void renderCanvas();
  void drawScene(QPainter& painter);

  SharedRecords records_;
  CMainFrame& frame_;
  ViewState state_;
  CforceList* list_;
  QPixmap canvas_;
  bool canvasStale_ = true;
  std::unique_ptr<ViewPrinter> printer_;
};

}  // namespace velkora
