#include "desktop/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "acquisition/power_exercise.h"
#include "app/measurement_use_cases.h"
#include "app/recovery.h"
#include "desktop/command_table.h"
#include "desktop/dialog_bar.h"
#include "desktop/dialogs/about_dlg.h"
#include "desktop/dialogs/comm_dlg.h"
#include "desktop/dialogs/subject_dlg.h"
#include "desktop/dialogs/yaxes_dlg.h"
#include "desktop/exercise_controller.h"
#include "desktop/file_dialogs.h"
#include "desktop/message_box.h"
#include "desktop/recent_files.h"
#include "desktop/resources_init.h"
#include "desktop/simulated_plate_menu.h"
#include "desktop/user_guide.h"
#include "desktop/velkora_doc.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"
#include "model/messages.h"
#include "storage/measurement_file.h"
#include "view/view_state.h"

namespace velkora {
namespace {

std::string toStdString(const QString& text) { return text.toUtf8().toStdString(); }

// The menus, top to bottom; 0 is a separator and kRecentFiles marks where the recent files go. Every
// menu opens with Alt and its underlined letter, and no two entries of a menu share one.
constexpr int32_t kRecentFiles = -1;

struct MenuEntry {
  const char* title;
  std::vector<int32_t> items;
};

const std::vector<MenuEntry>& menuLayout() {
  static const std::vector<MenuEntry> menus = {
      {"&File",
       {cmd::kOpenForce, cmd::kOpenPower, cmd::kSave, 0, cmd::kLibrary, 0, cmd::kPrint, cmd::kPrintPreview,
        cmd::kPrintSetup, 0, kRecentFiles, cmd::kExit}},
      {"&Subject", {cmd::kSubjectInfo}},
      {"&Exercise", {cmd::kPerform, cmd::kPowerPerform, cmd::kCheck}},
      {"&Report",
       {cmd::kDigitalReport, cmd::kCurveGraph, cmd::kBarGraph, cmd::kRepetitionReport, cmd::kSummaryReport,
        cmd::kHeightReport, cmd::kMetricsReport}},
      {"&View", {cmd::kShowPhases}},
      {"Se&tup", {cmd::kSetup, cmd::kGraphSetup, cmd::kLibrarySetup}},
      {"&Calibration", {cmd::kCalibration}},
      {"&About", {cmd::kUserGuide, 0, cmd::kAbout}},
  };
  return menus;
}

// What a running test forbids: another test, the check readout and calibration (they need the
// plate), the file commands and the reports (they read the recording being written).
bool refusedWhileTestRuns(int32_t id) {
  switch (id) {
    case cmd::kPerform:
    case cmd::kPowerPerform:
    case cmd::kCheck:
    case cmd::kCalibration:
    case cmd::kOpenForce:
    case cmd::kOpenPower:
    case cmd::kSave:
    case cmd::kPrint:
    case cmd::kPrintPreview:
    case cmd::kPrintSetup:
    case cmd::kDigitalReport:
    case cmd::kCurveGraph:
    case cmd::kBarGraph:
    case cmd::kRepetitionReport:
    case cmd::kSummaryReport:
    case cmd::kHeightReport:
    case cmd::kMetricsReport:
    case cmd::kResetView:
      return true;
    default:
      return false;
  }
}

}  // namespace

CMainFrame::CMainFrame(SharedRecords records, RecentFileList& recentFiles, QWidget* parent)
    : QMainWindow(parent), records_(records), recentFiles_(recentFiles) {
  initResources();
  setWindowTitle(CVelkoraDoc().windowTitle());
  setWindowIcon(QIcon(QStringLiteral(":/icons/velkora.svg")));
  setAccessibleName(windowTitle());

  createActions();
  createMenus();
  createToolBar();
  createStatusBar();

  // The dialog-bar slot above the view.
  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  barSlot_ = new QVBoxLayout();
  barSlot_->setContentsMargins(0, 0, 0, 0);
  column->addLayout(barSlot_);
  view_ = new CVelkoraView(records_, *this, central);
  column->addWidget(view_, 1);
  setCentralWidget(central);

  routeFrameCommands();
  updateCommandStates();
  resize(900, 620);

  // Escape is STOP while a test runs; otherwise the key is left to the widgets.
  stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  stopKey_->setEnabled(false);
  connect(stopKey_, &QShortcut::activated, this, [this] {
    if (testRunning()) sendCommand(cmd::kStop);
  });
}

CMainFrame::~CMainFrame() {
  // The notifier goes before the event source whose descriptor it watches.
  delete plateEvents_;
}

void CMainFrame::createActions() {
  for (const CommandEntry& entry : commandTable()) {
    auto* act = new QAction(QString::fromUtf8(entry.text), this);
    if (*entry.icon != '\0') act->setIcon(QIcon(QString::fromUtf8(entry.icon)));
    if (*entry.shortcut != '\0') act->setShortcut(QKeySequence(QString::fromUtf8(entry.shortcut)));
    act->setStatusTip(QString::fromUtf8(entry.prompt));
    act->setToolTip(QString::fromUtf8(entry.tooltip));
    act->setData(entry.id);
    const int32_t id = entry.id;
    connect(act, &QAction::triggered, this, [this, id] { sendCommand(id); });
    actions_[id] = act;
  }
}

void CMainFrame::createMenus() {
  for (const MenuEntry& entry : menuLayout()) {
    QMenu* menu = menuBar()->addMenu(QString::fromUtf8(entry.title));
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateCommandStates);
    for (int32_t id : entry.items) {
      if (id == 0) {
        menu->addSeparator();
      } else if (id == kRecentFiles) {
        fileMenu_ = menu;
        recentSeparator_ = menu->addSeparator();
      } else {
        menu->addAction(actions_.at(id));
      }
    }
  }
  rebuildRecentFileMenu();
}

