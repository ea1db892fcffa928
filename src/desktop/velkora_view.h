#pragma once
// The view: the current recording as a curve graph, a bar graph or a report list. It turns commands,
// clicks and keys into the view's rules (ViewState) and repaints what they ask for. The graph is
// kept in a backing image: a full redraw paints the image, paintEvent copies it.

#include <QPixmap>
#include <QWidget>
#include <cstdint>

#include "desktop/shared_records.h"
#include "view/view_state.h"

namespace velkora {

class CMainFrame;
class CforceList;

class CVelkoraView final : public QWidget {
  Q_OBJECT

 public:
  CVelkoraView(SharedRecords records, CMainFrame& frame, QWidget* parent = nullptr);

  ViewState& state() { return state_; }
  const ViewState& state() const { return state_; }
  CforceList* reportList() const { return list_; }
  // The backing image of the graph as the latest full redraw left it.
  const QPixmap& canvas() const { return canvas_; }

  void invalidate(Repaint what);

  // Display commands.
  void enterCurveGraph();
  void enterBarGraph();
  void resetView();
  void digitalReport();
  void repetitionReport();
  void summaryReport();
  void heightReport();

  // Report bar.
  void copySelection();
  void copyAll();
  void exportCsv();

 public slots:
  // A list of the dialog bar changed by the user: Y1, Y2 or the interval.
  void onListSelection(int32_t controlId, int32_t entry);

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
  void renderCanvas();
  void drawScene(QPainter& painter);

  SharedRecords records_;
  CMainFrame& frame_;
  ViewState state_;
  CforceList* list_;
  QPixmap canvas_;
  bool canvasStale_ = true;
};

}  // namespace velkora
