#pragma once
// The report list: the rows of the report shown, under a two-line header; whole rows are selected,
// several at once; nothing sorts.

#include <QTableView>
#include <cstdint>
#include <functional>
#include <vector>

#include "reports/report_table.h"

namespace velkora {

class CMLHeaderCtrl;
class ReportTableModel;

class CforceList final : public QTableView {
  Q_OBJECT

 public:
  explicit CforceList(QWidget* parent = nullptr);

  // Empties the list: neither rows nor columns.
  void clearReport();
  // Builds a report into the list (which is emptied first) and sets its column widths.
  void showReport(const std::function<void(DigitalReport&)>& build);

  const DigitalReport& report() const;
  int32_t rowCount() const;
  // The selected rows in ascending order.
  std::vector<int32_t> selectedRows() const;
  CMLHeaderCtrl* header() const { return header_; }

 private:
  ReportTableModel* model_;
  CMLHeaderCtrl* header_;
};

}  // namespace velkora
