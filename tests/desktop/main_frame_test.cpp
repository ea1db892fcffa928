// The main frame: its commands, menus and toolbar, the file commands and their questions, and
// closing with unsaved data.

#include "desktop/main_frame.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextImageFormat>
#include <QToolBar>
#include <QWidgetAction>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>

#include "acquisition/plate_presence.h"
#include "desktop/command_table.h"
#include "desktop/dialog_bar.h"
#include "desktop/measurement_files.h"
#include "desktop/ui_fixture.h"
#include "desktop/velkora_view.h"
#include "model/command_ids.h"
#include "storage/measurement_file.h"

namespace velkora {
namespace {

using testing::ModalScript;
using testing::UiFixture;

class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { fixture.start(); }
  CMainFrame& frame() { return *fixture.app->mainFrame(); }
  MeasurementStore& store() { return *fixture.records.store; }
  // A recording in memory that has not been saved, as a finished test leaves it.
  void unsavedRecording() {
    auto recording = testing::forceRecording(200);
    store().channels = recording->channels;
    store().sampleCount = 200;
    store().recordingAvailable = 1;
    store().saved = 0;
  }
  std::string forceFile(const char* name = "force.vkr") {
    auto recording = testing::forceRecording(700);
    return testing::saveRecording(*recording, fixture.dataFolder() + "/" + name, "Force Subject");
  }
  std::string powerFile(const char* name = "jump.tsr") {
    auto recording = testing::powerRecording();
    return testing::saveRecording(*recording, fixture.dataFolder() + "/" + name, "Power Subject");
  }
  std::string forceFilter() { return "Velkora Files (*.vkr)|vkr|" + fixture.dataFolder() + "|"; }
  std::string powerFilter() { return "Tamsiro Files (*.tsr)|tsr|" + fixture.dataFolder() + "|"; }

