// The window on a team library on a PostgreSQL server, as a user meets it: a test saved while the server
// is down waits in the outbox, the status bar says so and the window keeps answering, and the test arrives
// once when the server is back; a server that never answers freezes nothing; Setup -> Library... tests a
// connection in plain words and keeps the choice without the password; a test recorded on another computer
// is fetched into DATA beside a file of its name and opened.
//
// The tests that need a server skip without the one scripts/test.sh starts (VELKORA_TEST_POSTGRES).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "desktop/dialogs/library_dlg.h"
#include "desktop/library/compare_panel.h"
#include "desktop/library/desktop_library.h"
#include "desktop/library/library_choice.h"
#include "desktop/library/library_window.h"
#include "desktop/library/window_library.h"
#include "desktop/main_frame.h"
#include "desktop/models/subject_list_model.h"
#include "desktop/models/test_list_model.h"
#include "desktop/ui_fixture.h"
#include "library/library_service.h"
#include "library/sha256.h"
#include "model/command_ids.h"
#include "support/measurement_files.h"
#include "support/postgres_server.h"

namespace velkora {
namespace {

namespace fs = std::filesystem;
using testing::ModalScript;
using testing::UiFixture;
using testing::waitUntil;

// The longest pause of the window's event loop since the last restart: what a user feels as a frozen window.
class LoopGaps {
 public:
  LoopGaps() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.elapsed();
      longest_ = std::max(longest_, now - last_);
      last_ = now;
    });
    restart();
    timer_.start();
  }
  void restart() {
    clock_.start();
    last_ = 0;
    longest_ = 0;
  }
  qint64 longest() const { return std::max(longest_, clock_.elapsed() - last_); }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0;
  qint64 longest_ = 0;
};

