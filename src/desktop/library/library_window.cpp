#include "desktop/library/library_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "desktop/library/compare_panel.h"
#include "desktop/library/trend_panel.h"
#include "desktop/library/window_library.h"
#include "desktop/models/subject_list_model.h"
#include "desktop/models/test_list_model.h"
#include "library/library_file_reader.h"
#include "library/library_service.h"
#include "library/sha256.h"

namespace velkora {
namespace {

void setUpList(QTableView* list, const QString& name) {
  list->setAccessibleName(name);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAlternatingRowColors(true);
  list->setShowGrid(false);
  list->setWordWrap(false);
  list->setTextElideMode(Qt::ElideRight);
  list->verticalHeader()->hide();
  // Rows of one height: the view never measures them one by one.
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
  list->horizontalHeader()->setHighlightSections(false);
}

}  // namespace

LibraryWindow::LibraryWindow(WindowLibrary& session, QWidget* parent)
    : QWidget(parent, Qt::Window),
      session_(session),
      printer_(QPrinter::HighResolution),
      subjectModel_(new SubjectListModel(this)),
      testModel_(new TestListModel(this)),
      note_(new QLabel(this)),
      search_(new QLineEdit(this)),
      subjects_(new QTableView(this)),
      pages_(new QTabWidget(this)),
      testsTitle_(new QLabel(this)),
      tests_(new QTableView(this)),
      openButton_(new QPushButton(QStringLiteral("&Open"), this)),
      compareButton_(new QPushButton(QStringLiteral("&Add to comparison"), this)) {
  setWindowTitle(QStringLiteral("Velkora - Library"));
  setAccessibleName(windowTitle());
  printer_.setDocName(QStringLiteral("Velkora library"));
  printer_.setCreator(QStringLiteral("Velkora"));
  const QString folder = QString::fromStdString(session.dataFolder());
  trend_ = new TrendPanel(printer_, folder, this);
  compare_ = new ComparePanel(printer_, folder, this);

  auto* column = new QVBoxLayout(this);
  note_->setAccessibleName(QStringLiteral("Library note"));
  note_->setWordWrap(true);
  column->addWidget(note_);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  column->addWidget(splitter, 1);

  // Left: the search and the subjects.
  auto* left = new QWidget(splitter);
  auto* leftColumn = new QVBoxLayout(left);
  leftColumn->setContentsMargins(0, 0, 0, 0);
  auto* searchRow = new QHBoxLayout();
  auto* searchCaption = new QLabel(QStringLiteral("&Search:"), left);
  searchCaption->setBuddy(search_);
  search_->setAccessibleName(QStringLiteral("Search subjects"));
  search_->setPlaceholderText(QStringLiteral("part of a name"));
  search_->setClearButtonEnabled(true);
  searchRow->addWidget(searchCaption);
  searchRow->addWidget(search_, 1);
  leftColumn->addLayout(searchRow);
  setUpList(subjects_, QStringLiteral("Subjects"));
  subjects_->setSelectionMode(QAbstractItemView::SingleSelection);
  subjects_->setModel(subjectModel_);
  // The counts and dates as wide as their longest texts, the names taking the rest.
  const QFontMetrics metrics = subjects_->fontMetrics();
  subjects_->horizontalHeader()->setSectionResizeMode(SubjectListModel::Name, QHeaderView::Stretch);
  subjects_->setColumnWidth(SubjectListModel::Tests, metrics.horizontalAdvance(QStringLiteral("00 (+0 missing)")) + 12);
  subjects_->setColumnWidth(SubjectListModel::LastTest,
                            metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00")) + 16);
  leftColumn->addWidget(subjects_, 1);
  splitter->addWidget(left);

  // Right: the tests, the trend and the comparison.
  auto* testsPage = new QWidget(pages_);
  auto* testsColumn = new QVBoxLayout(testsPage);
  auto* testsTop = new QHBoxLayout();
  testsTitle_->setAccessibleName(QStringLiteral("Tests title"));
  testsTop->addWidget(testsTitle_, 1);
  for (QPushButton* b : {openButton_, compareButton_}) {
    b->setAccessibleName(b->text().remove(QLatin1Char('&')));
    b->setAutoDefault(false);
    testsTop->addWidget(b);
  }
  testsColumn->addLayout(testsTop);
  setUpList(tests_, QStringLiteral("Tests"));
  tests_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tests_->setModel(testModel_);
  tests_->setColumnWidth(TestListModel::Date,
                         tests_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00")) + 14);
  tests_->setColumnWidth(TestListModel::Kind, tests_->fontMetrics().horizontalAdvance(QStringLiteral("power")) + 14);
  for (int c = TestListModel::Jump; c < TestListModel::File; ++c)
    tests_->setColumnWidth(
        c, tests_->fontMetrics().horizontalAdvance(testModel_->headerData(c, Qt::Horizontal).toString()) + 14);
  tests_->horizontalHeader()->setStretchLastSection(true);
  tests_->installEventFilter(this);
  testsColumn->addWidget(tests_, 1);
  pages_->addTab(testsPage, QStringLiteral("&Tests"));
  pages_->addTab(trend_, QStringLiteral("T&rend"));
  pages_->addTab(compare_, QStringLiteral("&Compare"));
  pages_->setAccessibleName(QStringLiteral("Library pages"));
  splitter->addWidget(pages_);
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({360, 840});

  connect(search_, &QLineEdit::textChanged, subjectModel_, &SubjectListModel::setSearch);
  connect(subjects_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (current.isValid()) chooseSubject(current.row());
          });
  connect(tests_, &QTableView::doubleClicked, this, [this](const QModelIndex&) { openCurrentTest(); });
  connect(openButton_, &QPushButton::clicked, this, &LibraryWindow::openCurrentTest);
  connect(compareButton_, &QPushButton::clicked, this, &LibraryWindow::compareSelected);
  connect(&session_, &WindowLibrary::changed, this, &LibraryWindow::reload);
  // Another library: no subject of the old one stays chosen.
  connect(&session_, &WindowLibrary::replaced, this, [this] {
    const QSignalBlocker blocker(subjects_->selectionModel());
    subjects_->clearSelection();
    showTestsOf(std::nullopt);
  });
  connect(&session_, &WindowLibrary::statusChanged, this, [this] { setNote(noteText_); });
  // A later page of the list may bring the other kind of test.
  connect(testModel_, &QAbstractItemModel::rowsInserted, this, [this] { showMetricColumns(); });

  subjectModel_->setReader(&session_);
  testModel_->setReader(&session_);
  trend_->setReader(&session_);
  setNote(QString());
  showTestsOf(std::nullopt);
  resize(1200, 660);
}

LibraryWindow::~LibraryWindow() = default;

void LibraryWindow::setNote(const QString& text) {
  noteText_ = text;
  // The library without its password, and its state: unusable, offline, tests waiting.
  QString shown = QStringLiteral("Library: ") + QString::fromStdString(session_.shownLocation());
  if (!session_.available())
    shown += QLatin1Char('\n') + QStringLiteral("The library cannot be used: ") + session_.unavailableReason();
  else if (const QString status = session_.statusText(); !status.isEmpty())
    shown += QLatin1Char('\n') + status +
             (session_.online() || session_.opening()
                  ? QString()
                  : QStringLiteral(": the lists fill when the server answers again, and saved tests are sent then."));
  if (!text.isEmpty()) shown += QLatin1Char('\n') + text;
  note_->setText(shown);
}

void LibraryWindow::chooseSubject(int row) {
  const LibrarySubject* subject = subjectModel_->subjectAt(row);
  if (subject == nullptr) return;
  if (subjects_->currentIndex().row() != row) {
    const QSignalBlocker blocker(subjects_->selectionModel());
    subjects_->setCurrentIndex(subjectModel_->index(row, 0));
  }
  showTestsOf(*subject);
}

void LibraryWindow::showTestsOf(std::optional<LibrarySubject> subject) {
  subject_ = std::move(subject);
  testsTitle_->setText(subject_ ? QStringLiteral("Tests of %1, newest first").arg(listedName(subject_->name))
                                : QStringLiteral("Choose a subject on the left."));
  openButton_->setEnabled(false);
  compareButton_->setEnabled(false);
  testModel_->setSubject(subject_ ? std::optional<std::string>(subject_->key) : std::nullopt,
                         [this] { showTestsRead(); });
  trend_->setSubject(subject_);
}

void LibraryWindow::showTestsRead() {
  showMetricColumns();
  if (testModel_->rowCount() > 0) tests_->setCurrentIndex(testModel_->index(0, 0));
  openButton_->setEnabled(testModel_->rowCount() > 0);
  compareButton_->setEnabled(testModel_->rowCount() > 0);
}

std::vector<LibraryTestEntry> LibraryWindow::selectedTests() const {
  std::vector<int> rows;
  for (const QModelIndex& index : tests_->selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  std::vector<LibraryTestEntry> tests;
  for (int row : rows)
    if (const LibraryTestEntry* test = testModel_->testAt(row)) tests.push_back(*test);
  return tests;
}

void LibraryWindow::openCurrentTest() {
  const LibraryTestEntry* test = testModel_->testAt(tests_->currentIndex().row());
  if (test == nullptr) return;
  const LibraryTestEntry chosen = *test;  // the list may be read again while the file opens
  emit openRequested(chosen);
}

void LibraryWindow::compareSelected() {
  std::vector<LibraryTestEntry> tests = selectedTests();
  if (tests.empty())
    if (const LibraryTestEntry* test = testModel_->testAt(tests_->currentIndex().row())) tests.push_back(*test);
  if (tests.empty()) return;
  if (!session_.isServer()) {
    compare_->addTests(tests);
    pages_->setCurrentWidget(compare_);
    return;
  }
  // A server library names files by computer: each test's bytes come from its file when it is one of this
  // computer's that still holds them, otherwise from the library.
  auto files = std::make_shared<std::vector<ComparedFile>>();
  for (const LibraryTestEntry& test : tests) files->push_back({test, std::nullopt, {}});
  session_.read(
      compare_,
      [files](LibraryService& library) {
        for (ComparedFile& file : *files) {
          const std::string local = library.localPathOf(file.test.path);
          std::string bytes;
          FileStamp stamp;
          std::error_code error;
          if (!local.empty() && readFileBytes(local, bytes, stamp, error) &&
              contentHash(bytes) == file.test.contentHash) {
            file.bytes = std::move(bytes);
            continue;
          }
          std::optional<std::string> kept;
          if (LibraryStatus status = library.backend().fileBytes(file.test.contentHash, kept); !status.ok())
            return status;
          if (kept && contentHash(*kept) == file.test.contentHash)
            file.bytes = std::move(*kept);
          else
            file.problem = "the library keeps no file of this test";
        }
        return LibraryStatus::success();
      },
      [this, files](const LibraryStatus& status) {
        if (!status.ok())
          for (ComparedFile& file : *files)
            if (!file.bytes && file.problem.empty()) file.problem = status.message;
        compare_->addFiles(*files);
        pages_->setCurrentWidget(compare_);
      });
}

void LibraryWindow::reload() {
  trend_->reload();
  subjectModel_->reload([this] {
    if (!subject_) return;
    const int row = subjectModel_->rowOfKey(subject_->key);
    if (row >= 0) {
      const QSignalBlocker blocker(subjects_->selectionModel());
      subjects_->setCurrentIndex(subjectModel_->index(row, 0));
      subject_ = *subjectModel_->subjectAt(row);
    }
    testModel_->reload([this] {
      showMetricColumns();
      const bool any = testModel_->rowCount() > 0;
      openButton_->setEnabled(any);
      compareButton_->setEnabled(any);
    });
    trend_->setSubject(subject_);
  });
}

void LibraryWindow::showMetricColumns() {
  // Only the key metrics of the kinds of test the subject has: a jumper's list has no force columns.
  bool power = false, force = false;
  for (int row = 0; row < testModel_->rowCount(); ++row) {
    const LibraryTestEntry* test = testModel_->testAt(row);
    (test->kind == TestKind::Power ? power : force) = true;
  }
  if (!power && !force) power = force = true;
  for (int c = TestListModel::Jump; c < TestListModel::File; ++c)
    tests_->setColumnHidden(c, !(TestListModel::isPowerColumn(c) ? power : force));
}

bool LibraryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tests_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      openCurrentTest();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace velkora