void CMainFrame::createToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Standard"));
  bar->setObjectName(QStringLiteral("standardToolBar"));
  bar->setAccessibleName(QStringLiteral("Toolbar"));
  bar->setIconSize(QSize(19, 17));
  for (int32_t id : toolbarLayout()) {
    if (id == 0)
      bar->addSeparator();
    else
      bar->addAction(actions_.at(id));
  }
}

void CMainFrame::createStatusBar() {
  // The idle text; a hovered command's prompt covers it while it shows.
  auto* ready = new QLabel(QStringLiteral("Ready"), this);
  ready->setAccessibleName(QStringLiteral("Ready"));
  statusBar()->addWidget(ready, 1);
  statusBar()->setAccessibleName(QStringLiteral("Status bar"));
  // Permanent fields stay when a prompt covers the message pane.
  bodyWeightField_ = new QLabel(this);
  bodyWeightField_->setAccessibleName(QStringLiteral("Body weight"));
  bodyWeightField_->hide();
  statusBar()->addPermanentWidget(bodyWeightField_);
  plateField_ = new QLabel(this);
  plateField_->setAccessibleName(QStringLiteral("Plate"));
  statusBar()->addPermanentWidget(plateField_);
}

void CMainFrame::updateStatusFields() {
  if (bodyWeightField_ == nullptr) return;
  const std::string weight = recordingBodyWeightText(records_.store, testRunning());
  bodyWeightField_->setText(QString::fromStdString(weight));
  bodyWeightField_->setVisible(!weight.empty());
  const std::optional<std::string> none;
  plateField_->setText(QString::fromStdString(
      plateStatusText(plateConnection_, platePresence_ ? platePresence_->device() : none, records_.app.portIndex)));
}

void CMainFrame::watchPlate(PlateConnection connection, std::unique_ptr<PlatePresence> presence) {
  delete plateEvents_;
  plateEvents_ = nullptr;
  plateConnection_ = connection;
  platePresence_ = std::move(presence);
  if (platePresence_ && platePresence_->fileDescriptor() >= 0) {
    plateEvents_ = new QSocketNotifier(platePresence_->fileDescriptor(), QSocketNotifier::Read, this);
    connect(plateEvents_, &QSocketNotifier::activated, this, [this] {
      if (platePresence_->handleEvents()) updateStatusFields();
    });
  }
  updateStatusFields();
}

void CMainFrame::routeFrameCommands() {
  route(cmd::kOpenForce, [this] { openMeasurement(TestKind::Force); });
  route(cmd::kOpenPower, [this] { openMeasurement(TestKind::Power); });
  route(cmd::kSave, [this] { save(); });
  route(cmd::kExit, [this] { close(); });
  route(cmd::kSubjectInfo, [this] { subjectInfo(); });
  route(cmd::kGraphSetup, [this] { graphSetup(); });
  route(cmd::kSetup, [this] { setup(); });
  route(cmd::kAbout, [this] { about(); });
  route(cmd::kUserGuide, [this] { showUserGuide(this, records_.paths.programDirectory); });
}

