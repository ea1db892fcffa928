#include "desktop/force_list.h"

#include <QHeaderView>
#include <algorithm>

#include "desktop/ml_header_ctrl.h"
#include "desktop/models/report_table_model.h"

namespace velkora {

CforceList::CforceList(QWidget* parent) : QTableView(parent), model_(new ReportTableModel(this)) {
  setAccessibleName(QStringLiteral("Report"));
  header_ = new CMLHeaderCtrl(this);
  setHorizontalHeader(header_);
  setModel(model_);
  setSortingEnabled(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setShowGrid(false);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setFrameShape(QFrame::Box);
  // Rows of one height, known without asking the model: a 61000-row report lays out at once.
  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 4);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  header_->setStretchLastSection(false);
}

void CforceList::clearReport() { model_->clear(); }

void CforceList::showReport(const std::function<void(DigitalReport&)>& build) {
  model_->rebuild(build);
  const ReportColumnTable& columns = *model_->report().columns;
  for (int32_t c = 0; c < columns.count; ++c) setColumnWidth(c, columns.screenWidths[static_cast<size_t>(c)]);
}

const DigitalReport& CforceList::report() const { return model_->report(); }

int32_t CforceList::rowCount() const { return model_->rowCount(); }

std::vector<int32_t> CforceList::selectedRows() const {
  std::vector<int32_t> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace velkora
