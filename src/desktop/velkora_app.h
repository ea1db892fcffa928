#pragma once
// The application object: start-up in its fixed order (paths, start sound, configuration, number
// format, data folder, main window) and the configuration written back at exit.

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "acquisition/simulation_option.h"
#include "app/paths.h"
#include "desktop/command_line.h"
#include "desktop/exercise_controller.h"
#include "model/shared_records.h"

namespace velkora {

class CMainFrame;
class DesktopLibrary;
class RecentFileList;
class StartSound;

// Where the program finds itself and the user's places; tests give their own.
struct AppEnvironment {
  std::string executablePath;
  UserLocations user;
  QString recentFilesPath;  // the settings file of the recent-file list (and of the window's other choices)
  // How often the window tries a server library again and sends the tests waiting for it.
  int libraryRetryMs = 30000;
};

// The running program's environment: its own file and the platform's per-user folders.
AppEnvironment systemEnvironment();

class CVelkoraApp final : public QObject {
  Q_OBJECT

 public:
  CVelkoraApp(SharedRecords records, AppEnvironment environment, QObject* parent = nullptr);
  ~CVelkoraApp() override;

  // Prepares everything and shows the main window; a FILE of the command line is opened after it.
  bool initInstance(const StartOptions& options);
  // Writes the configuration; once, however often it is called.
  void exitInstance();
  // Writes the configuration now (a failed write is silent, as at exit).
  void writeConfiguration();
  // The program is ended from outside (SIGTERM, SIGINT, SIGHUP, or a logout the desktop session
  // announces): a running test stops as STOP stops it, an unsaved take goes to a recovery file in the
  // DATA folder (named at the next start), and the configuration is written. Returns the recovery
  // file's path; empty when nothing needed saving. The window stays usable if the session goes on.
  std::string saveBeforeTermination();

  CMainFrame* mainFrame() const { return frame_.get(); }
  // The plate and the tests on it; null before start-up.
  ExerciseController* tests() const { return tests_; }
  // The plate the tests record from: the simulated plate when the command line asked for it.
  const SimulationOption& simulation() const { return simulation_; }
  // The subject library of the window; null before start-up.
  DesktopLibrary* library() const { return library_; }
  void playStartSound();

 private:
  SharedRecords records_;
  AppEnvironment environment_;
  SimulationOption simulation_;
  std::unique_ptr<RecentFileList> recentFiles_;
  StartSound* sound_;
  std::unique_ptr<CMainFrame> frame_;
  ExerciseController* tests_ = nullptr;  // a child of the main frame
  DesktopLibrary* library_ = nullptr;    // a child of the main frame
  bool started_ = false;
  bool exited_ = false;
};

}  // namespace velkora
