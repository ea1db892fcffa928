#pragma once
// The library window's tests of one subject, newest first: date, kind, the key metrics of its kind
// (power: jump height by take-off velocity and by flight time, RSI-modified, peak propulsive power per
// kg; force: the best repetition's peak force, mean force, RFD 0-100 ms) and the file. A test whose file
// the latest scan did not find is greyed. Rows are read a page at a time as the list scrolls; a library on
// a server answers later, and an answer overtaken by a newer question is dropped.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "desktop/models/paged_list_model.h"
#include "library/library_records.h"

namespace velkora {

class TestListModel final : public PagedListModel<LibraryTestEntry> {
  Q_OBJECT

 public:
  static constexpr int kPageRows = 100;
  enum Column {
    Date,
    Kind,
    Jump,
    Flight,
    RsiModified,
    PeakPowerPerKg,
    PeakForce,
    MeanForce,
    Rfd100,
    File,
    ColumnCount
  };

  explicit TestListModel(QObject* parent = nullptr);
  // A key-metric column of power tests (the others between Jump and File are of force tests).
  static bool isPowerColumn(int column) { return column >= Jump && column <= PeakPowerPerKg; }

  void setReader(LibraryReader* reader);
  // The subject's tests (by its key); none for no subject. `then` runs when they are in.
  void setSubject(std::optional<std::string> subjectKey, std::function<void()> then = {});
  const std::optional<std::string>& subjectKey() const { return subjectKey_; }
  void reload(std::function<void()> then = {});

  const LibraryTestEntry* testAt(int row) const;
  // The key metric of a column as the cell shows it: the number with the locale's decimal mark, "n/a"
  // when the test does not have it, empty for a column of the other kind.
  QString metricCell(const LibraryTestEntry& test, int column) const;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  // The query of `count` tests of the subject from `offset`.
  LibraryTestQuery query(int64_t offset, int64_t count) const;
  // Replaces the rows by the subject's first `count` tests.
  void readFromTop(int64_t count, std::function<void()> then);

  LibraryReader* reader_ = nullptr;
  std::optional<std::string> subjectKey_;
  std::vector<std::string> metricKeys_;  // asked for with every test: each key metric and its divisor
};

}  // namespace velkora
