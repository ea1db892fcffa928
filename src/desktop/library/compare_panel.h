#pragma once
// The library window's comparison: up to four tests of any subjects, their vertical force drawn over
// each other by the view's compare graph (aligned at take-off or at the first repetition's onset, a
// legend with subject and date), printed and exported as PNG, SVG or PDF.

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/library_records.h"
#include "view/compare_graph.h"

class QLabel;
class QListWidget;
class QPrinter;
class QPushButton;

namespace velkora {

class LibraryGraphView;
struct SubjectInfo;

// A test to compare with its file's bytes, read beforehand (a server library keeps them), or why there
// are none.
struct ComparedFile {
  LibraryTestEntry test;
  std::optional<std::string> bytes;
  std::string problem;
};

class ComparePanel final : public QWidget {
  Q_OBJECT

 public:
  ComparePanel(QPrinter& printer, QString exportFolder, QWidget* parent = nullptr);
  ~ComparePanel() override;

  // Adds the tests not yet compared, as long as there is room, reading each one's file; says what
  // could not be added. Returns how many were added.
  int addTests(const std::vector<LibraryTestEntry>& tests);
  // The same for tests whose bytes were read beforehand.
  int addFiles(const std::vector<ComparedFile>& files);
  void removeChosen();
  void clear();

  const std::vector<CompareCurve>& curves() const { return curves_; }
  LibraryGraphView* graphView() const { return view_; }
  QLabel* note() const { return note_; }

  void print();
  void exportGraph();

 private:
  void refresh(const QString& note = QString());
  // Whether another test can be added; says why not into `problems`.
  bool roomFor(const LibraryTestEntry& test, QStringList& problems) const;
  // The curve of the test just read into the store.
  void addCurve(const LibraryTestEntry& test, const SubjectInfo& subject);

  QPrinter& printer_;
  QString exportFolder_;
  std::unique_ptr<MeasurementStore> store_;  // each file is read into it in turn
  std::vector<int64_t> testIds_;
  std::vector<CompareCurve> curves_;
  QListWidget* chosen_;
  QLabel* note_;
  LibraryGraphView* view_;
  QPushButton* removeButton_;
  QPushButton* clearButton_;
  QPushButton* printButton_;
  QPushButton* exportButton_;
};

}  // namespace velkora
