#include "desktop/library/trend_panel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "desktop/library/library_graph_view.h"
#include "desktop/models/library_reader.h"
#include "desktop/models/subject_list_model.h"
#include "desktop/report_transfer.h"
#include "library/library_service.h"
#include "library/metric_catalog.h"
#include "reports/cell_format.h"
#include "reports/metrics_report.h"
#include "view/compare_graph.h"

namespace velkora {
namespace {

constexpr std::string_view kDefaultPowerMetric = "jumpHeightTakeoffVelocity_cm";

// "Jump height (take-off velocity) (cm)".
std::string metricTitle(std::string_view key) {
  const MetricLabel label = metricLabel(key);
  std::string title(label.name);
  if (!label.unit.empty()) title.append(" (").append(label.unit).append(")");
  return title;
}

std::string valueText(std::string_view key, MetricFormat format, double value) {
  std::string text = formatMetricValue(Metric{key, format, true, value, {}});
  const std::string_view point = localeDecimalPoint();
  if (const size_t dot = text.find('.'); dot != std::string::npos && point != ".") text.replace(dot, 1, point);
  return text;
}

}  // namespace

std::vector<LibraryMetricKey> trendMetricChoices(const std::vector<LibraryMetricKey>& stored) {
  std::vector<LibraryMetricKey> choices;
  for (std::span<const std::string_view> keys : {powerMetricKeys(), forceMetricKeys()}) {
    for (std::string_view key : keys) {
      if (isTextMetric(key) || key == "sampleCount" || key.ends_with("Index")) continue;
      const auto it =
          std::find_if(stored.begin(), stored.end(), [&](const LibraryMetricKey& k) { return k.key == key; });
      if (it == stored.end()) continue;
      if (std::none_of(choices.begin(), choices.end(), [&](const LibraryMetricKey& c) { return c.key == key; }))
        choices.push_back(*it);
    }
  }
  return choices;
}

std::string trendValuesText(std::string_view metricKey, MetricFormat format,
                            const std::vector<LibraryTrendPoint>& points) {
  std::vector<TrendGraphPoint> graphPoints;
  for (const LibraryTrendPoint& p : points) graphPoints.push_back({p.testTime, p.value});
  const int32_t best = bestTrendPoint(graphPoints, lowerIsBetter(metricKey));
  std::string text = "Date\t" + metricTitle(metricKey) + "\tFile\r\n";
  for (size_t k = 0; k < points.size(); ++k) {
    text += listedDate(points[k].testTime).toStdString() + '\t' + valueText(metricKey, format, points[k].value) + '\t' +
            points[k].path;
    if (static_cast<int32_t>(k) == best) text += "\tbest";
    text += "\r\n";
  }
  return text;
}

TrendPanel::TrendPanel(QPrinter& printer, QString exportFolder, QWidget* parent)
    : QWidget(parent),
      printer_(printer),
      exportFolder_(std::move(exportFolder)),
      metrics_(new QComboBox(this)),
      note_(new QLabel(this)),
      view_(new LibraryGraphView(this)),
      printButton_(new QPushButton(QStringLiteral("&Print..."), this)),
      exportButton_(new QPushButton(QStringLiteral("&Export..."), this)),
      copyButton_(new QPushButton(QStringLiteral("Copy &values"), this)) {
  auto* column = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  auto* caption = new QLabel(QStringLiteral("&Metric:"), this);
  caption->setBuddy(metrics_);
  metrics_->setAccessibleName(QStringLiteral("Metric"));
  metrics_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  top->addWidget(caption);
  top->addWidget(metrics_);
  top->addStretch(1);
  for (QPushButton* b : {printButton_, exportButton_, copyButton_}) {
    b->setAccessibleName(b->text().remove(QLatin1Char('&')));
    b->setAutoDefault(false);
    top->addWidget(b);
  }
  column->addLayout(top);
  note_->setAccessibleName(QStringLiteral("Trend note"));
  column->addWidget(note_);
  view_->setAccessibleName(QStringLiteral("Trend graph"));
  column->addWidget(view_, 1);

  // A metric the user chose stays chosen.
  connect(metrics_, &QComboBox::currentIndexChanged, this, [this] {
    newSubject_ = false;
    readValues();
  });
  connect(printButton_, &QPushButton::clicked, this, &TrendPanel::print);
  connect(exportButton_, &QPushButton::clicked, this, &TrendPanel::exportGraph);
  connect(copyButton_, &QPushButton::clicked, this, &TrendPanel::copyValues);
  readValues();
}

void TrendPanel::setReader(LibraryReader* reader) {
  reader_ = reader;
  reload();
}

void TrendPanel::reload() {
  const uint64_t asked = ++keysAsked_;
  auto stored = std::make_shared<std::vector<LibraryMetricKey>>();
  const auto show = [this, asked, stored](const LibraryStatus&) {
    if (asked != keysAsked_) return;
    fillMetricList(*stored);
    readValues();
  };
  if (reader_ == nullptr) return show(LibraryStatus::success());
  reader_->read(
      this, [stored](LibraryService& library) { return library.backend().metricKeys(*stored); }, show);
}

void TrendPanel::fillMetricList(const std::vector<LibraryMetricKey>& stored) {
  std::vector<LibraryMetricKey> choices = trendMetricChoices(stored);
  const bool same = choices.size() == choices_.size() &&
                    std::equal(choices.begin(), choices.end(), choices_.begin(),
                               [](const LibraryMetricKey& a, const LibraryMetricKey& b) { return a.key == b.key; });
  if (same) return;
  const std::string current = currentMetric();
  choices_ = std::move(choices);
  const QSignalBlocker blocker(metrics_);
  metrics_->clear();
  for (const LibraryMetricKey& choice : choices_)
    metrics_->addItem(QString::fromStdString(metricTitle(choice.key)), QString::fromStdString(choice.key));
  int index = metrics_->findData(QString::fromStdString(current.empty() ? std::string(kDefaultPowerMetric) : current));
  metrics_->setCurrentIndex(index >= 0 ? index : (metrics_->count() > 0 ? 0 : -1));
}

std::string TrendPanel::currentMetric() const { return metrics_->currentData().toString().toStdString(); }

bool TrendPanel::chooseMetric(const std::string& key) {
  const int index = metrics_->findData(QString::fromStdString(key));
  if (index < 0) return false;
  {
    const QSignalBlocker blocker(metrics_);
    metrics_->setCurrentIndex(index);
  }
  newSubject_ = false;
  readValues();
  return true;
}

void TrendPanel::setSubject(std::optional<LibrarySubject> subject) {
  subject_ = std::move(subject);
  newSubject_ = subject_.has_value();
  readValues();
}

void TrendPanel::readValues() {
  const uint64_t asked = ++valuesAsked_;
  const std::string key = currentMetric();
  if (reader_ == nullptr || !subject_ || key.empty()) {
    points_.clear();
    showValues(key, LibraryStatus::success());
    return;
  }
  // The metric shown first; for a new subject then the usual ones, in this order, until one has values.
  std::vector<std::string> candidates{key};
  if (newSubject_)
    for (std::string_view other : {kDefaultPowerMetric, std::string_view("peakForce_N")})
      if (other != key && metrics_->findData(QString::fromUtf8(other.data(), other.size())) >= 0)
        candidates.emplace_back(other);
  struct Answer {
    std::string key;
    std::vector<LibraryTrendPoint> points;
  };
  auto answer = std::make_shared<Answer>();
  reader_->read(
      this,
      [name = subject_->name, candidates, answer](LibraryService& library) {
        for (const std::string& candidate : candidates) {
          answer->key = candidate;
          answer->points.clear();
          if (LibraryStatus status = library.trend(name, candidate, answer->points); !status.ok()) return status;
          if (!answer->points.empty()) return LibraryStatus::success();
        }
        answer->key = candidates.front();
        return LibraryStatus::success();
      },
      [this, asked, answer](const LibraryStatus& status) {
        if (asked != valuesAsked_) return;
        newSubject_ = false;
        const int index = metrics_->findData(QString::fromStdString(answer->key));
        if (index >= 0 && index != metrics_->currentIndex()) {
          const QSignalBlocker blocker(metrics_);
          metrics_->setCurrentIndex(index);
        }
        points_ = std::move(answer->points);
        showValues(answer->key, status);
      });
}

void TrendPanel::showValues(const std::string& key, const LibraryStatus& status) {
  graph_ = TrendGraph{};
  if (reader_ == nullptr || !subject_ || key.empty()) {
    note_->setText(reader_ == nullptr ? QString() : QStringLiteral("Choose a subject to see a metric over time."));
    view_->setDrawing({});
  } else {
    MetricFormat format = MetricFormat::Fixed2;
    for (const LibraryMetricKey& choice : choices_)
      if (choice.key == key) format = choice.format;
    graph_.title = graphName(subject_->name) + ": " + metricTitle(key);
    for (const LibraryTrendPoint& p : points_) graph_.points.push_back({p.testTime, p.value});
    graph_.lowerIsBetter = lowerIsBetter(key);
    graph_.decimals = metricDecimals(format);
    note_->setText(!status.ok()          ? QString::fromStdString(status.message)
                   : points_.empty()     ? QStringLiteral("No test of this subject has a value of this metric.")
                   : points_.size() == 1 ? QStringLiteral("1 value, marked in red as the best.")
                                         : QStringLiteral("%1 values, the best marked in red.").arg(points_.size()));
    const TrendGraph graph = graph_;
    view_->setDrawing([graph](DeviceContext& dc, const Rect& area) { drawTrendGraph(dc, area, graph); });
  }
  const bool any = !points_.empty();
  printButton_->setEnabled(any);
  exportButton_->setEnabled(any);
  copyButton_->setEnabled(any);
}

void TrendPanel::print() {
  if (!points_.empty()) printLibraryGraphAsked(this, printer_, view_->drawing());
}

void TrendPanel::exportGraph() {
  if (!points_.empty()) exportLibraryGraph(this, exportFolder_, view_->size(), view_->drawing());
}

void TrendPanel::copyValues() {
  if (points_.empty()) return;
  const std::string key = currentMetric();
  MetricFormat format = MetricFormat::Fixed2;
  for (const LibraryMetricKey& choice : choices_)
    if (choice.key == key) format = choice.format;
  putOnClipboard(trendValuesText(key, format, points_));
}

}  // namespace velkora
