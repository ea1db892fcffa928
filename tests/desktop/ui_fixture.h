#pragma once
// A desktop program of its own for each ui test: its own shared records, program folder, user
// folders and recent-file list, and a script that answers the modal dialogs the test expects.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <clocale>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/measurement_store.h"
#include "app/paths.h"
#include "app/program_records.h"
#include "desktop/velkora_app.h"
#include "model/settings.h"
#include "model/shared_records.h"
#include "model/subject_info.h"
#include "storage/configuration_file.h"
#include "support/temp_dir.h"

namespace velkora::testing {

// Answers modal dialogs in the order they appear: each step gets the next modal widget.
class ModalScript {
 public:
  using Step = std::function<void(QWidget*)>;

  ModalScript() {
    active().push_back(this);
    timer_.setInterval(2);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }
  ~ModalScript() {
    timer_.stop();
    std::erase(active(), this);
  }

  ModalScript& then(Step step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  // Records a message box's text and presses one of its buttons.
  ModalScript& answer(QMessageBox::StandardButton button) {
    return then([this, button](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (box == nullptr) {
        unexpected.push_back(w->metaObject()->className());
        closeWidget(w);
        return;
      }
      messages.push_back(box->text().toStdString());
      box->button(button)->click();
    });
  }
  // Records a file dialog and chooses `path` in it, or cancels it when `path` is empty.
  ModalScript& chooseFile(const std::string& path) {
    return then([this, path](QWidget* w) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      if (dialog == nullptr) {
        unexpected.push_back(w->metaObject()->className());
        closeWidget(w);
        return;
      }
      fileDialogs.push_back(dialog->nameFilters().join(";;").toStdString() + "|" +
                            dialog->defaultSuffix().toStdString() + "|" +
                            dialog->directory().absolutePath().toStdString() + "|" + proposedName(dialog));
      if (path.empty()) {
        dialog->reject();
      } else {
        dialog->selectFile(QString::fromStdString(path));
        static_cast<QDialog*>(dialog)->accept();  // through the public slot
      }
    });
  }

  bool done() const { return steps_.empty(); }

  std::vector<std::string> messages;     // texts of the message boxes answered
  std::vector<std::string> fileDialogs;  // "filters|suffix|directory|proposed file" of each file dialog
  std::vector<std::string> unexpected;   // modal widgets that came when no step expected them

 private:
  // The file name the dialog offers in its name box.
  static std::string proposedName(QFileDialog* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    return edit == nullptr ? std::string("?") : edit->text().toStdString();
  }
  static void closeWidget(QWidget* w) {
    if (auto* d = qobject_cast<QDialog*>(w))
      d->reject();
    else
      w->close();
  }
  // Scripts nest: the newest one answers, an outer one (the fixture's) only catches what a test
  // did not expect, so no test waits for ever on a dialog.
  static std::vector<ModalScript*>& active() {
    static std::vector<ModalScript*> scripts;
    return scripts;
  }
  void poll() {
    if (active().empty() || active().back() != this) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last_) return;
    last_ = modal;
    if (steps_.empty()) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      unexpected.push_back(std::string(modal->metaObject()->className()) +
                           (box != nullptr ? ": " + box->text().toStdString() : std::string()));
      closeWidget(modal);
      return;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step(modal);
  }

  QTimer timer_;
  std::deque<Step> steps_;
  QPointer<QWidget> last_;
};

// Saves a picture of a widget into $VELKORA_GRAB_DIR when that is set, to look at what was built.
inline void saveGrab(QWidget& widget, const char* name) {
  const QByteArray dir = qgetenv("VELKORA_GRAB_DIR");
  if (dir.isEmpty()) return;
  widget.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QString::fromLatin1(name) + ".png");
}

// Runs the event loop until `condition` holds or `milliseconds` have passed.
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 2000) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// The shared records of one test program run, with short names for the tests.
struct Records {
  std::unique_ptr<ProgramRecords> program = std::make_unique<ProgramRecords>();
  MeasurementStore* store = &program->store;
  CalibrationSet& calibration = program->calibration;
  AppSettings& app = program->app;
  GraphSettings& graph = program->graph;
  SubjectInfo& subject = program->subject;
  ProgramPaths& paths = program->paths;
  Recording& checkRecording = program->checkRecording;
  Recording& weightRecording = program->weightRecording;
  Recording& calibrationRecording = program->calibrationRecording;
  SharedRecords shared() { return program->shared(); }
};

class UiFixture {
 public:
  UiFixture() {
    std::filesystem::create_directories(programDir());
    std::filesystem::create_directories(root.file("home/config"));
    std::filesystem::create_directories(root.file("home/Documents"));
  }
  ~UiFixture() {
    EXPECT_TRUE(unexpectedModals.unexpected.empty()) << unexpectedModals.unexpected.front();
    app.reset();
    std::setlocale(LC_NUMERIC, "C");
  }

  std::string programDir() const { return root.file("program"); }
  std::string configPath() const { return programDir() + "/velkora.cfg"; }
  std::string dataFolder() const { return programDir() + "/DATA"; }

  AppEnvironment environment(const std::string& executable = std::string()) const {
    AppEnvironment e;
    e.executablePath = executable.empty() ? programDir() + "/velkora" : executable;
    e.user.configDirectory = root.file("home/config");
    e.user.documentsDirectory = root.file("home/Documents");
    e.recentFilesPath = QString::fromStdString(root.file("home/config/velkora.ini"));
    e.libraryRetryMs = libraryRetryMs;
    return e;
  }

  // A plate's calibration, so start-up does not warn about an uncalibrated plate.
  static CalibrationSet calibratedPlate() {
    CalibrationSet c;
    c.coefficientVertical = 1.2f;
    c.coefficientHorizontal = 0.8f;
    return c;
  }
  // Writes a configuration of default settings and a calibrated plate beside the program, so
  // start-up shows no message.
  void writeDefaultConfiguration() const {
    saveConfiguration(configPath(), AppSettings{}, calibratedPlate(), GraphSettings{});
  }

  // Starts the program with a configuration in place; the main window is shown.
  CVelkoraApp& start(const StartOptions& options = StartOptions()) {
    writeDefaultConfiguration();
    return startAsIs(options);
  }
  CVelkoraApp& startAsIs(const StartOptions& options = StartOptions(), const std::string& executable = std::string()) {
    app = std::make_unique<CVelkoraApp>(records.shared(), environment(executable));
    app->initInstance(options);
    std::setlocale(LC_NUMERIC, "C");
    return *app;
  }

  ModalScript unexpectedModals;  // closes and records any dialog a test did not expect
  int libraryRetryMs = 30000;    // how often the window tries a server library again
  TempDir root;
  Records records;
  std::unique_ptr<CVelkoraApp> app;
};

}  // namespace velkora::testing