QAction* CMainFrame::action(int32_t id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

bool CMainFrame::sendCommand(int32_t id) {
  const auto it = routes_.find(id);
  if (it == routes_.end()) return false;
  if (refusedWhileTestRuns(id) && testRunning()) return false;
  // A copy: the handler may replace routes while it runs.
  const std::function<void()> run = it->second.run;
  run();
  updateCommandStates();
  return true;
}

void CMainFrame::route(int32_t id, std::function<void()> run, std::function<bool()> enabled) {
  routes_[id] = Route{std::move(run), std::move(enabled)};
  updateCommandStates();
}

void CMainFrame::updateCommandStates() {
  const bool testing = testRunning();
  for (auto& [id, act] : actions_) {
    const auto it = routes_.find(id);
    act->setEnabled(it != routes_.end() && !(testing && refusedWhileTestRuns(id)) &&
                    (!it->second.enabled || it->second.enabled()));
  }
  for (QAction* recent : recentActions_) recent->setEnabled(!testing);
  if (stopKey_ != nullptr) stopKey_->setEnabled(testing);
  updateStatusFields();
}

void CMainFrame::attachExercises(ExerciseController& exercises) {
  route(cmd::kPerform, [&exercises] { exercises.perform(); });
  route(cmd::kPowerPerform, [&exercises] { exercises.powerPerform(); });
  route(cmd::kCheck, [&exercises] { exercises.check(); });
  route(cmd::kCalibration, [&exercises] { exercises.calibration(); });
  route(
      cmd::kStop, [&exercises] { exercises.stop(); }, [&exercises] { return exercises.testRunning(); });
  setTestRunning([&exercises] { return exercises.testRunning(); });

  connect(&exercises, &ExerciseController::startRequested, this, &CMainFrame::askToSaveUnsaved);
  // The view first: it shows the live display before the stop bar takes the bar's slot.
  connect(&exercises, &ExerciseController::started, view_,
          [this](TestKind kind, int32_t seconds, bool) { view_->onTestStarted(kind, seconds); });
  connect(&exercises, &ExerciseController::started, this, [this](TestKind kind, int32_t, bool) {
    showStopBar();
    if (kind == TestKind::Force) playStartSound();
    updateCommandStates();
  });
  connect(&exercises, &ExerciseController::ticked, view_, &CVelkoraView::drawLiveTick);
  connect(&exercises, &ExerciseController::ended, view_, &CVelkoraView::onTestEnded);
  connect(&exercises, &ExerciseController::ended, this, [this](TestEnd end, bool) {
    updateCommandStates();
    if (end == TestEnd::PlateLost) showMessageBox(this, msg::kErrorInCommunication);
  });
}

void CMainFrame::showSimulatedPlate(SimulatedTransportFactory& simulation) {
  if (plateMenu_ != nullptr) return;
  setWindowTitle(CVelkoraDoc().windowTitle() + QStringLiteral(" (simulated plate)"));
  setAccessibleName(windowTitle());
  plateMenu_ = new SimulatedPlateMenu(simulation, this);
  // Beside the Calibration menu, before About.
  const QList<QAction*> menus = menuBar()->actions();
  menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.back(), plateMenu_->menu());
}

void CMainFrame::hideBar() {
  if (bar_ == nullptr) return;
  bar_->hide();
  barSlot_->removeWidget(bar_);
  // Later: the bar may be hidden by one of its own buttons.
  bar_->deleteLater();
  bar_ = nullptr;
}

void CMainFrame::showBar(int32_t templateId) {
  hideBar();
  bar_ = new DialogBar(templateId, centralWidget());
  connect(bar_, &DialogBar::command, this, [this](int32_t id) { sendCommand(id); });
  connect(bar_, &DialogBar::selectionChanged, view_, &CVelkoraView::onListSelection);
  barSlot_->addWidget(bar_);
  bar_->show();
}

void CMainFrame::showCurveBar() {
  showBar(cmd::kCurveBar);
  const std::vector<std::string_view> entries = curveParameterEntries(records_.store.testKind);
  bar_->fillList(cmd::kY1List, entries, records_.graph.y1Parameter);
  bar_->fillList(cmd::kY2List, entries, records_.graph.y2Parameter);
}

void CMainFrame::showReportBar(const IntervalList& entries) {
  showBar(cmd::kReportBar);
  bar_->setIntervals(entries);
}

void CMainFrame::showRepetitionBar() { showBar(cmd::kRepetitionBar); }

void CMainFrame::showStopBar() { showBar(cmd::kStopBar); }

void CMainFrame::showMetricsBar() { showBar(cmd::kMetricsBar); }

int32_t CMainFrame::shownBar() const { return bar_ == nullptr ? 0 : bar_->templateId(); }

int32_t CMainFrame::currentSelection(int32_t controlId) const {
  return bar_ == nullptr ? -1 : bar_->currentSelection(controlId);
}

void CMainFrame::fillList(int32_t controlId, const std::vector<std::string_view>& texts, int32_t selected) {
  if (bar_ != nullptr) bar_->fillList(controlId, texts, selected);
}

