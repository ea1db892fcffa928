#pragma once
// The library window's trend: one metric of the chosen subject over the dates of the tests, drawn by
// the view's trend graph (points joined by lines, the best value marked), printed, exported as PNG,
// SVG or PDF, and its values copied as text. A library on a server answers later: the graph is drawn when
// it does.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library/library_backend.h"
#include "library/library_records.h"
#include "reports/test_metrics.h"
#include "view/trend_graph.h"

class QComboBox;
class QLabel;
class QPrinter;
class QPushButton;

namespace velkora {

class LibraryGraphView;
class LibraryReader;

// The metric keys a trend can show, in the metrics' own order (power, then force): the stored keys
// with numbers, without the per-repetition copies, the sample indices and the sample count.
std::vector<LibraryMetricKey> trendMetricChoices(const std::vector<LibraryMetricKey>& stored);

// The copied text: a line "Date<TAB>NAME (UNIT)<TAB>File", then one line per point, oldest first,
// with the value as formatted for the metric in the locale's decimal mark and "best" after the file of
// the best point. Lines end in "\r\n".
std::string trendValuesText(std::string_view metricKey, MetricFormat format,
                            const std::vector<LibraryTrendPoint>& points);

class TrendPanel final : public QWidget {
  Q_OBJECT

 public:
  TrendPanel(QPrinter& printer, QString exportFolder, QWidget* parent = nullptr);

  void setReader(LibraryReader* reader);
  // The subject whose values are drawn (its name as typed); none clears the graph. A subject without
  // values of the metric shown gets the jump height, or the peak force, when it has those: a subject of
  // force tests only is seen at once.
  void setSubject(std::optional<LibrarySubject> subject);
  // Chooses a metric by key; false when the list does not offer it.
  bool chooseMetric(const std::string& key);
  // Reads the metric list and the values again.
  void reload();

  const TrendGraph& graph() const { return graph_; }
  const std::vector<LibraryTrendPoint>& points() const { return points_; }
  std::string currentMetric() const;
  LibraryGraphView* graphView() const { return view_; }
  QComboBox* metricList() const { return metrics_; }

  void print();
  void exportGraph();
  void copyValues();

 private:
  void fillMetricList(const std::vector<LibraryMetricKey>& stored);
  // Reads the values of the metric chosen (or, after a new subject, of the first of the usual metrics
  // that has some) and draws them.
  void readValues();
  void showValues(const std::string& key, const LibraryStatus& status);

  QPrinter& printer_;
  QString exportFolder_;
  LibraryReader* reader_ = nullptr;
  uint64_t keysAsked_ = 0;    // the latest question for the metric list
  uint64_t valuesAsked_ = 0;  // the latest question for the values
  bool newSubject_ = false;   // the subject changed since the values were last shown
  std::optional<LibrarySubject> subject_;
  std::vector<LibraryMetricKey> choices_;
  std::vector<LibraryTrendPoint> points_;
  TrendGraph graph_;
  QComboBox* metrics_;
  QLabel* note_;
  LibraryGraphView* view_;
  QPushButton* printButton_;
  QPushButton* exportButton_;
  QPushButton* copyButton_;
};

}  // namespace velkora
