// Start-up and exit: paths, the configuration and its messages, the data folder, the command line,
// signals.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <csignal>

#include "desktop/command_line.h"
#include "desktop/dialogs/comm_dlg.h"
#include "desktop/main_frame.h"
#include "desktop/measurement_files.h"
#include "desktop/signal_watcher.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"

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
  EXPECT_NE(usageText().find("velkora [--simulate[=SCENARIO]] [--library PATH] [FILE]"), std::string::npos);
  // Every option the command line takes is listed.
  for (const char* option :
       {"--simulate[=SCENARIO]", "--library PATH ", "FILE ", "-h, --help", "unplug[:MS[:KG]]", ",fast"})
    EXPECT_NE(usageText().find(option), std::string::npos) << option;
}

TEST(StartUp, TerminationSignalsReachTheEventLoop) {
  int calls = 0;
  {
    SignalWatcher watcher([&calls] { ++calls; });
    ASSERT_TRUE(watcher.active());
    std::raise(SIGTERM);
    std::raise(SIGINT);
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
