#include "desktop/models/subject_list_model.h"

#include <QDateTime>
#include <algorithm>
#include <memory>

#include "desktop/models/library_reader.h"
#include "library/library_service.h"

namespace velkora {

QString listedName(const std::string& name) {
  QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  for (QChar& c : text) {
    switch (c.category()) {
      case QChar::Other_Control:
      case QChar::Other_Format:
      case QChar::Separator_Line:
      case QChar::Separator_Paragraph:
        c = QLatin1Char(' ');
        break;
      default:
        break;
    }
  }
  return text.trimmed().isEmpty() ? QStringLiteral("(no name)") : text;
}

QString listedDate(int64_t seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

SubjectListModel::SubjectListModel(QObject* parent) : QAbstractTableModel(parent) {}

void SubjectListModel::setReader(LibraryReader* reader) {
  reader_ = reader;
  setSearch(QString::fromStdString(search_));
}

void SubjectListModel::setSearch(const QString& text) {
  search_ = text.toUtf8().toStdString();
  readFromTop(kPageRows, {});
}

void SubjectListModel::reload(std::function<void()> then) {
  // As many rows as were shown, at least a page.
  readFromTop(std::max<int64_t>(kPageRows, static_cast<int64_t>(rows_.size())), std::move(then));
}

void SubjectListModel::readFromTop(int64_t count, std::function<void()> then) {
  const uint64_t asked = ++asked_;
  fetching_ = false;  // a page asked for before belongs to rows that are replaced
  auto page = std::make_shared<std::vector<LibrarySubject>>();
  const auto show = [this, asked, count, page, then = std::move(then)](const LibraryStatus& status) {
    if (asked != asked_) return;
    beginResetModel();
    rows_ = std::move(*page);
    complete_ = !status.ok() || rows_.size() < static_cast<size_t>(count);
    error_ = status.ok() ? QString() : QString::fromStdString(status.message);
    endResetModel();
    if (then) then();
  };
  if (reader_ == nullptr) return show(LibraryStatus::success());
  reader_->read(
      this,
      [search = search_, count, page](LibraryService& library) { return library.subjects(search, *page, count, 0); },
      show);
}
const LibrarySubject* SubjectListModel::subjectAt(int row) const {
  return row >= 0 && static_cast<size_t>(row) < rows_.size() ? &rows_[static_cast<size_t>(row)] : nullptr;
}

int SubjectListModel::rowOfKey(const std::string& key) const {
  for (size_t k = 0; k < rows_.size(); ++k)
    if (rows_[k].key == key) return static_cast<int>(k);
  return -1;
}

int SubjectListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SubjectListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant SubjectListModel::data(const QModelIndex& index, int role) const {
  const LibrarySubject* subject = subjectAt(index.row());
  if (subject == nullptr) return {};
  if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole) {
    switch (index.column()) {
      case Name:
        return listedName(subject->name);
      case Tests:
        if (subject->missingCount > 0)
          return QStringLiteral("%1 (+%2 missing)").arg(subject->testCount).arg(subject->missingCount);
        return QString::number(subject->testCount);
      case LastTest:
        return subject->lastTestTime ? listedDate(*subject->lastTestTime) : QStringLiteral("-");
      default:
        return {};
    }
  }
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignVCenter | (index.column() == Tests ? Qt::AlignRight : Qt::AlignLeft));
  return {};
}

QVariant SubjectListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) return {};
  switch (section) {
    case Name:
      return QStringLiteral("Subject");
    case Tests:
      return QStringLiteral("Tests");
    case LastTest:
      return QStringLiteral("Last test");
    default:
      return {};
  }
}

bool SubjectListModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !complete_ && !fetching_;
}

void SubjectListModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || complete_ || fetching_ || reader_ == nullptr) return;
  fetching_ = true;
  const uint64_t asked = asked_;
  const auto offset = static_cast<int64_t>(rows_.size());
  auto page = std::make_shared<std::vector<LibrarySubject>>();
  reader_->read(
      this,
      [search = search_, offset, page](LibraryService& library) {
        return library.subjects(search, *page, kPageRows, offset);
      },
      [this, asked, page](const LibraryStatus& status) {
        if (asked != asked_) return;
        fetching_ = false;
        if (!status.ok()) {
          complete_ = true;
          error_ = QString::fromStdString(status.message);
          return;
        }
        complete_ = page->size() < static_cast<size_t>(kPageRows);
        if (page->empty()) return;
        const int first = static_cast<int>(rows_.size());
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(page->size()) - 1);
        rows_.insert(rows_.end(), std::make_move_iterator(page->begin()), std::make_move_iterator(page->end()));
        endInsertRows();
      });
}

}  // namespace velkora