  UiFixture fixture;
};

TEST_F(MainFrameTest, CommandsComeFromOneTableWithPromptsTooltipsAndIcons) {
  struct Case {
    int32_t id;
    const char* prompt;
    const char* tooltip;
  };
  const Case cases[] = {
      {cmd::kSubjectInfo, "Subject Info", "Subject Info"},
      {cmd::kCalibration, "Calibration", "Calibration"},
      {cmd::kSetup, "Setup", "Setup"},
      {cmd::kSave, "File Save", " File Save"},
      {cmd::kGraphSetup, "Graph setup", "Graph setup"},
      {cmd::kOpenPower, "Open tamsiru file", "Open Power"},
      {cmd::kOpenForce, "Open an velkora file", "Open Force"},
  };
  for (const Case& c : cases) {
    QAction* act = frame().action(c.id);
    ASSERT_NE(act, nullptr) << c.id;
    EXPECT_EQ(act->statusTip().toStdString(), c.prompt);
    EXPECT_EQ(act->toolTip().toStdString(), c.tooltip);
  }
  // Every toolbar button has a picture of its own that loads.
  QToolBar* toolbar = frame().findChild<QToolBar*>();
  ASSERT_NE(toolbar, nullptr);
  std::vector<int32_t> buttons;
  for (QAction* act : toolbar->actions()) {
    if (act->isSeparator()) {
      buttons.push_back(0);
      continue;
    }
    buttons.push_back(act->data().toInt());
    EXPECT_FALSE(act->icon().pixmap(QSize(19, 17)).isNull()) << act->text().toStdString();
  }
  EXPECT_EQ(buttons, std::vector<int32_t>(toolbarLayout().begin(), toolbarLayout().end()));
  EXPECT_EQ(buttons.front(), cmd::kOpenForce);

  // Accelerators: Ctrl+O opens, Ctrl+S saves the recording, Ctrl+N is nobody's.
  EXPECT_EQ(frame().action(cmd::kOpenForce)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
  EXPECT_EQ(frame().action(cmd::kSave)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
  EXPECT_EQ(frame().action(cmd::kPrint)->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
  for (const CommandEntry& entry : commandTable())
    EXPECT_NE(frame().action(entry.id)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N"))) << entry.text;

  // The menus, with the commands that had no entry added.
  std::vector<std::string> titles;
  for (QAction* menu : frame().menuBar()->actions()) titles.push_back(menu->text().toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Subject", "&Exercise", "&Report", "&View", "Se&tup",
                                              "&Calibration", "&About"}));
  std::vector<std::string> report;
  for (QAction* item : frame().menuBar()->actions()[3]->menu()->actions()) report.push_back(item->text().toStdString());
  EXPECT_EQ(report, (std::vector<std::string>{"&Digital", "&Curve graph", "&Bar graph", "&Repetition report",
                                              "&Summary report", "&h-calcul report", "&Metrics"}));
  EXPECT_EQ(frame().action(cmd::kLibrary)->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
}

// Device events the test announces as udev would: queued, with a byte in a socket that the window's
// event loop watches.
class FakeDeviceEvents final : public DeviceEventSource {
 public:
  FakeDeviceEvents() { ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sockets_); }
  ~FakeDeviceEvents() override {
    ::close(sockets_[0]);
    ::close(sockets_[1]);
  }
  FakeDeviceEvents(const FakeDeviceEvents&) = delete;
  FakeDeviceEvents& operator=(const FakeDeviceEvents&) = delete;
  int fileDescriptor() const override { return sockets_[0]; }
  std::optional<DeviceEvent> next() override {
    char byte = 0;
    if (queue_.empty() || ::read(sockets_[0], &byte, 1) != 1) return std::nullopt;
    DeviceEvent event = queue_.front();
    queue_.pop_front();
    return event;
  }
  void announce(DeviceEvent event) {
    queue_.push_back(std::move(event));
    EXPECT_EQ(::write(sockets_[1], "e", 1), 1);
  }

 private:
  int sockets_[2] = {-1, -1};
  std::deque<DeviceEvent> queue_;
};

// The plate field follows the USB plate's device events within a second; the test commands stay
// offered without a plate, and the simulated plate and a serial port say what they are.
TEST_F(MainFrameTest, ThePlateFieldFollowsThePlugInAndOutOfThePlate) {
  namespace fs = std::filesystem;
  const fs::path sys = fs::path(fixture.root.file("sys"));
  const auto plug = [&](const std::string& tty) {
    fs::create_directories(sys / "devices/usb1" / tty / "port" / tty);
    std::ofstream(sys / "devices/usb1" / tty / "product") << "Orvel velkora\n";
    fs::create_directories(sys / "class/tty" / tty);
    fs::create_directory_symlink(sys / "devices/usb1" / tty / "port" / tty, sys / "class/tty" / tty / "device");
  };
  fs::create_directories(sys / "class/tty");
  auto source = std::make_unique<FakeDeviceEvents>();
  FakeDeviceEvents& udev = *source;
  frame().watchPlate(PlateConnection::Usb,
                     std::make_unique<PlatePresence>(std::move(source),
                                                     PlateDevicePaths{.sysfsTtyRoot = (sys / "class/tty").string()}));
  QLabel* field = frame().plateField();
  EXPECT_EQ(field->text(), "Plate: not found");
  for (int32_t id : {cmd::kPerform, cmd::kPowerPerform, cmd::kCheck, cmd::kCalibration})
    EXPECT_TRUE(frame().action(id)->isEnabled()) << "needs no plate to be offered: " << id;

  plug("ttyUSB0");
  udev.announce({"add", "tty", "/dev/ttyUSB0"});
  EXPECT_TRUE(testing::waitUntil([&] { return field->text() == "Plate: /dev/ttyUSB0"; }, 1000))
      << field->text().toStdString();
  testing::saveGrab(frame(), "plate_field");
  fs::remove_all(sys / "class/tty/ttyUSB0");
  udev.announce({"remove", "tty", "/dev/ttyUSB0"});
  EXPECT_TRUE(testing::waitUntil([&] { return field->text() == "Plate: not found"; }, 1000))
      << field->text().toStdString();

  fixture.records.app.portIndex = 1;
  frame().watchPlate(PlateConnection::SerialPort, nullptr);
  EXPECT_EQ(field->text(), "Plate: COM2");
  frame().watchPlate(PlateConnection::Simulated, nullptr);
  EXPECT_EQ(field->text(), "Simulated plate");
  EXPECT_TRUE(field->isVisible());
}

// Every menu, the simulated plate's too, opens with Alt and its underlined letter; within the menu bar
// and within each menu every entry has a letter of its own.
TEST(MenuKeys, EveryMenuOpensWithAltAndALetterNoOtherEntryShares) {
  UiFixture f;
  StartOptions options;
  std::string error;
  ASSERT_TRUE(takeSimulationOption("--simulate", options.simulation, error));
  f.start(options);
  CMainFrame& frame = *f.app->mainFrame();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  // The recent files take their digits, and a separator has no letter.
  const auto mnemonicOf = [](const QAction* a) { return QKeySequence::mnemonic(a->text()).toString().toStdString(); };
  std::map<std::string, std::string> titles;
  for (QAction* entry : frame.menuBar()->actions()) {
    const std::string title = entry->text().toStdString();
    const std::string key = mnemonicOf(entry);
    ASSERT_FALSE(key.empty()) << title;
    EXPECT_TRUE(titles.emplace(key, title).second) << title << " and " << titles[key] << " share " << key;
    std::map<std::string, std::string> items;
    for (QAction* item : entry->menu()->actions()) {
      // Separators and lines to read (widget actions) are no commands.
      if (item->isSeparator() || qobject_cast<QWidgetAction*>(item) != nullptr) continue;
      const std::string text = item->text().toStdString();
      const std::string itemKey = mnemonicOf(item);
      EXPECT_FALSE(itemKey.empty()) << title << ": " << text;
      if (itemKey.empty()) continue;
      EXPECT_TRUE(items.emplace(itemKey, text).second) << title << ": " << text << " and " << items[itemKey];
    }
    // Alt and the letter open it.
    QMenu* menu = entry->menu();
    const QKeySequence keys = QKeySequence::mnemonic(entry->text());
    QTest::keySequence(&frame, keys);
    EXPECT_TRUE(testing::waitUntil([menu] { return menu->isVisible(); }, 1000)) << title;
    menu->close();
    ASSERT_TRUE(testing::waitUntil([menu] { return !menu->isVisible(); }, 1000)) << title;
  }
  EXPECT_EQ(titles.size(), 9u) << "the eight menus and the simulated plate's";
}

TEST_F(MainFrameTest, CommandsAreEnabledByTheirRulesAndALaterRouteTakesOver) {
  // Printing is always offered: with nothing shown it prints a blank page.
  for (int32_t id : {cmd::kOpenForce, cmd::kOpenPower, cmd::kSave, cmd::kExit, cmd::kSubjectInfo, cmd::kSetup,
                     cmd::kGraphSetup, cmd::kAbout, cmd::kPrint, cmd::kPrintPreview, cmd::kPrintSetup, cmd::kPerform,
                     cmd::kPowerPerform, cmd::kCheck, cmd::kCalibration})
    EXPECT_TRUE(frame().action(id)->isEnabled()) << id;
  for (int32_t id : {cmd::kDigitalReport, cmd::kCurveGraph, cmd::kBarGraph, cmd::kRepetitionReport, cmd::kSummaryReport,
                     cmd::kHeightReport})
    EXPECT_FALSE(frame().action(id)->isEnabled()) << id;

  frame().openFile(QString::fromStdString(forceFile()));
  for (int32_t id : {cmd::kDigitalReport, cmd::kCurveGraph, cmd::kBarGraph, cmd::kRepetitionReport})
    EXPECT_TRUE(frame().action(id)->isEnabled()) << id;
  EXPECT_FALSE(frame().action(cmd::kSummaryReport)->isEnabled());

  frame().openFile(QString::fromStdString(powerFile()));
  EXPECT_FALSE(frame().action(cmd::kBarGraph)->isEnabled());
  EXPECT_TRUE(frame().action(cmd::kSummaryReport)->isEnabled());
  EXPECT_TRUE(frame().action(cmd::kHeightReport)->isEnabled());

  // A route given later replaces the handler.
  bool ran = false;
  frame().route(cmd::kPerform, [&ran] { ran = true; });
  EXPECT_TRUE(frame().action(cmd::kPerform)->isEnabled());
  frame().action(cmd::kPerform)->trigger();
  EXPECT_TRUE(ran);
}

TEST_F(MainFrameTest, OpenForceShowsTheWholeRecordingAsACurveGraph) {
  const std::string path = forceFile();
  fixture.records.graph.y1Parameter = 2;
  fixture.records.graph.y2Parameter = 0;
  ModalScript script;
  script.chooseFile(path);
  frame().action(cmd::kOpenForce)->trigger();
  EXPECT_EQ(script.fileDialogs, std::vector<std::string>{forceFilter()});
  EXPECT_EQ(fixture.records.paths.currentFilePath, path);
  EXPECT_EQ(store().testKind, TestKind::Force);
  EXPECT_EQ(store().sampleCount.load(), 700);
  EXPECT_EQ(fixture.records.subject.name, "Force Subject");
  const ViewState& view = frame().view()->state();
  EXPECT_EQ(view.displayMode, DisplayMode::CurveGraph);
  EXPECT_EQ(view.sampleWindowEnd, 700);
  EXPECT_EQ(view.cursorRight, 700);
  EXPECT_EQ(fixture.records.graph.y1Parameter, 0);
  EXPECT_EQ(fixture.records.graph.y2Parameter, 1);

  ASSERT_EQ(frame().shownBar(), cmd::kCurveBar);
  QComboBox* y1 = frame().dialogBar()->list(cmd::kY1List);
  QComboBox* y2 = frame().dialogBar()->list(cmd::kY2List);
  ASSERT_EQ(y1->count(), 3);
  EXPECT_EQ(y1->itemText(2).toStdString(), "F vector (N)");
  EXPECT_EQ(y1->currentIndex(), 0);
  EXPECT_EQ(y2->currentIndex(), 1);
  // The user's choice is shown and remembered.
  emit y2->activated(2);
  EXPECT_EQ(frame().view()->state().y2Shown, 2);
  EXPECT_EQ(fixture.records.graph.y2Parameter, 2);
}

TEST_F(MainFrameTest, OpenPowerOffersTheKinematicParametersAndSelectsTheStoredChoice) {
  const std::string path = powerFile();
  ModalScript script;
  script.chooseFile(path);
  frame().sendCommand(cmd::kOpenPower);
  EXPECT_EQ(script.fileDialogs, std::vector<std::string>{powerFilter()});
  EXPECT_EQ(store().testKind, TestKind::Power);
  QComboBox* y1 = frame().dialogBar()->list(cmd::kY1List);
  QComboBox* y2 = frame().dialogBar()->list(cmd::kY2List);
  ASSERT_EQ(y2->count(), 6);
  EXPECT_EQ(y1->itemText(0).toStdString(), "Vertical F (N)");
  EXPECT_EQ(y2->itemText(3).toStdString(), "v (m/s)");
  EXPECT_EQ(y1->currentIndex(), 0);
  EXPECT_EQ(y2->currentIndex(), 3) << "a fresh installation's choice of 3 shows as selected";
  EXPECT_EQ(frame().view()->state().y2Shown, 3);
}

TEST_F(MainFrameTest, UnsavedDataAnsweredYesWithTheSaveCancelledStillOpens) {
  unsavedRecording();
  const std::string path = forceFile();
  ModalScript script;
  script.answer(QMessageBox::Yes).chooseFile("").chooseFile(path);
  frame().sendCommand(cmd::kOpenForce);
  EXPECT_TRUE(script.done());
  EXPECT_EQ(script.messages, std::vector<std::string>{"Data not saved. Save?"});
  ASSERT_EQ(script.fileDialogs.size(), 2u);
  EXPECT_EQ(script.fileDialogs[0].substr(0, 22), "Velkora Files (*.vkr)|") << "the Save dialog first";
  EXPECT_EQ(script.fileDialogs[1], forceFilter()) << "then the Open dialog";
  EXPECT_EQ(store().sampleCount.load(), 700);
  EXPECT_EQ(store().saved.load(), 1);
}

TEST_F(MainFrameTest, AnOpenCancelledLeavesNoFileNameForSave) {
  fixture.records.paths.currentFilePath = "/somewhere/old.vkr";
  {
    ModalScript script;
    script.chooseFile("");
    frame().sendCommand(cmd::kOpenForce);
    EXPECT_TRUE(script.done());
  }
  EXPECT_EQ(fixture.records.paths.currentFilePath, "");
  ModalScript script;
  script.chooseFile("");
  frame().sendCommand(cmd::kSave);
  ASSERT_EQ(script.fileDialogs.size(), 1u);
  EXPECT_EQ(script.fileDialogs[0], forceFilter()) << "no file name proposed";
}

TEST_F(MainFrameTest, SaveOffersTheFileTypeOfTheTestAndTheFileLastOpened) {
  const std::string path = powerFile();
  ASSERT_TRUE(frame().openFile(QString::fromStdString(path)));
  store().saved = 0;
  const std::string copy = fixture.dataFolder() + "/copy";
  {
    ModalScript script;
    script.chooseFile(copy);
    frame().action(cmd::kSave)->trigger();
    ASSERT_EQ(script.fileDialogs.size(), 1u);
    EXPECT_EQ(script.fileDialogs[0], powerFilter() + "jump.tsr");
  }
  EXPECT_EQ(fixture.records.paths.currentFilePath, copy + ".tsr");
  EXPECT_EQ(store().saved.load(), 1);
  EXPECT_EQ(testing::readFile(copy + ".tsr"), testing::readFile(path));
}

TEST_F(MainFrameTest, ASaveThatFailsSaysSoAndKeepsTheDataUnsaved) {
  unsavedRecording();
  // A folder where nobody can create files.
  ModalScript script;
  script.chooseFile("/proc/self/lost.vkr").answer(QMessageBox::Ok);
  EXPECT_FALSE(frame().save());
  EXPECT_EQ(script.messages, std::vector<std::string>{"File Save Error"});
  EXPECT_EQ(store().saved.load(), 0);
}

TEST_F(MainFrameTest, OpenPowerOnAFileThatFailsKeepsWhatWasThere) {
  ASSERT_TRUE(frame().openFile(QString::fromStdString(forceFile())));
  const std::string cut = fixture.dataFolder() + "/cut.tsr";
  const std::string whole = testing::readFile(powerFile());
  testing::writeFile(cut, whole.substr(0, whole.size() / 2));
  ModalScript script;
  script.chooseFile(cut).answer(QMessageBox::Ok);
  frame().sendCommand(cmd::kOpenPower);
  EXPECT_EQ(script.messages, std::vector<std::string>{"An attempt was made to access " + cut + " past its end."});
  EXPECT_EQ(store().sampleCount.load(), 700);
  EXPECT_EQ(store().testKind, TestKind::Force) << "the data in memory is still a force test";
  EXPECT_EQ(frame().view()->state().displayMode, DisplayMode::CurveGraph);
}

TEST_F(MainFrameTest, ClosingWithUnsavedDataAsksAndEachAnswerDoesWhatItSays) {
  struct Case {
    std::vector<QMessageBox::StandardButton> answers;
    const char* saveTo;  // nullptr: no Save dialog; "": cancelled
    bool closes;
    int32_t savedAfter;
  };
  const Case cases[] = {
      {{QMessageBox::Cancel}, nullptr, false, 0},
      {{QMessageBox::No}, nullptr, true, 0},
      {{QMessageBox::Yes}, "", false, 0},
      {{QMessageBox::Yes}, "kept.vkr", true, 1},
  };
  for (const Case& c : cases) {
    unsavedRecording();
    frame().show();
    ModalScript script;
    for (auto answer : c.answers) script.answer(answer);
    if (c.saveTo != nullptr)
      script.chooseFile(*c.saveTo == '\0' ? std::string() : fixture.dataFolder() + "/" + c.saveTo);
    frame().sendCommand(cmd::kExit);
    EXPECT_TRUE(script.done());
    EXPECT_EQ(script.messages, std::vector<std::string>{"Data not saved. Save?"});
    EXPECT_EQ(!frame().isVisible(), c.closes) << c.answers.front();
    EXPECT_EQ(store().saved.load(), c.savedAfter) << c.answers.front();
  }
  EXPECT_TRUE(std::filesystem::exists(fixture.dataFolder() + "/kept.vkr"));

  // Nothing unsaved: no question.
  frame().show();
  frame().sendCommand(cmd::kExit);
  EXPECT_FALSE(frame().isVisible());
}

// A logout keeps an unsaved take in a recovery file, once; if the session goes on, the window closes
// later without asking for the take that is kept.
TEST_F(MainFrameTest, ALogoutKeepsTheUnsavedTakeOnceAndTheWindowGoesOn) {
  unsavedRecording();
  std::filesystem::remove(fixture.configPath());
  const std::string kept = fixture.app->saveBeforeTermination();
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(std::filesystem::path(kept).parent_path(), std::filesystem::path(fixture.dataFolder()));
  EXPECT_TRUE(std::filesystem::exists(fixture.configPath()));
  auto take = std::make_unique<MeasurementRecord>();
  ASSERT_EQ(decodeMeasurement(testing::readFile(kept), *take), DecodeStatus::Ok);
  EXPECT_EQ(take->sampleCount, 200);
  EXPECT_TRUE(fixture.app->saveBeforeTermination().empty()) << "the take is kept once";
  frame().show();
  frame().sendCommand(cmd::kExit);
  EXPECT_FALSE(frame().isVisible());
}

TEST_F(MainFrameTest, RecentFilesAreListedUnderFileAndOpenAgain) {
  const std::string force = forceFile();
  const std::string power = powerFile();
  ASSERT_TRUE(frame().openFile(QString::fromStdString(force)));
  ASSERT_TRUE(frame().openFile(QString::fromStdString(power)));
  QMenu* file = frame().menuBar()->actions()[0]->menu();
  std::vector<std::string> recent;
  for (QAction* item : file->actions())
    if (item->text().startsWith('&') && item->text().at(1).isDigit()) recent.push_back(item->text().toStdString());
  EXPECT_EQ(recent, (std::vector<std::string>{"&1 " + power, "&2 " + force}));
  // The second entry opens the force file again, as a force test.
  for (QAction* item : file->actions())
    if (item->text().toStdString() == "&2 " + force) item->trigger();
  EXPECT_EQ(store().testKind, TestKind::Force);
  EXPECT_EQ(fixture.records.paths.currentFilePath, force);
}

}  // namespace
}  // namespace velkora

namespace velkora {
namespace {

// The Help command shows the guide a program finds beside itself, with its text, or says there is none.
TEST(UserGuide, HelpShowsTheInstalledGuideOrSaysItIsMissing) {
  UiFixture fixture;
  fixture.start();
  CMainFrame& frame = *fixture.app->mainFrame();
  {
    ModalScript script;
    script.answer(QMessageBox::Ok);
    frame.sendCommand(cmd::kUserGuide);
    ASSERT_EQ(script.messages, std::vector<std::string>{"The user guide was not found."});
  }
  std::filesystem::create_directories(fixture.root.file("share/doc/velkora"));
  testing::writeFile(fixture.root.file("share/doc/velkora/README.md"), "# Velkora\n\nPut the subject on the plate.\n");
  std::string shown;
  ModalScript script;
  script.then([&](QWidget* w) {
    auto* browser = w->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    shown = browser->toPlainText().toStdString();
    static_cast<QDialog*>(w)->reject();
  });
  frame.sendCommand(cmd::kUserGuide);
  EXPECT_NE(shown.find("Put the subject on the plate."), std::string::npos) << shown;
}

// A picture wider than the guide's window is shown at its own size, pixel for pixel, and the view
// scrolls to it.
TEST(UserGuide, PicturesKeepTheirOwnSizeAndTheViewScrolls) {
  UiFixture fixture;
  fixture.start();
  const std::string folder = fixture.root.file("share/doc/velkora");
  std::filesystem::create_directories(folder + "/docs");
  QImage picture(2000, 300, QImage::Format_RGB32);
  picture.fill(Qt::darkBlue);
  ASSERT_TRUE(picture.save(QString::fromStdString(folder + "/docs/wide.png")));
  testing::writeFile(folder + "/README.md", "# Velkora\n\n![The window](docs/wide.png)\n");
  QSizeF shownSize;
  int scrollRange = 0;
  ModalScript script;
  script.then([&](QWidget* w) {
    auto* browser = w->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    QApplication::processEvents();
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextImageFormat image = it.fragment().charFormat().toImageFormat();
        if (image.isValid()) shownSize = QSizeF(image.width(), image.height());
      }
    scrollRange = browser->horizontalScrollBar()->maximum();
    static_cast<QDialog*>(w)->reject();
  });
  fixture.app->mainFrame()->sendCommand(cmd::kUserGuide);
  // No size of its own in the document: the picture is drawn at the size of the image file.
  EXPECT_EQ(shownSize, QSizeF(0, 0));
  EXPECT_GT(scrollRange, 2000 - 1300) << "the part beyond the window is reached by scrolling";
}

}  // namespace
}  // namespace velkora
