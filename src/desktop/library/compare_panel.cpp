#include "desktop/library/compare_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/library/library_graph_view.h"
#include "model/messages.h"
#include "model/subject_info.h"
#include "storage/measurement_file.h"

namespace velkora {

ComparePanel::ComparePanel(QPrinter& printer, QString exportFolder, QWidget* parent)
    : QWidget(parent),
      printer_(printer),
      exportFolder_(std::move(exportFolder)),
      store_(std::make_unique<MeasurementStore>()),
      chosen_(new QListWidget(this)),
      note_(new QLabel(this)),
      view_(new LibraryGraphView(this)),
      removeButton_(new QPushButton(QStringLiteral("Remove &from comparison"), this)),
      clearButton_(new QPushButton(QStringLiteral("C&lear"), this)),
      printButton_(new QPushButton(QStringLiteral("&Print..."), this)),
      exportButton_(new QPushButton(QStringLiteral("&Export..."), this)) {
  auto* column = new QVBoxLayout(this);
  auto* top = new QHBoxLayout();
  chosen_->setAccessibleName(QStringLiteral("Compared tests"));
  chosen_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  chosen_->setMaximumHeight(4 * chosen_->fontMetrics().height() + 12);
  top->addWidget(chosen_, 1);
  auto* buttons = new QVBoxLayout();
  for (QPushButton* b : {removeButton_, clearButton_, printButton_, exportButton_}) {
    b->setAccessibleName(b->text().remove(QLatin1Char('&')));
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  top->addLayout(buttons);
  column->addLayout(top);
  note_->setAccessibleName(QStringLiteral("Comparison note"));
  note_->setWordWrap(true);
  column->addWidget(note_);
  view_->setAccessibleName(QStringLiteral("Comparison graph"));
  column->addWidget(view_, 1);

  connect(removeButton_, &QPushButton::clicked, this, &ComparePanel::removeChosen);
  connect(clearButton_, &QPushButton::clicked, this, &ComparePanel::clear);
  connect(printButton_, &QPushButton::clicked, this, &ComparePanel::print);
  connect(exportButton_, &QPushButton::clicked, this, &ComparePanel::exportGraph);
  refresh();
}

ComparePanel::~ComparePanel() = default;

bool ComparePanel::roomFor(const LibraryTestEntry& test, QStringList& problems) const {
  if (std::find(testIds_.begin(), testIds_.end(), test.id) != testIds_.end()) return false;
  if (curves_.size() < static_cast<size_t>(kMaxComparedTests)) return true;
  const QString full = QStringLiteral("The comparison holds %1 tests at most.").arg(kMaxComparedTests);
  if (!problems.contains(full)) problems << full;
  return false;
}

void ComparePanel::addCurve(const LibraryTestEntry& test, const SubjectInfo& subject) {
  curves_.push_back(compareCurve(*store_, test.kind, compareLabel(subject.name, test.testTime)));
  testIds_.push_back(test.id);
  chosen_->addItem(QString::fromStdString(curves_.back().label));
}

int ComparePanel::addTests(const std::vector<LibraryTestEntry>& tests) {
  QStringList problems;
  int added = 0;
  for (const LibraryTestEntry& test : tests) {
    if (!roomFor(test, problems)) continue;
    SubjectInfo subject;
    CollectingMessageSink messages;
    std::error_code reason;
    if (!readMeasurementFile(test.path, test.kind, *store_, subject, messages, &reason)) {
      const QString file = QString::fromUtf8(test.path.data(), static_cast<qsizetype>(test.path.size()));
      problems << file + QStringLiteral(": ") +
                      QString::fromStdString(reason                      ? reason.message()
                                             : messages.messages.empty() ? std::string(msg::kErrorOpeningFile)
                                                                         : messages.messages.front());
      continue;
    }
    addCurve(test, subject);
    ++added;
  }
  refresh(problems.join(QLatin1Char('\n')));
  return added;
}

int ComparePanel::addFiles(const std::vector<ComparedFile>& files) {
  QStringList problems;
  int added = 0;
  for (const ComparedFile& file : files) {
    if (!roomFor(file.test, problems)) continue;
    std::string problem = file.problem;
    SubjectInfo subject;
    if (file.bytes) {
      auto record = std::make_unique<MeasurementRecord>();
      if (decodeMeasurement(*file.bytes, *record) == DecodeStatus::Ok) {
        applyMeasurement(*record, *store_, subject);
        store_->testKind = file.test.kind;
      } else {
        problem = msg::kIncompatibleData;
      }
    } else if (problem.empty()) {
      problem = msg::kErrorOpeningFile;
    }
    if (!problem.empty()) {
      problems << QString::fromUtf8(file.test.path.data(), static_cast<qsizetype>(file.test.path.size())) +
                      QStringLiteral(": ") + QString::fromStdString(problem);
      continue;
    }
    addCurve(file.test, subject);
    ++added;
  }
  refresh(problems.join(QLatin1Char('\n')));
  return added;
}

void ComparePanel::removeChosen() {
  std::vector<int> rows;
  for (const QListWidgetItem* item : chosen_->selectedItems()) rows.push_back(chosen_->row(item));
  std::sort(rows.rbegin(), rows.rend());
  for (int row : rows) {
    delete chosen_->takeItem(row);
    curves_.erase(curves_.begin() + row);
    testIds_.erase(testIds_.begin() + row);
  }
  refresh();
}

void ComparePanel::clear() {
  chosen_->clear();
  curves_.clear();
  testIds_.clear();
  refresh();
}

void ComparePanel::refresh(const QString& note) {
  const bool comparable = curves_.size() >= static_cast<size_t>(kMinComparedTests);
  QString text = note;
  if (!comparable)
    text += (text.isEmpty() ? QString() : QStringLiteral("\n")) +
            QStringLiteral("Choose 2 to %1 tests of any subjects on the Tests page and press Add to comparison.")
                .arg(kMaxComparedTests);
  note_->setText(text);
  if (curves_.empty()) {
    view_->setDrawing({});
  } else {
    const std::vector<CompareCurve> curves = curves_;
    view_->setDrawing([curves](DeviceContext& dc, const Rect& area) { drawCompareGraph(dc, area, curves); });
  }
  removeButton_->setEnabled(!curves_.empty());
  clearButton_->setEnabled(!curves_.empty());
  printButton_->setEnabled(comparable);
  exportButton_->setEnabled(comparable);
}

void ComparePanel::print() {
  if (curves_.size() >= static_cast<size_t>(kMinComparedTests))
    printLibraryGraphAsked(this, printer_, view_->drawing());
}

void ComparePanel::exportGraph() {
  if (curves_.size() >= static_cast<size_t>(kMinComparedTests))
    exportLibraryGraph(this, exportFolder_, view_->size(), view_->drawing());
}

}  // namespace velkora
