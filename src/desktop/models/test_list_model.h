#pragma once
// The library window's tests of one subject, newest first: date, kind, the key metrics of its kind
// (power: jump height by take-off velocity and by flight time, RSI-modified, peak propulsive power per
// kg; force: the best repetition's peak force, mean force, RFD 0-100 ms) and the file. A test whose file
// the latest scan did not find is greyed. Rows are read a page at a time as the list scrolls.

#include <QAbstractTableModel>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "library/library_records.h"

namespace velkora {

class LibraryService;

class TestListModel final : public QAbstractTableModel {
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

  void setLibrary(LibraryService* library);
  // The subject's tests (by its key); none for no subject.
  void setSubject(std::optional<std::string> subjectKey);
  const std::optional<std::string>& subjectKey() const { return subjectKey_; }
  void reload();

  const LibraryTestEntry* testAt(int row) const;
  // The key metric of a column as the cell shows it: the number with the locale's decimal mark, "n/a"
  // when the test does not have it, empty for a column of the other kind.
  QString metricCell(const LibraryTestEntry& test, int column) const;
  const QString& error() const { return error_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  bool readPage(int64_t offset, int64_t count, std::vector<LibraryTestEntry>& into);

  LibraryService* library_ = nullptr;
  std::optional<std::string> subjectKey_;
  std::vector<std::string> metricKeys_;  // asked for with every test: each key metric and its divisor
  std::vector<LibraryTestEntry> rows_;
  bool complete_ = true;
  QString error_;
};

}  // namespace velkora
