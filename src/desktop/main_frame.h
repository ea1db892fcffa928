#pragma once
// The main window: menu, toolbar, status bar, the dialog-bar slot and the view. Every command goes
// through sendCommand by its id; the frame runs the file, subject, setup and axes commands itself
// and the view registers the rest.

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "acquisition/measurement_store.h"
#include "acquisition/plate_presence.h"
#include "model/shared_records.h"
#include "reports/interval_list.h"

class QAction;
class QLabel;
class QMenu;
class QShortcut;
class QSocketNotifier;
class QVBoxLayout;

namespace velkora {

class CVelkoraView;
class DialogBar;
class ExerciseController;
class RecentFileList;
class SimulatedPlateMenu;
class SimulatedTransportFactory;

class CMainFrame final : public QMainWindow {
  Q_OBJECT

 public:
  CMainFrame(SharedRecords records, RecentFileList& recentFiles, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // The action of a menu or toolbar command; nullptr for an id without one.
  QAction* action(int32_t id) const;
  CVelkoraView* view() const { return view_; }
  // The status bar's body weight field; hidden when the recording is no power test.
  QLabel* bodyWeightField() const { return bodyWeightField_; }
  // The status bar's plate field: "Simulated plate", "Plate: COM2" for a serial port, or the USB
  // plate as `presence` finds it ("Plate: /dev/ttyUSB0", "Plate: not found"), followed through the
  // descriptor of its event source with the event loop: nothing is polled while nothing happens. The
  // test commands never depend on it: without a plate they say "Error in communication".
  void watchPlate(PlateConnection connection, std::unique_ptr<PlatePresence> presence);
  QLabel* plateField() const { return plateField_; }

  // Runs a command as the menu would, whether or not its action is enabled now. False when
  // nothing handles the id, or when a test runs and the command is one it forbids.
  bool sendCommand(int32_t id);
  // Makes `run` the handler of a command; `enabled` (optional) decides when its action is usable.
  // A command without a handler stays disabled.
  void route(int32_t id, std::function<void()> run, std::function<bool()> enabled = {});
  // Enables and disables the actions by their rules; called after every command.
  void updateCommandStates();
  // Whether a test runs now: while it does, new tests, the check readout, calibration, the file
  // commands and the reports are disabled and refused, and Escape is STOP.
  void setTestRunning(std::function<bool()> running) { testRunning_ = std::move(running); }
  bool testRunning() const { return testRunning_ && testRunning_(); }

  // The plate's commands (Perform, Power perform, Check, Calibration, STOP) go to `exercises`, and the
  // frame and its view follow the running test it announces.
  void attachExercises(ExerciseController& exercises);

  // The program runs on the simulated plate: the "Simulated plate" menu, and a title that says so.
  void showSimulatedPlate(SimulatedTransportFactory& simulation);
  SimulatedPlateMenu* simulatedPlateMenu() const { return plateMenu_; }

  // The dialog-bar slot: one strip at a time, or none.
  void hideBar();
  void showCurveBar();
  void showReportBar(const IntervalList& entries);
  void showRepetitionBar();
  void showStopBar();
  // Copy, Copy All and Export csv for a report without intervals (the metrics).
  void showMetricsBar();
  DialogBar* dialogBar() const { return bar_; }
  int32_t shownBar() const;
  int32_t currentSelection(int32_t controlId) const;
  void fillList(int32_t controlId, const std::vector<std::string_view>& texts, int32_t selected);

  // File commands. openFile opens a given file as the kind of test its name says (a ".tsr" name in
  // any letter case is a power test), without asking for a file name; false when it did not load.
  // The path's bytes are the file's name as the system has it.
  void openMeasurement(TestKind kind);
  bool openFile(const QString& path);
  bool openFile(const std::string& path);
  bool save();
  // Opens a file another window chose (the library's list) the way a recent file opens: the
  // unsaved-data question first. Refused while a test runs; false when it did not load.
  bool openChosenFile(const std::string& path);

  // The unsaved-data question of the file commands and the test starts: Yes runs Save.
  void askToSaveUnsaved();

  // The start sound the force test plays; the application object provides it.
  void setStartSound(std::function<void()> play) { playStartSound_ = std::move(play); }
  void playStartSound() {
    if (playStartSound_) playStartSound_();
  }

 signals:
  // A measurement file was opened or saved (its path's bytes as the system has them), so the
  // subject library can index it.
  void measurementOpened(const std::string& path, velkora::TestKind kind);
  void measurementSaved(const std::string& path, velkora::TestKind kind);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Route {
    std::function<void()> run;
    std::function<bool()> enabled;
  };

  void createActions();
  void createMenus();
  void createToolBar();
  void createStatusBar();
  // The status bar's fields that follow the recording: the body weight of a power test.
  void updateStatusFields();
  void routeFrameCommands();
  void rebuildRecentFileMenu();
  void showBar(int32_t templateId);
  void subjectInfo();
  void graphSetup();
  void setup();
  void about();

  SharedRecords records_;
  RecentFileList& recentFiles_;
  std::map<int32_t, QAction*> actions_;
  std::map<int32_t, Route> routes_;
  QMenu* fileMenu_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  std::vector<QAction*> recentActions_;
  QVBoxLayout* barSlot_ = nullptr;
  DialogBar* bar_ = nullptr;
  CVelkoraView* view_ = nullptr;
  SimulatedPlateMenu* plateMenu_ = nullptr;
  QShortcut* stopKey_ = nullptr;
  QLabel* bodyWeightField_ = nullptr;
  QLabel* plateField_ = nullptr;
  PlateConnection plateConnection_ = PlateConnection::Usb;
  std::unique_ptr<PlatePresence> platePresence_;
  QSocketNotifier* plateEvents_ = nullptr;
  std::function<void()> playStartSound_;
  std::function<bool()> testRunning_;
};

}  // namespace velkora
