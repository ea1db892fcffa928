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

SubjectListModel::SubjectListModel(QObject* parent) : PagedListModel(parent) {}

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
  readFromTop(std::max<int64_t>(kPageRows, static_cast<int64_t>(rows().size())), std::move(then));
}

void SubjectListModel::readFromTop(int64_t count, std::function<void()> then) {
  replaceRows(
      reader_, count,
      [search = search_, count](LibraryService& library, std::vector<LibrarySubject>& page) {
        return library.subjects(search, page, count, 0);
      },
      std::move(then));
}

const LibrarySubject* SubjectListModel::subjectAt(int row) const { return rowAt(row); }

int SubjectListModel::rowOfKey(const std::string& key) const {
  for (size_t k = 0; k < rows().size(); ++k)
    if (rows()[k].key == key) return static_cast<int>(k);
  return -1;
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

void SubjectListModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  appendPage(reader_, kPageRows,
             [search = search_, offset = static_cast<int64_t>(rows().size())](LibraryService& library,
                                                                              std::vector<LibrarySubject>& page) {
               return library.subjects(search, page, kPageRows, offset);
             });
}

}  // namespace velkora
