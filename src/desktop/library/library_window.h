#pragma once
// The subject library's window (File -> Library..., not modal): a search field that filters the
// subjects as one types, the subjects with their number of tests and last test date, the chosen
// subject's tests newest first with their key metrics (double-click or Enter opens one in the main
// window), the trend of a metric and the comparison of 2 to 4 tests of any subjects. Everything is read
// through the window's library: a library on a server answers later, and the lists fill when it does.

#include <QPrinter>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "library/library_records.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;

namespace velkora {

class ComparePanel;
class WindowLibrary;
class SubjectListModel;
class TestListModel;
class TrendPanel;

class LibraryWindow final : public QWidget {
  Q_OBJECT

 public:
  LibraryWindow(WindowLibrary& session, QWidget* parent = nullptr);
  ~LibraryWindow() override;

  QLineEdit* searchField() const { return search_; }
  QTableView* subjectList() const { return subjects_; }
  QTableView* testList() const { return tests_; }
  QTabWidget* pages() const { return pages_; }
  SubjectListModel& subjectModel() const { return *subjectModel_; }
  TestListModel& testModel() const { return *testModel_; }
  TrendPanel& trend() const { return *trend_; }
  ComparePanel& compare() const { return *compare_; }
  QLabel* statusNote() const { return note_; }

  // Chooses the subject in the given row of the subject list.
  void chooseSubject(int row);
  const std::optional<LibrarySubject>& chosenSubject() const { return subject_; }
  // The tests selected in the test list, in list order.
  std::vector<LibraryTestEntry> selectedTests() const;
  // Opens the current test of the list in the main window.
  void openCurrentTest();
  // Adds the selected tests to the comparison and shows it.
  void compareSelected();
  // Reads the lists again (entries were added or changed), keeping the chosen subject.
  void reload();
  // A note at the top of the window under the library's name and state: that a scan runs, what it found.
  void setNote(const QString& text);

 signals:
  // A test to open in the main window.
  void openRequested(const velkora::LibraryTestEntry& test);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showTestsOf(std::optional<LibrarySubject> subject);
  // After the subject's tests came: the first one current, the buttons usable when there are tests.
  void showTestsRead();
  void showMetricColumns();

  WindowLibrary& session_;
  QPrinter printer_;
  SubjectListModel* subjectModel_;
  TestListModel* testModel_;
  QLabel* note_;
  QLineEdit* search_;
  QTableView* subjects_;
  QTabWidget* pages_;
  QLabel* testsTitle_;
  QTableView* tests_;
  QPushButton* openButton_;
  QPushButton* compareButton_;
  TrendPanel* trend_;
  ComparePanel* compare_;
  std::optional<LibrarySubject> subject_;
  QString noteText_;
};

}  // namespace velkora