// A server that takes connections and never says a word: every attempt waits for its connect_timeout.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), size), 0);
    EXPECT_EQ(::listen(fd_, 64), 0);
    EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size), 0);
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() { ::close(fd_); }
  std::string uri() const {
    return "postgresql://coach@127.0.0.1:" + std::to_string(port_) + "/velkora?connect_timeout=2";
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

std::string writeTest(const std::string& path, const std::string& name, int32_t testTime) {
  fs::create_directories(fs::path(path).parent_path());
  EXPECT_TRUE(testing::writeGeneratedTest(path, {name, TestKind::Power, testTime})) << path;
  return path;
}

WindowLibrary& libraryOf(UiFixture& f) { return f.app->library()->session(); }
QString statusOf(UiFixture& f) {
  QLabel* field = f.app->library()->statusField();
  return field->isVisible() ? field->text() : QString();
}

// The server library opened, and its start-up scan over.
bool waitUntilSettled(UiFixture& f, int milliseconds) {
  WindowLibrary& library = libraryOf(f);
  return waitUntil(
      [&] {
        return !library.opening() && !library.scanning() &&
               !f.app->library()->statusNote()->text().contains(QStringLiteral("scanning"));
      },
      milliseconds);
}

// Saves the recording in memory under another subject's name (so its bytes are new) as `path`.
bool saveAs(UiFixture& f, const std::string& path, const std::string& subject) {
  f.records.subject.name = subject;
  ModalScript script;
  script.chooseFile(path);
  return f.app->mainFrame()->save();
}

std::string onServer(const std::string& uri, const std::string& sql) { return testing::sqlOnServer(uri, sql); }

TEST(TeamLibraryWindow, ATestSavedWhileTheServerIsDownWaitsAndArrivesOnceWhenItIsBack) {
  if (testing::testServerUri().empty()) GTEST_SKIP() << testing::noServerReason();
  testing::TempDir serverDir;
  fs::permissions(serverDir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  testing::OwnTestServer server(serverDir.file("server"));
  ASSERT_TRUE(server.start());
  const std::string uri = testing::newTestDatabase(server.uri());
  ASSERT_FALSE(uri.empty());

  UiFixture f;
  f.libraryRetryMs = 300;
  const std::string anna = writeTest(f.root.file("elsewhere/anna.tsr"), "Anna Meier", 1714550400);
  StartOptions options;
  options.library = uri;
  f.start(options);
  ASSERT_TRUE(waitUntilSettled(f, 20000));
  WindowLibrary& library = libraryOf(f);
  ASSERT_TRUE(library.available()) << library.unavailableReason().toStdString();
  EXPECT_TRUE(library.online());
  EXPECT_EQ(statusOf(f), "");

  // Online: what the window opens and saves reaches the server.
  CMainFrame& frame = *f.app->mainFrame();
  ASSERT_TRUE(frame.openFile(anna));
  ASSERT_TRUE(saveAs(f, f.dataFolder() + "/ada.tsr", "Ada Novak"));
  ASSERT_TRUE(waitUntil([&] { return onServer(uri, "SELECT count(*) FROM velkora.tests") == "2"; }, 10000));

  // The server goes away; the next save waits in the outbox and the status bar says so.
  ASSERT_TRUE(server.stop());
  LoopGaps gaps;
  ASSERT_TRUE(saveAs(f, f.dataFolder() + "/bea.tsr", "Bea Lind"));
  ASSERT_TRUE(waitUntil([&] { return statusOf(f) == "Library offline \u2013 1 tests waiting"; }, 10000))
      << statusOf(f).toStdString();
  EXPECT_EQ(library.waiting(), 1);
  EXPECT_FALSE(library.online());
  // The library window opens and is searched meanwhile; it says why its lists are empty.
  ASSERT_TRUE(frame.sendCommand(cmd::kLibrary));
  LibraryWindow& window = *f.app->library()->window();
  QTest::keyClicks(window.searchField(), "a");
  ASSERT_TRUE(waitUntil([&] { return window.statusNote()->text().contains("Library offline"); }, 2000))
      << window.statusNote()->text().toStdString();
  // A few retries go by while nothing answers.
  QTest::qWait(1000);
  EXPECT_EQ(statusOf(f), "Library offline \u2013 1 tests waiting");
  EXPECT_LT(gaps.longest(), 500) << "the window kept answering";
  std::printf("longest event-loop pause with the server down: %lld ms\n", static_cast<long long>(gaps.longest()));

  // Back: within a retry the test arrives, once, and the status clears; the lists read the library again.
  ASSERT_TRUE(server.start());
  ASSERT_TRUE(waitUntil([&] { return statusOf(f).isEmpty() && library.online(); }, 15000)) << statusOf(f).toStdString();
  EXPECT_EQ(library.waiting(), 0);
  QTest::keyClick(window.searchField(), Qt::Key_Backspace);
  ASSERT_TRUE(waitUntil([&] { return window.subjectModel().rowCount() == 3; }, 5000))
      << window.subjectModel().rowCount();
  EXPECT_EQ(onServer(uri,
                     "SELECT count(*) || ' ' || count(DISTINCT content_hash) || ' ' || count(DISTINCT path) "
                     "FROM velkora.tests"),
            "3 3 3");
  EXPECT_EQ(onServer(uri, "SELECT count(*) FROM velkora.tests WHERE path LIKE '%/DATA/bea.tsr'"), "1");
  const std::string beaHash = contentHash(testing::readFile(f.dataFolder() + "/bea.tsr"));
  EXPECT_EQ(onServer(uri, "SELECT count(*) FROM velkora.files WHERE content_hash = '" + beaHash + "'"), "1");
  f.app.reset();
  testing::dropTestDatabase(uri);
}

TEST(TeamLibraryWindow, AServerThatNeverAnswersFreezesNeitherStartNorSaveNorTheLibraryWindow) {
  SilentServer silent;
  UiFixture f;
  f.libraryRetryMs = 500;
  const std::string anna = writeTest(f.root.file("elsewhere/anna.tsr"), "Anna Meier", 1714550400);
  StartOptions options;
  options.library = silent.uri();
  LoopGaps gaps;
  QElapsedTimer clock;
  clock.start();
  f.start(options);
  EXPECT_LT(clock.elapsed(), 1500) << "start-up does not wait for the server";
  WindowLibrary& library = libraryOf(f);
  EXPECT_TRUE(library.opening());
  EXPECT_TRUE(
      f.app->library()->statusNote()->text().startsWith("Library: connecting to postgresql://coach@127.0.0.1:"));

  // Each attempt waits its 2 s on the library's thread; the window turns meanwhile.
  ASSERT_TRUE(waitUntil([&] { return !library.opening(); }, 10000));
  EXPECT_TRUE(library.available());
  EXPECT_FALSE(library.online());
  EXPECT_EQ(statusOf(f), "Library offline \u2013 0 tests waiting");
  EXPECT_TRUE(library.scanWaitsForServer()) << "the DATA folder is scanned when the server answers";

  // An open and a save: both wait in the outbox of the default library file, and the window never waits.
  CMainFrame& frame = *f.app->mainFrame();
  ASSERT_TRUE(frame.openFile(anna));
  ASSERT_TRUE(saveAs(f, f.dataFolder() + "/ada.tsr", "Ada Novak"));
  ASSERT_TRUE(frame.sendCommand(cmd::kLibrary));
  LibraryWindow& window = *f.app->library()->window();
  QElapsedTimer typing;
  typing.start();
  QTest::keyClicks(window.searchField(), "anna");
  EXPECT_LT(typing.elapsed(), 500) << "the search does not wait for the server";
  ASSERT_TRUE(waitUntil([&] { return statusOf(f) == "Library offline \u2013 2 tests waiting"; }, 20000))
      << statusOf(f).toStdString();
  EXPECT_TRUE(fs::exists(f.programDir() + "/library.sqlite")) << "the outbox is the default library file";
  EXPECT_EQ(window.subjectModel().rowCount(), 0);
  EXPECT_LT(gaps.longest(), 500) << "the window kept answering (an attempt waits 2 s)";
  std::printf("longest event-loop pause beside a silent server: %lld ms over %lld ms\n",
              static_cast<long long>(gaps.longest()), static_cast<long long>(clock.elapsed()));
  testing::saveGrab(frame, "window_library_offline");
  testing::saveGrab(window, "library_window_offline");
}

// The password of the test user, from the pgpass file of the test server.
std::string testUserPassword() {
  const char* file = std::getenv("PGPASSFILE");
  std::ifstream in(file != nullptr ? file : "");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("*:*:*:velkora_test:", 0) == 0) return line.substr(19);
  return "";
}

TEST(TeamLibraryWindow, SetupLibraryTestsTheConnectionInPlainWordsAndKeepsTheChoiceWithoutThePassword) {
  const std::string server = testing::testServerUri();
  SilentServer silent;
  UiFixture f;
  f.start();
  ASSERT_TRUE(waitUntilSettled(f, 20000));
  CMainFrame& frame = *f.app->mainFrame();
  fs::create_directories(f.root.file("no-server"));
  fs::create_directories(f.root.file("club"));

  // Test connection says what failed, with no password in it, and the dialog keeps answering meanwhile.
  const std::string wrong = "Wr0ng-Passw0rd";
  struct Case {
    const char* what;
    bool server;
    std::string location;
    const char* verdict;
    bool needsServer;
  };
  const Case cases[] = {
      {"a socket no server listens on", true,
       "postgresql://velkora_test@/velkora_test?host=" + f.root.file("no-server"), "The server cannot be reached.",
       false},
      {"a server that never answers", true, silent.uri(), "The server cannot be reached.", false},
      {"a wrong password", true, server.empty() ? std::string() : testing::withUser(server, "velkora_test:" + wrong),
       "The server refused the user or the password.", true},
      {"the test server", true, server, "The connection works.", true},
      {"a new library file", false, f.root.file("club/new.sqlite"), "The connection works.", false},
  };
  {
    CLibraryDlg dialog(f.programDir() + "/library.sqlite", f.programDir() + "/library.sqlite", &frame);
    dialog.setModal(false);  // shown beside the test, not run by exec
    dialog.show();
    for (const Case& c : cases) {
      if (c.needsServer && server.empty()) continue;
      dialog.control<QRadioButton>(c.server ? CLibraryDlg::kServerChoice : CLibraryDlg::kFileChoice)->setChecked(true);
      dialog.control<QLineEdit>(c.server ? CLibraryDlg::kServerAddress : CLibraryDlg::kFilePath)
          ->setText(QString::fromStdString(c.location));
      LoopGaps gaps;
      dialog.control<QAbstractButton>(CLibraryDlg::kTestConnection)->click();
      EXPECT_TRUE(dialog.testing()) << c.what;
      EXPECT_FALSE(dialog.control(CLibraryDlg::kTestConnection)->isEnabled()) << c.what;
      ASSERT_TRUE(waitUntil([&] { return !dialog.testing(); }, 15000)) << c.what;
      const std::string result = dialog.connectionResult()->text().toStdString();
      EXPECT_TRUE(result.starts_with(c.verdict)) << c.what << ": " << result;
      EXPECT_EQ(result.find(wrong), std::string::npos) << c.what << ": " << result;
      EXPECT_LT(gaps.longest(), 500) << c.what;
      EXPECT_TRUE(dialog.control(CLibraryDlg::kTestConnection)->isEnabled()) << c.what;
      if (c.location == silent.uri()) testing::saveGrab(dialog, "library_setup_unreachable");
    }
  }

  // OK keeps a library file as the user's choice and opens it at once.
  const QString ini = f.environment().recentFilesPath;
  const std::string club = f.root.file("club/team.sqlite");
  const auto chooseInSetup = [&](bool serverChoice, const std::string& location) {
    ModalScript script;
    script.then([&](QWidget* w) {
      auto* d = qobject_cast<CLibraryDlg*>(w);
      ASSERT_NE(d, nullptr) << w->metaObject()->className();
      d->control<QRadioButton>(serverChoice ? CLibraryDlg::kServerChoice : CLibraryDlg::kFileChoice)->setChecked(true);
      d->control<QLineEdit>(serverChoice ? CLibraryDlg::kServerAddress : CLibraryDlg::kFilePath)
          ->setText(QString::fromStdString(location));
      d->control<QAbstractButton>(kIdOk)->click();
    });
    EXPECT_TRUE(frame.sendCommand(cmd::kLibrarySetup));
    EXPECT_TRUE(script.done());
  };
  chooseInSetup(false, club);
  EXPECT_EQ(readLibraryChoice(ini), club);
  EXPECT_EQ(libraryOf(f).location(), club);
  EXPECT_TRUE(fs::exists(club));

  if (server.empty()) {
    std::printf("the server cases were skipped: %s\n", testing::noServerReason().c_str());
    return;
  }
  // A server typed with its password: used now, kept and shown without it.
  const std::string password = testUserPassword();
  ASSERT_FALSE(password.empty());
  const std::string typed = testing::withUser(server, "velkora_test:" + password);
  chooseInSetup(true, typed);
  EXPECT_EQ(libraryOf(f).location(), typed);
  ASSERT_TRUE(waitUntil([&] { return !libraryOf(f).opening(); }, 15000));
  EXPECT_TRUE(libraryOf(f).online()) << libraryOf(f).unavailableReason().toStdString();
  EXPECT_EQ(readLibraryChoice(ini), server);
  EXPECT_EQ(testing::readFile(ini.toStdString()).find(password), std::string::npos);
  ASSERT_TRUE(frame.sendCommand(cmd::kLibrary));
  const std::string note = f.app->library()->window()->statusNote()->text().toStdString();
  EXPECT_NE(note.find("Library: " + server), std::string::npos) << note;
  EXPECT_EQ(note.find(password), std::string::npos);
  {
    ModalScript script;
    script.then([&](QWidget* w) {
      auto* d = qobject_cast<CLibraryDlg*>(w);
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(d->control<QLineEdit>(CLibraryDlg::kServerAddress)->text().toStdString(), server);
      d->reject();
    });
    frame.sendCommand(cmd::kLibrarySetup);
  }

  // The next start uses the kept choice (libpq finds the password in the pgpass file); --library wins over it.
  f.app.reset();
  f.start();
  EXPECT_EQ(libraryOf(f).location(), server);
  ASSERT_TRUE(waitUntil([&] { return !libraryOf(f).opening(); }, 15000));
  EXPECT_TRUE(libraryOf(f).online()) << libraryOf(f).unavailableReason().toStdString();
  f.app.reset();
  StartOptions options;
  options.library = club;
  f.start(options);
  EXPECT_EQ(libraryOf(f).location(), club);
  EXPECT_EQ(readLibraryChoice(ini), server) << "the command line chooses for one run";
}

TEST(TeamLibraryWindow, ATestOfAnotherComputerIsFetchedIntoDataBesideAFileOfItsNameOpenedAndCompared) {
  if (testing::testServerUri().empty()) GTEST_SKIP() << testing::noServerReason();
  const std::string uri = testing::newTestDatabase(testing::testServerUri());
  ASSERT_FALSE(uri.empty());
  UiFixture f;
  // Recorded in the gym: in the library with its bytes, its file on that computer only.
  const std::string gym = writeTest(f.root.file("gym/cmj.tsr"), "Gina Roth", 1714550400);
  const std::string gymBytes = testing::readFile(gym);
  {
    CollectingMessageSink messages;
    LibraryStatus status;
    LibraryOptions options;
    options.location = uri;
    options.machineName = "gym-pc";
    std::unique_ptr<LibraryService> other = LibraryService::open(options, messages, status);
    ASSERT_TRUE(other) << status.message;
    ASSERT_EQ(other->indexFile(gym).outcome, IndexOutcome::Added);
  }
  fs::remove_all(f.root.file("gym"));
  // This computer's DATA folder has a file of that name already, of another subject.
  const std::string own = writeTest(f.dataFolder() + "/cmj.tsr", "Hugo Falk", 1714640400);
  const std::string ownBytes = testing::readFile(own);

  StartOptions options;
  options.library = uri;
  f.start(options);
  ASSERT_TRUE(waitUntilSettled(f, 20000));
  EXPECT_EQ(onServer(uri, "SELECT count(*) FROM velkora.tests"), "2") << "the start-up scan indexed DATA";
  CMainFrame& frame = *f.app->mainFrame();
  ASSERT_TRUE(frame.sendCommand(cmd::kLibrary));
  LibraryWindow& window = *f.app->library()->window();
  QTest::keyClicks(window.searchField(), "gina");
  ASSERT_TRUE(waitUntil([&] { return window.subjectModel().rowCount() == 1; }, 5000));
  window.chooseSubject(0);
  ASSERT_TRUE(waitUntil([&] { return window.testModel().rowCount() == 1; }, 5000));
  EXPECT_EQ(window.testModel().testAt(0)->path, "gym-pc:" + gym);

  // Enter: the bytes are written beside the file of that name, and the main window opens them.
  const std::string fetched = f.dataFolder() + "/cmj (2).tsr";
  f.records.store->saved.store(1);
  for (int time = 0; time < 2; ++time) {
    window.testList()->setCurrentIndex(window.testModel().index(0, 0));
    window.testList()->setFocus();
    QTest::keyClick(window.testList(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return f.records.paths.currentFilePath == fetched; }, 10000))
        << f.records.paths.currentFilePath;
    EXPECT_EQ(f.records.subject.name, "Gina Roth");
    f.records.paths.currentFilePath.clear();
  }
  EXPECT_EQ(testing::readFile(fetched), gymBytes);
  EXPECT_EQ(testing::readFile(own), ownBytes) << "nothing was overwritten";
  EXPECT_FALSE(fs::exists(f.dataFolder() + "/cmj (3).tsr")) << "the same bytes opened again reuse their file";
  // Opening it indexed nothing new: the library holds its bytes already.
  EXPECT_EQ(onServer(uri, "SELECT count(*) FROM velkora.tests"), "2");
  testing::saveGrab(window, "library_window_fetched");

  // Compared with the test of this computer: one curve from the library's bytes, one from the file here.
  window.testList()->selectRow(0);
  window.compareSelected();
  window.searchField()->setText("hugo");
  ASSERT_TRUE(waitUntil(
      [&] { return window.subjectModel().rowCount() == 1 && window.subjectModel().subjectAt(0)->name == "Hugo Falk"; },
      5000));
  window.chooseSubject(0);
  ASSERT_TRUE(waitUntil(
      [&] {
        return window.testModel().rowCount() == 1 && window.testModel().testAt(0)->path.ends_with("/DATA/cmj.tsr");
      },
      5000));
  window.testList()->selectRow(0);
  window.compareSelected();
  ASSERT_TRUE(waitUntil([&] { return window.compare().curves().size() == 2; }, 5000))
      << window.compare().note()->text().toStdString();
  EXPECT_EQ(window.compare().curves()[0].label, compareLabel("Gina Roth", 1714550400));
  EXPECT_EQ(window.compare().curves()[1].label, compareLabel("Hugo Falk", 1714640400));
  f.app.reset();
  testing::dropTestDatabase(uri);
}

}  // namespace
}  // namespace velkora
