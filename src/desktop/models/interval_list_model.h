#pragma once
// The report bar's interval list as a model whose entries are made when the list asks for them,
// so 61000 intervals cost nothing until they are shown.

#include <QAbstractListModel>

#include "reports/interval_list.h"

namespace velkora {

class IntervalListModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit IntervalListModel(const IntervalList& entries, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  IntervalList entries_;
};

}  // namespace velkora
