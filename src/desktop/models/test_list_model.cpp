#include "desktop/models/test_list_model.h"

#include <QBrush>
#include <QColor>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "desktop/models/library_reader.h"
#include "desktop/models/subject_list_model.h"
#include "library/library_service.h"
#include "library/metric_catalog.h"

namespace velkora {
namespace {

struct MetricColumn {
  TestKind kind;
  size_t index;  // in keyMetrics(kind)
  const char* header;
};

// The key-metric columns, in keyMetrics' order per kind.
constexpr MetricColumn kMetricColumns[] = {
    {TestKind::Power, 0, "Jump (cm)"},          {TestKind::Power, 1, "Flight (cm)"},
    {TestKind::Power, 2, "RSI-mod (m/s)"},      {TestKind::Power, 3, "Peak power (W/kg)"},
    {TestKind::Force, 0, "Peak force (N)"},     {TestKind::Force, 1, "Mean force (N)"},
    {TestKind::Force, 2, "RFD 0-100 ms (N/s)"},
};

const MetricColumn* metricColumn(int column) {
  const int k = column - TestListModel::Jump;
  return k >= 0 && k < static_cast<int>(std::size(kMetricColumns)) ? &kMetricColumns[k] : nullptr;
}

QString fileName(const std::string& path) {
  return QFileInfo(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()))).fileName();
}

}  // namespace

TestListModel::TestListModel(QObject* parent) : PagedListModel(parent) {
  for (TestKind kind : {TestKind::Power, TestKind::Force})
    for (const KeyMetric& metric : keyMetrics(kind)) {
      metricKeys_.emplace_back(metric.key);
      if (!metric.perKey.empty()) metricKeys_.emplace_back(metric.perKey);
    }
}

void TestListModel::setReader(LibraryReader* reader) {
  reader_ = reader;
  setSubject(subjectKey_);
}

LibraryTestQuery TestListModel::query(int64_t offset, int64_t count) const {
  LibraryTestQuery query;
  query.subjectKey = subjectKey_;
  query.newestFirst = true;
  query.includeMissing = true;
  query.limit = count;
  query.offset = offset;
  query.metricKeys = metricKeys_;
  return query;
}

void TestListModel::setSubject(std::optional<std::string> subjectKey, std::function<void()> then) {
  subjectKey_ = std::move(subjectKey);
  readFromTop(kPageRows, std::move(then));
}

void TestListModel::reload(std::function<void()> then) {
  readFromTop(std::max<int64_t>(kPageRows, static_cast<int64_t>(rows().size())), std::move(then));
}

void TestListModel::readFromTop(int64_t count, std::function<void()> then) {
  ReadRows read;
  if (subjectKey_)
    read = [q = query(0, count)](LibraryService& library, std::vector<LibraryTestEntry>& page) {
      return library.tests(q, page);
    };
  replaceRows(reader_, count, std::move(read), std::move(then));
}

const LibraryTestEntry* TestListModel::testAt(int row) const { return rowAt(row); }

QString TestListModel::metricCell(const LibraryTestEntry& test, int column) const {
  const MetricColumn* c = metricColumn(column);
  if (c == nullptr || c->kind != test.kind) return {};
  const std::span<const KeyMetric> metrics = keyMetrics(test.kind);
  if (c->index >= metrics.size()) return {};
  const KeyMetric& metric = metrics[c->index];
  const auto valueOf = [&](std::string_view key) -> std::optional<double> {
    for (size_t k = 0; k < metricKeys_.size() && k < test.metrics.size(); ++k)
      if (metricKeys_[k] == key) return test.metrics[k];
    return std::nullopt;
  };
  std::optional<double> value = valueOf(metric.key);
  if (value && !metric.perKey.empty()) {
    const std::optional<double> per = valueOf(metric.perKey);
    value = per && *per > 0 ? std::optional<double>(*value / *per) : std::nullopt;
  }
  if (!value) return QStringLiteral("n/a");
  // The locale's decimal mark, as in the reports.
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", static_cast<int>(metric.decimals), *value);
  return QString::fromLatin1(text);
}

int TestListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TestListModel::data(const QModelIndex& index, int role) const {
  const LibraryTestEntry* test = testAt(index.row());
  if (test == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      switch (index.column()) {
        case Date:
          return listedDate(test->testTime);
        case Kind:
          return test->kind == TestKind::Power ? QStringLiteral("power") : QStringLiteral("force");
        case File:
          return fileName(test->path) + (test->missing ? QStringLiteral(" (missing)") : QString());
        default:
          return metricCell(*test, index.column());
      }
    case Qt::ToolTipRole:
      return QString::fromUtf8(test->path.data(), static_cast<qsizetype>(test->path.size())) +
             (test->missing ? QStringLiteral("\nThe file was not found by the latest scan.") : QString());
    case Qt::ForegroundRole:
      if (test->missing) return QBrush(QColor(150, 150, 150));
      return {};
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignVCenter | (metricColumn(index.column()) ? Qt::AlignRight : Qt::AlignLeft));
    default:
      return {};
  }
}

QVariant TestListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) return {};
  if (const MetricColumn* c = metricColumn(section)) return QString::fromLatin1(c->header);
  switch (section) {
    case Date:
      return QStringLiteral("Date");
    case Kind:
      return QStringLiteral("Kind");
    case File:
      return QStringLiteral("File");
    default:
      return {};
  }
}

void TestListModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent) || !subjectKey_) return;
  appendPage(reader_, kPageRows,
             [q = query(static_cast<int64_t>(rows().size()), kPageRows)](
                 LibraryService& library, std::vector<LibraryTestEntry>& page) { return library.tests(q, page); });
}

}  // namespace velkora
