#include "desktop/velkora_app.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>
#include <clocale>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "app/recovery.h"
#include "desktop/jump_feedback.h"
#include "desktop/library/desktop_library.h"
#include "desktop/library/library_choice.h"
#include "desktop/main_frame.h"
#include "desktop/message_box.h"
#include "desktop/recent_files.h"
#include "desktop/start_sound.h"
#include "desktop/velkora_view.h"
#include "desktop/view_preferences.h"
#include "model/messages.h"
#include "storage/configuration_file.h"

namespace velkora {

AppEnvironment systemEnvironment() {
  AppEnvironment environment;
  environment.executablePath = QCoreApplication::applicationFilePath().toUtf8().toStdString();
  const QString config =
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Velkora");
  environment.user.configDirectory = config.toUtf8().toStdString();
  environment.user.documentsDirectory =
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toUtf8().toStdString();
  environment.recentFilesPath = config + QStringLiteral("/velkora.ini");
  return environment;
}

CVelkoraApp::CVelkoraApp(SharedRecords records, AppEnvironment environment, QObject* parent)
    : QObject(parent), records_(records), environment_(std::move(environment)), sound_(new StartSound(this)) {}

CVelkoraApp::~CVelkoraApp() = default;

bool CVelkoraApp::initInstance(const StartOptions& options) {
  simulation_ = options.simulation;
  // The framework's profile: the recent-file list.
  recentFiles_ = std::make_unique<RecentFileList>(environment_.recentFilesPath);

  // Paths: beside the program, or the user's places when the program's folder is not writable.
  const std::string directory = programDirectoryOf(environment_.executablePath);
  records_.paths =
      resolveProgramPaths(environment_.executablePath, keepsFilesBesideProgram(directory), environment_.user);
  ensureDirectory(parentDirectoryOf(records_.paths.configPath));
  // The library of this run: --library, else the choice of Setup -> Library..., else the default file, which
  // keeps the outbox of a server library in any case.
  const std::string defaultLibrary = records_.paths.libraryPath;
  records_.paths.libraryPath =
      libraryOfRun(options.library, readLibraryChoice(environment_.recentFilesPath), defaultLibrary);

  sound_->load();

  // The configuration, with its messages shown before the main window exists.
  MessageBoxSink messages(nullptr);
  loadConfiguration(records_.paths.configPath, {records_.app, records_.calibration, records_.graph}, messages);

  // From here on numbers are written with the user's decimal mark.
  std::setlocale(LC_NUMERIC, "");

  // A data folder that cannot be made is not reported: the file dialogs then start elsewhere.
  ensureDirectory(records_.paths.dataFolder);

  // Takes saved on the way out of the last run: listed under File, and named once the window shows.
  const std::vector<std::string> recovered = takeRecoveredFiles(records_.paths);
  for (const std::string& file : recovered) recentFiles_->add(file);

  frame_ = std::make_unique<CMainFrame>(records_, *recentFiles_);
  frame_->setStartSound([this] { playStartSound(); });
  // The one plate link of the program, on the plate or on the simulated plate.
  auto plate = std::make_unique<ProgramPlate>(records_, simulation_);
  if (plate->system().simulated()) frame_->showSimulatedPlate(*plate->system().simulation());
  // The plate in the status bar: the USB plate followed through udev's device events.
  if (plate->system().simulated())
    frame_->watchPlate(PlateConnection::Simulated, nullptr);
  else if (plate->system().transport() != 0)
    frame_->watchPlate(PlateConnection::SerialPort, nullptr);
  else
    frame_->watchPlate(PlateConnection::Usb, std::make_unique<PlatePresence>(openUdevMonitor()));
  tests_ = new ExerciseController(records_, std::move(plate), *frame_);
  frame_->attachExercises(*tests_);
  new JumpFeedback(records_, *frame_, *tests_);
  frame_->view()->setShowPhases(readShowPhases(environment_.recentFilesPath));
  connect(frame_->view(), &CVelkoraView::showPhasesChanged, this,
          [path = environment_.recentFilesPath](bool show) { writeShowPhases(path, show); });
  frame_->show();
  // The subject library: opened now, its data folder scanned in the background.
  library_ = new DesktopLibrary(
      *frame_, {records_.paths.libraryPath, defaultLibrary, records_.paths.dataFolder, environment_.recentFilesPath},
      environment_.libraryRetryMs);
  library_->start();
  // The desktop session may end the program at a logout without another word: the take and the
  // configuration are kept as on a termination signal, and the configuration again at the exit itself.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { saveBeforeTermination(); });
  started_ = true;
  for (const std::string& file : recovered)
    showMessageBox(frame_.get(),
                   formatMessage(msg::kRecordingRecovered, std::filesystem::path(file).filename().string()));
  if (!options.file.empty()) frame_->openFile(options.file);
  return true;
}

void CVelkoraApp::exitInstance() {
  if (!started_ || exited_) return;
  exited_ = true;
  writeConfiguration();
}

void CVelkoraApp::writeConfiguration() {
  if (!started_) return;
  saveConfiguration(records_.paths.configPath, records_.app, records_.calibration, records_.graph);
}

std::string CVelkoraApp::saveBeforeTermination() {
  if (!started_) return {};
  if (tests_ != nullptr && tests_->testRunning()) tests_->stop();
  std::error_code error;
  const std::string path = saveRecoveryTake(records_, std::time(nullptr), &error);
  if (error) std::fprintf(stderr, "velkora: the recording could not be saved: %s\n", error.message().c_str());
  writeConfiguration();
  return path;
}

void CVelkoraApp::playStartSound() { sound_->play(); }

}  // namespace velkora
