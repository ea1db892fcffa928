#pragma once
// What the library window's lists share: rows read from the library a page at a time as the list
// scrolls (canFetchMore / fetchMore), answers that may come later (a library on a server), and an answer
// overtaken by a newer question (the next keystroke, another subject) dropped.

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "desktop/models/library_reader.h"

namespace velkora {

template <typename Row>
class PagedListModel : public QAbstractTableModel {
 public:
  // Reads rows into the vector given, on the library's side.
  using ReadRows = std::function<LibraryStatus(LibraryService&, std::vector<Row>&)>;

  using QAbstractTableModel::QAbstractTableModel;

  // The library's refusal of the latest read, empty when it answered.
  const QString& error() const { return error_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  bool canFetchMore(const QModelIndex& parent) const override { return !parent.isValid() && !complete_ && !fetching_; }

 protected:
  const Row* rowAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? &rows_[static_cast<size_t>(row)] : nullptr;
  }
  const std::vector<Row>& rows() const { return rows_; }

  // Replaces the rows by what `read` gives, `count` rows asked from the top; fewer means there are no
  // more. Without a reader or a `read` the list is empty. `then` runs when the rows are in.
  void replaceRows(LibraryReader* reader, int64_t count, ReadRows read, std::function<void()> then) {
    const uint64_t asked = ++asked_;
    fetching_ = false;  // a page asked for before belongs to rows that are replaced
    auto page = std::make_shared<std::vector<Row>>();
    auto show = [this, asked, count, page, then = std::move(then)](const LibraryStatus& status) {
      if (asked != asked_) return;
      beginResetModel();
      rows_ = std::move(*page);
      complete_ = !status.ok() || rows_.size() < static_cast<size_t>(count);
      error_ = status.ok() ? QString() : QString::fromStdString(status.message);
      endResetModel();
      if (then) then();
    };
    if (reader == nullptr || !read) return show(LibraryStatus::success());
    reader->read(
        this, [read = std::move(read), page](LibraryService& library) { return read(library, *page); },
        std::move(show));
  }

  // Appends what `read` gives, `pageRows` asked after the rows there are; fewer means there are no more.
  void appendPage(LibraryReader* reader, int64_t pageRows, ReadRows read) {
    if (reader == nullptr || complete_ || fetching_) return;
    fetching_ = true;
    const uint64_t asked = asked_;
    auto page = std::make_shared<std::vector<Row>>();
    reader->read(
        this, [read = std::move(read), page](LibraryService& library) { return read(library, *page); },
        [this, asked, pageRows, page](const LibraryStatus& status) {
          if (asked != asked_) return;
          fetching_ = false;
          if (!status.ok()) {
            complete_ = true;
            error_ = QString::fromStdString(status.message);
            return;
          }
          complete_ = page->size() < static_cast<size_t>(pageRows);
          if (page->empty()) return;
          const int first = static_cast<int>(rows_.size());
          beginInsertRows(QModelIndex(), first, first + static_cast<int>(page->size()) - 1);
          rows_.insert(rows_.end(), std::make_move_iterator(page->begin()), std::make_move_iterator(page->end()));
          endInsertRows();
        });
  }

 private:
  std::vector<Row> rows_;
  bool complete_ = true;
  bool fetching_ = false;  // a further page was asked for
  uint64_t asked_ = 0;     // the latest question; older answers are dropped
  QString error_;
};

}  // namespace velkora
