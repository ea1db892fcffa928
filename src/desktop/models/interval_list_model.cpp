#include "desktop/models/interval_list_model.h"

namespace velkora {

IntervalListModel::IntervalListModel(const IntervalList& entries, QObject* parent)
    : QAbstractListModel(parent), entries_(entries) {}

int IntervalListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : entries_.count; }

QVariant IntervalListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) return {};
  return QString::fromStdString(entries_.entry(index.row()));
}

}  // namespace velkora
