#pragma once
// The library window's subjects: name, number of tests and the date of the newest, in the order of
// their names, filtered by the search text. Rows are read from the library a page at a time as the
// list scrolls (canFetchMore / fetchMore), so 2,000 subjects or 200,000 cost the same to show. A library
// on a server answers later: the rows come when it does, and an answer overtaken by a newer question
// (the next keystroke) is dropped.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "desktop/models/paged_list_model.h"
#include "library/library_records.h"

namespace velkora {

// A name as one line of a list: controls, line and paragraph separators and the invisible format
// characters (bidirectional controls among them) become spaces; an empty name reads "(no name)".
QString listedName(const std::string& name);

// A test time as the lists show it: "2024-05-01 10:23" in local time.
QString listedDate(int64_t seconds);

class SubjectListModel final : public PagedListModel<LibrarySubject> {
  Q_OBJECT

 public:
  static constexpr int kPageRows = 200;
  enum Column { Name, Tests, LastTest, ColumnCount };

  explicit SubjectListModel(QObject* parent = nullptr);

  // The library read from; null shows nothing.
  void setReader(LibraryReader* reader);
  // Filters by the text (trimmed and case-folded as subject names are) and starts again at the top.
  void setSearch(const QString& text);
  const std::string& search() const { return search_; }
  // Reads the rows shown so far again (entries were added or changed); `then` runs when they are in.
  void reload(std::function<void()> then = {});

  const LibrarySubject* subjectAt(int row) const;
  // The row of a subject by its key among the rows read so far; -1 when it is not there.
  int rowOfKey(const std::string& key) const;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  // Replaces the rows by the first `count` subjects of the search.
  void readFromTop(int64_t count, std::function<void()> then);

  LibraryReader* reader_ = nullptr;
  std::string search_;
};

}  // namespace velkora
