#pragma once
// A built report as a table model: the list asks for the cells it paints, row by row, straight from
// the report's texts, so a report of 61000 rows shows at once.

#include <QAbstractTableModel>
#include <functional>

#include "reports/report_table.h"

namespace velkora {

class ReportTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ReportTableModel(QObject* parent = nullptr);

  // Replaces the report by what `build` makes of it (after an emptying) in one model reset.
  void rebuild(const std::function<void(DigitalReport&)>& build);
  void clear();
  const DigitalReport& report() const { return report_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  DigitalReport report_;
};

}  // namespace velkora