void CMainFrame::askToSaveUnsaved() {
  if (!hasUnsavedTake(records_.store)) return;
  if (askQuestion(this, msg::kDataNotSaved) == Answer::Yes) save();
}

void CMainFrame::openMeasurement(TestKind kind) {
  askToSaveUnsaved();
  records_.paths.currentFilePath.clear();
  const bool power = kind == TestKind::Power;
  const QString path = askOpenFileName(this, power ? kPowerFileFilter : kForceFileFilter,
                                       power ? kPowerFileExtension : kForceFileExtension,
                                       QString::fromStdString(records_.paths.dataFolder));
  if (path.isEmpty()) return;
  openFile(path);
}

bool CMainFrame::openFile(const QString& path) { return openFile(toStdString(path)); }

bool CMainFrame::openFile(const std::string& path) {
  // The file's name says its kind, whichever Open command found it.
  const TestKind kind = testKindForPath(path);
  // The messages wait until the wait cursor is gone.
  CollectingMessageSink messages;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const bool loaded = velkora::openMeasurement(records_, path, kind, messages);
  QGuiApplication::restoreOverrideCursor();
  for (const std::string& text : messages.messages) showMessageBox(this, text);
  if (!loaded) {
    updateCommandStates();
    return false;
  }
  records_.store.recordingAvailable.store(1, std::memory_order_release);
  recentFiles_.add(path);
  rebuildRecentFileMenu();
  // The loaded recording is always shown first as the whole curve graph.
  sendCommand(cmd::kResetView);
  sendCommand(cmd::kCurveGraph);
  emit measurementOpened(path, kind);
  return true;
}

bool CMainFrame::openChosenFile(const std::string& path) {
  if (testRunning()) return false;
  askToSaveUnsaved();
  records_.paths.currentFilePath.clear();
  return openFile(path);
}

bool CMainFrame::save() {
  const bool power = records_.store.testKind == TestKind::Power;
  const QString path = askSaveFileName(
      this, power ? kPowerFileFilter : kForceFileFilter, power ? kPowerFileExtension : kForceFileExtension,
      QString::fromStdString(records_.paths.dataFolder), QString::fromStdString(records_.paths.currentFilePath));
  if (path.isEmpty()) return false;
  MessageBoxSink messages(this);
  const std::string file = toStdString(path);
  if (!saveMeasurement(records_, file, messages)) return false;
  recentFiles_.add(path);
  rebuildRecentFileMenu();
  emit measurementSaved(file, records_.store.testKind);
  return true;
}

void CMainFrame::rebuildRecentFileMenu() {
  if (fileMenu_ == nullptr) return;
  for (QAction* old : recentActions_) {
    fileMenu_->removeAction(old);
    old->deleteLater();
  }
  recentActions_.clear();
  const QStringList& files = recentFiles_.files();
  for (int i = 0; i < files.size(); ++i) {
    const QString file = files[i];
    auto* act = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(file), this);
    act->setStatusTip(QStringLiteral("Open this document"));
    connect(act, &QAction::triggered, this, [this, file] {
      if (!openChosenFile(toStdString(file)) && !QFileInfo::exists(file)) {
        recentFiles_.remove(file);
        rebuildRecentFileMenu();
      }
    });
    fileMenu_->insertAction(recentSeparator_, act);
    recentActions_.push_back(act);
  }
  // The separator before Exit shows only under recent files.
  recentSeparator_->setVisible(!files.isEmpty());
}

void CMainFrame::subjectInfo() {
  CSubjectDlg dialog(records_.subject, this);
  dialog.exec();
}

void CMainFrame::graphSetup() {
  CYaxesDlg dialog(records_.graph, this);
  dialog.exec();
  // Whatever the dialog returned, the graphs are drawn again.
  view_->invalidate(Repaint::Whole);
  update();
}

void CMainFrame::setup() {
  CCommDlg dialog(records_.app, this);
  dialog.exec();
}

void CMainFrame::about() {
  CAboutDlg dialog(this);
  dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A running test ends first, as STOP ends it: what is saved then is what was recorded, and the
  // reader no longer writes it.
  if (testRunning()) sendCommand(cmd::kStop);
  // Closing would lose an unsaved recording: ask, and stay open unless it was saved or let go.
  if (hasUnsavedTake(records_.store)) {
    switch (askQuestion(this, msg::kDataNotSaved, true)) {
      case Answer::Yes:
        if (!save()) {
          event->ignore();
          return;
        }
        break;
      case Answer::No:
        break;
      case Answer::Cancel:
        event->ignore();
        return;
    }
  }
  event->accept();
}

}  // namespace velkora
