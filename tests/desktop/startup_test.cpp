// Start-up and exit: paths, the configuration and its messages, the data folder, the command line,
// signals.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string_view>

#include "app/recovery.h"
#include "desktop/command_line.h"
#include "desktop/dialogs/comm_dlg.h"
#include "desktop/main_frame.h"
#include "desktop/measurement_files.h"
#include "desktop/signal_watcher.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"
#include "storage/measurement_file.h"

extern char** environ;

namespace velkora {
namespace {

using testing::ModalScript;
using testing::UiFixture;

bool sameSettings(const AppSettings& a, const CalibrationSet& c, const GraphSettings& g) {
  return encodeConfiguration(a, c, g) == encodeConfiguration(AppSettings{}, CalibrationSet{}, GraphSettings{});
}

TEST(StartUp, WithoutAConfigurationFileTheMessageComesFirstAndTheDefaultsStay) {
  UiFixture f;
  bool mainWindowExisted = true;
  ModalScript script;
  script.then([&](QWidget* box) {
    mainWindowExisted = f.app->mainFrame() != nullptr;
    static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    script.messages.push_back(static_cast<QMessageBox*>(box)->text().toStdString());
  });
  f.startAsIs();
  EXPECT_EQ(script.messages, std::vector<std::string>{"Error opening file 'velkora.cfg' make new calibration!"});
  EXPECT_FALSE(mainWindowExisted) << "the message is shown before the main window";
  ASSERT_NE(f.app->mainFrame(), nullptr);
  EXPECT_TRUE(f.app->mainFrame()->isVisible());
  EXPECT_EQ(f.app->mainFrame()->windowTitle().toStdString(), "Kestrane - velkora");
  EXPECT_TRUE(sameSettings(f.records.app, f.records.calibration, f.records.graph));
  EXPECT_TRUE(std::filesystem::is_directory(f.dataFolder()));
  EXPECT_EQ(f.records.paths.configPath, f.configPath());
  EXPECT_EQ(f.records.paths.dataFolder, f.dataFolder());
  EXPECT_EQ(f.records.paths.currentFilePath, "");
  EXPECT_FALSE(std::filesystem::exists(f.configPath()));

  f.app->exitInstance();
  EXPECT_EQ(testing::readFile(f.configPath()), encodeConfiguration(AppSettings{}, CalibrationSet{}, GraphSettings{}));
  // The configuration is written once, at the first exit.
  std::filesystem::remove(f.configPath());
  f.app->exitInstance();
  EXPECT_FALSE(std::filesystem::exists(f.configPath()));
}

TEST(StartUp, APortChosenInSetupIsStillChosenAfterARestart) {
  UiFixture f;
  f.start();
  {
    ModalScript script;
    script.then([](QWidget* w) {
      auto* dialog = static_cast<CCommDlg*>(w);
      EXPECT_EQ(dialog->windowTitle().toStdString(), "Setup");
      EXPECT_TRUE(dialog->control<QRadioButton>(CCommDlg::kFirstPort)->isChecked());
      dialog->control<QRadioButton>(1022)->click();
      dialog->control<QPushButton>(kIdOk)->click();
    });
    f.app->mainFrame()->action(cmd::kSetup)->trigger();
    EXPECT_TRUE(script.done());
  }
  EXPECT_EQ(f.records.app.portIndex, 2);
  f.app->exitInstance();
  f.app.reset();

  // A fresh program reads the choice back.
  f.records.app = AppSettings{};
  CVelkoraApp again(f.records.shared(), f.environment());
  again.initInstance(StartOptions());
  EXPECT_EQ(f.records.app.portIndex, 2);
  ModalScript script;
  script.then([](QWidget* w) {
    auto* dialog = static_cast<CCommDlg*>(w);
    EXPECT_TRUE(dialog->control<QRadioButton>(1022)->isChecked());
    dialog->control<QPushButton>(kIdCancel)->click();
  });
  again.mainFrame()->sendCommand(cmd::kSetup);
  EXPECT_TRUE(script.done());
}

TEST(StartUp, AProgramFolderThatCannotBeWrittenUsesThePerUserPlaces) {
  UiFixture f;
  // Nobody, not even the superuser, creates files in /proc.
  ModalScript script;
  script.answer(QMessageBox::Ok);
  f.startAsIs(StartOptions(), "/proc/self/velkora");
  EXPECT_EQ(script.messages, std::vector<std::string>{"Error opening file 'velkora.cfg' make new calibration!"});
  const std::string userConfig = f.root.file("home/config/velkora.cfg");
  const std::string userData = f.root.file("home/Documents/Velkora/DATA");
  EXPECT_EQ(f.records.paths.configPath, userConfig);
  EXPECT_EQ(f.records.paths.dataFolder, userData);
  EXPECT_TRUE(std::filesystem::is_directory(userData));
  f.records.app.startForce = 55;
  f.app->exitInstance();
  AppSettings read;
  CalibrationSet calibration;
  GraphSettings graph;
  CollectingMessageSink messages;
  ASSERT_TRUE(loadConfiguration(userConfig, {read, calibration, graph}, messages));
  EXPECT_EQ(read.startForce, 55);
}

TEST(StartUp, AFileOnTheCommandLineIsOpenedAsItsKindAndABadOneLeavesTheProgramEmpty) {
  // The name says the kind in any letter case, on the command line and in File → Open alike; the
  // name's bytes are kept as given, whatever they are.
  for (const char* name : {"jump.tsr", "JUMP.TSR", "up.Tsr", "bad\xff\xfename.tsr"}) {
    UiFixture f;
    auto recording = testing::powerRecording();
    StartOptions options;
    options.file = testing::saveRecording(*recording, f.root.file(name));
    f.start(options);
    EXPECT_EQ(f.records.store->testKind, TestKind::Power) << name;
    EXPECT_TRUE(f.records.store->jump.analysed) << name;
    EXPECT_EQ(f.records.store->sampleCount.load(), 3000) << name;
    EXPECT_EQ(f.records.subject.name, "Ana");
    EXPECT_EQ(f.app->mainFrame()->view()->state().displayMode, DisplayMode::CurveGraph) << name;
    EXPECT_EQ(f.records.paths.currentFilePath, options.file);
    f.records.store->testKind = TestKind::Force;
    EXPECT_TRUE(f.app->mainFrame()->openFile(options.file)) << name;
    EXPECT_EQ(f.records.store->testKind, TestKind::Power) << name;
    // The recent files list only names that open from there: none whose bytes a QString would change.
    for (QAction* item : f.app->mainFrame()->menuBar()->actions()[0]->menu()->actions()) {
      const QString text = item->text();
      if (text.size() > 3 && text.startsWith('&') && text.at(1).isDigit()) {
        EXPECT_TRUE(std::filesystem::exists(text.mid(3).toStdString())) << text.toStdString();
      }
    }
  }
  UiFixture f;
  testing::writeFile(f.root.file("bad.vkr"), std::string("\x0cVelkora_V1.0 and more bytes of a configuration"));
  StartOptions options;
  options.file = f.root.file("bad.vkr");
  ModalScript script;
  script.answer(QMessageBox::Ok);
  f.start(options);
  EXPECT_EQ(script.messages, std::vector<std::string>{"Incompatible data"});
  EXPECT_EQ(f.records.store->recordingAvailable.load(), 0);
  EXPECT_EQ(f.app->mainFrame()->view()->state().displayMode, DisplayMode::Empty);
  EXPECT_FALSE(f.app->mainFrame()->action(cmd::kDigitalReport)->isEnabled());
}

TEST(StartUp, CommandLine) {
  struct Case {
    std::vector<std::string> args;
    CommandLineResult result;
    bool simulated;
    std::string file;
  };
  const Case cases[] = {
      {{}, CommandLineResult::Run, false, ""},
      {{"--simulate"}, CommandLineResult::Run, true, ""},
      {{"--simulate=jump", "a/b.tsr"}, CommandLineResult::Run, true, "a/b.tsr"},
      {{"x.vkr"}, CommandLineResult::Run, false, "x.vkr"},
      {{"JUMP.TSR"}, CommandLineResult::Run, false, "JUMP.TSR"},
      {{"up.Tsr", "--simulate=,fast"}, CommandLineResult::Run, true, "up.Tsr"},
      {{"bad\xff\xfename.vkr"}, CommandLineResult::Run, false, "bad\xff\xfename.vkr"},
      {{"x.vkr", "--help"}, CommandLineResult::Help, false, ""},
      {{"--simulate=nonsense:1"}, CommandLineResult::UsageError, false, ""},
      {{"--simulation"}, CommandLineResult::UsageError, false, ""},
      {{"-v"}, CommandLineResult::UsageError, false, ""},
      {{"x.vkr", "y.vkr"}, CommandLineResult::UsageError, false, ""},
      {{"notes.txt"}, CommandLineResult::UsageError, false, ""},
      {{".vkr"}, CommandLineResult::UsageError, false, ""},
  };
  for (const Case& c : cases) {
    StartOptions options;
    std::string error;
    const std::string what = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(parseCommandLine(c.args, options, error), c.result) << what;
    if (c.result == CommandLineResult::UsageError) {
      EXPECT_FALSE(error.empty()) << what;
      continue;
    }
    if (c.result != CommandLineResult::Run) continue;
    EXPECT_EQ(options.simulation.given, c.simulated) << what;
    EXPECT_EQ(options.file, c.file) << what;
  }
  // The subject library, as one word or two; without a value it is a usage error, not a FILE.
  const std::pair<std::vector<std::string>, std::string> libraries[] = {
      {{"--library", "lib/x.sqlite", "a.tsr"}, "lib/x.sqlite"},
      {{"--library=y.sqlite"}, "y.sqlite"},
      {{"a.tsr", "--library", "postgresql://coach@db/velkora"}, "postgresql://coach@db/velkora"},
      {{"--library"}, ""},
      {{"--library", "--simulate"}, ""},
      {{"--library="}, ""},
  };
  for (const auto& [args, library] : libraries) {
    StartOptions options;
    std::string error;
    const CommandLineResult result = parseCommandLine(args, options, error);
    EXPECT_EQ(result, library.empty() ? CommandLineResult::UsageError : CommandLineResult::Run) << args.back();
    EXPECT_EQ(options.library, library) << args.back();
    if (library.empty()) {
      EXPECT_NE(error.find("--library"), std::string::npos) << error;
    }
  }
  EXPECT_NE(usageText().find("velkora [--simulate[=SCENARIO]] [--library LOCATION] [FILE]"), std::string::npos);
  // Every option the command line takes is listed.
  for (const char* option :
       {"--simulate[=SCENARIO]", "--library LOCATION ", "FILE ", "-h, --help", "unplug[:MS[:KG]]", ",fast"})
    EXPECT_NE(usageText().find(option), std::string::npos) << option;
}

// The real program as a process of its own, in a program folder of its own, driven by the window robot.
class WindowProcess {
 public:
  // `settings` ("NAME=value") replace the test's own environment's.
  WindowProcess(const testing::TempDir& root, const std::string& robot, const std::vector<std::string>& args,
                const std::vector<std::string>& settings = {})
      : root_(root) {
    std::filesystem::create_directories(root.file("home/config"));
    std::vector<std::string> environment;
    const auto replaced = [&settings](std::string_view setting) {
      return std::any_of(settings.begin(), settings.end(), [setting](const std::string& own) {
        return setting.substr(0, setting.find('=') + 1) == own.substr(0, own.find('=') + 1);
      });
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string_view setting(*entry);
      if (!setting.starts_with("HOME=") && !setting.starts_with("XDG_CONFIG_HOME=") &&
          !setting.starts_with("LD_PRELOAD=") && !setting.starts_with("VELKORA_ROBOT") && !replaced(setting))
        environment.emplace_back(setting);
    }
    environment.insert(environment.end(), settings.begin(), settings.end());
    environment.push_back("HOME=" + root.file("home"));
    environment.push_back("XDG_CONFIG_HOME=" + root.file("home/config"));
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    environment.push_back(std::string("LD_PRELOAD=") + VELKORA_ROBOT_PATH);
    environment.push_back("VELKORA_ROBOT=" + robot);
    environment.push_back("VELKORA_ROBOT_MARK=" + markPath());
    std::vector<char*> envp;
    for (std::string& setting : environment) envp.push_back(setting.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv{program()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp;
    for (std::string& arg : argv) argp.push_back(arg.data());
    argp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = root.file("velkora.log");
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~WindowProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  WindowProcess(const WindowProcess&) = delete;
  WindowProcess& operator=(const WindowProcess&) = delete;

  std::string program() const { return root_.file("program/velkora"); }
  std::string markPath() const { return root_.file("robot-done"); }
  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Whether the robot finished its task while the program runs.
  bool robotDone(int milliseconds) {
    testing::waitUntil([this] { return std::filesystem::exists(markPath()) || ended(); }, milliseconds);
    return std::filesystem::exists(markPath()) && !exited_;
  }
  // The exit status, or -1 when the program did not end in time (it is killed then).
  int waitForExit(int milliseconds) {
    if (!testing::waitUntil([this] { return ended(); }, milliseconds)) return -1;
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
  }

 private:
  bool ended() {
    if (!exited_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
    return exited_;
  }

  const testing::TempDir& root_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool exited_ = false;
};

// SIGTERM, SIGHUP and SIGINT end the real program with status 0 and the configuration written; a
// running test is stopped and its take, or a take nobody saved, goes to a recovery file in DATA, which
// the next start names once and offers under File.
TEST(StartUp, ASignalEndsTheProgramAndKeepsTheTakeForTheNextStart) {
  struct Case {
    int signal;
    const char* robot;
    const char* simulate;
    bool take;
  };
  const Case cases[] = {{SIGTERM, "running", "--simulate", true},
                        {SIGHUP, "finished", "--simulate=,fast", true},
                        {SIGINT, "idle", "--simulate", false}};
  for (const Case& c : cases) {
    testing::TempDir root;
    std::filesystem::create_directories(root.file("program"));
    std::filesystem::copy_file(VELKORA_PATH, root.file("program/velkora"));
    const std::string config = root.file("program/velkora.cfg");
    saveConfiguration(config, AppSettings{}, UiFixture::calibratedPlate(), GraphSettings{});
    {
      WindowProcess window(root, c.robot, {c.simulate});
      ASSERT_TRUE(window.started());
      ASSERT_TRUE(window.robotDone(15000)) << c.robot << ": " << testing::readFile(root.file("velkora.log"));
      if (c.signal == SIGTERM) QTest::qWait(600);  // some samples
      // The configuration is written on the way out.
      std::filesystem::remove(config);
      ::kill(window.pid(), c.signal);
      EXPECT_EQ(window.waitForExit(10000), 0) << c.robot << ": " << testing::readFile(root.file("velkora.log"));
    }
    EXPECT_TRUE(std::filesystem::exists(config)) << c.robot;
    std::vector<std::string> recovered;
    if (std::filesystem::exists(root.file("program/DATA"))) {
      for (const auto& entry : std::filesystem::directory_iterator(root.file("program/DATA")))
        recovered.push_back(entry.path().string());
    }
    ASSERT_EQ(recovered.size(), c.take ? 1u : 0u) << c.robot;
    if (c.take) {
      const std::string name = std::filesystem::path(recovered[0]).filename().string();
      EXPECT_TRUE(QRegularExpression(QStringLiteral("^recovered-\\d{8}-\\d{6}\\.vkr$"))
                      .match(QString::fromStdString(name))
                      .hasMatch())
          << name;
      auto take = std::make_unique<MeasurementRecord>();
      ASSERT_EQ(decodeMeasurement(testing::readFile(recovered[0]), *take), DecodeStatus::Ok);
      if (c.signal == SIGTERM) {
        EXPECT_GT(take->sampleCount, 300) << "what the running test recorded";
        EXPECT_LT(take->sampleCount, 10000);
      } else {
        EXPECT_EQ(take->sampleCount, 1000) << "the finished test";
      }
    }

    // The next start says so (once: the note is gone then), and the file opens like any other.
    testing::Records records;
    AppEnvironment environment;
    environment.executablePath = root.file("program/velkora");
    environment.user.configDirectory = root.file("home/config/Velkora");
    environment.recentFilesPath = QString::fromStdString(root.file("home/config/Velkora/velkora.ini"));
    ModalScript script;
    if (c.take) script.answer(QMessageBox::Ok);
    CVelkoraApp app(records.shared(), environment);
    app.initInstance(StartOptions());
    EXPECT_TRUE(script.done());
    EXPECT_TRUE(script.unexpected.empty()) << c.robot;
    if (!c.take) continue;
    EXPECT_EQ(script.messages, std::vector<std::string>{"A recording was recovered: " +
                                                        std::filesystem::path(recovered[0]).filename().string()});
    EXPECT_FALSE(std::filesystem::exists(recoveryNotePath(records.paths)));
    EXPECT_TRUE(app.mainFrame()->openFile(recovered[0]));
    EXPECT_GT(records.store->sampleCount.load(), 300);
  }
}

// Print Preview of pages that cannot be drawn (no font for their text) closes with the print's message
// instead of showing pages without a word on them; with fonts the preview opens.
TEST(StartUp, PrintPreviewWithoutFontsSaysTheDocumentCouldNotBePrinted) {
  for (const bool fonts : {true, false}) {
    testing::TempDir root;
    std::filesystem::create_directories(root.file("program"));
    std::filesystem::create_directories(root.file("no-fonts"));
    std::filesystem::copy_file(VELKORA_PATH, root.file("program/velkora"));
    saveConfiguration(root.file("program/velkora.cfg"), AppSettings{}, UiFixture::calibratedPlate(), GraphSettings{});
    const std::string fontconfig = root.file("fonts.conf");
    testing::writeFile(fontconfig, "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
    std::vector<std::string> settings;
    if (!fonts) settings = {"FONTCONFIG_FILE=" + fontconfig, "QT_QPA_FONTDIR=" + root.file("no-fonts")};
    WindowProcess window(root, "preview", {"--simulate=,fast"}, settings);
    ASSERT_TRUE(window.started());
    ASSERT_TRUE(window.robotDone(20000)) << fonts << ": " << testing::readFile(root.file("velkora.log"));
    EXPECT_EQ(testing::readFile(window.markPath()), fonts ? "preview" : "The document could not be printed.");
    ::kill(window.pid(), SIGTERM);
    EXPECT_EQ(window.waitForExit(10000), 0);
  }
}

TEST(StartUp, TerminationSignalsReachTheEventLoop) {
  int calls = 0;
  {
    SignalWatcher watcher([&calls] { ++calls; });
    ASSERT_TRUE(watcher.active());
    std::raise(SIGTERM);
    std::raise(SIGINT);
    std::raise(SIGHUP);
    EXPECT_TRUE(testing::waitUntil([&calls] { return calls >= 1; }));
  }
  EXPECT_GE(calls, 1);
  // With the watcher gone the previous handlers are back; a new watcher works again.
  SignalWatcher again([&calls] { calls = 100; });
  std::raise(SIGTERM);
  EXPECT_TRUE(testing::waitUntil([&calls] { return calls == 100; }));
}

}  // namespace
}  // namespace velkora
