#include "desktop/models/report_table_model.h"

#include <QFont>

#include "reports/metrics_report.h"
#include "view/view_state.h"

namespace velkora {
namespace {

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

ReportTableModel::ReportTableModel(QObject* parent) : QAbstractTableModel(parent) { clearReport(report_); }

void ReportTableModel::rebuild(const std::function<void(DigitalReport&)>& build) {
  beginResetModel();
  clearReport(report_);
  build(report_);
  endResetModel();
}

void ReportTableModel::clear() {
  beginResetModel();
  clearReport(report_);
  endResetModel();
}

int ReportTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : report_.rows.rowCount();
}

int ReportTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : report_.columns->count;
}

QVariant ReportTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return toQString(report_.rows.cell(index.row(), index.column()));
    case Qt::FontRole:
      // The heading row of each repetition in the metrics report.
      if (report_.columns == &metricsColumns && report_.rows.cell(index.row(), 1).empty()) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    case Qt::TextAlignmentRole:
      // Right-aligned columns; the first column keeps to the left as the list control always did.
      return QVariant::fromValue(Qt::AlignVCenter | (index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight));
    default:
      return {};
  }
}

QVariant ReportTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= report_.columns->count) return {};
  const std::string_view header = report_.columns->headers[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole) return toQString(header);
  if (role == Qt::AccessibleTextRole) {
    const HeaderLines lines = splitHeader(header);
    return (toQString(lines.upper) + QLatin1Char(' ') + toQString(lines.lower)).simplified();
  }
  return {};
}

Qt::ItemFlags ReportTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace velkora
