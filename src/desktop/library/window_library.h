#pragma once
// The window's subject library: the library of Setup -> Library... or --library (the default beside the
// DATA folder otherwise), used through a LibrarySession, so that a library on a server works offline too.
//
// A library file answers at once, on the window's thread. A library on a server is used from a thread of
// its own: every call on it may wait for a server that does not answer (up to its connect_timeout), so the
// session is opened there and every save, open, list, trend and fetch runs there in the order asked, with
// the answer handed back to the window's thread. While the server cannot be reached, saved tests wait in
// the outbox of the default library file; the outbox is sent at every save and every 30 s, and
// statusText() says "Library offline – 2 tests waiting" meanwhile.
//
// The start-up scan of the DATA folder runs on a thread of its own with a library connection of its own,
// so the window never waits for it. On a server it runs once the server answers: while it is out of reach
// the files stay in the DATA folder, where the scan finds them later (queueing every file's bytes in the
// outbox would copy the whole folder into it for nothing). The library's own messages (a damaged library
// moved aside and rebuilt) are shown once each, whichever thread met them.

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "desktop/models/library_reader.h"
#include "library/library_session.h"

class QTimer;
class QWidget;

namespace velkora {

class WindowLibrary final : public QObject, public LibraryReader {
  Q_OBJECT

 public:
  // How often a server library is tried again and its outbox sent.
  static constexpr int kRetryMs = 30000;

  // `location` is the library (a file path, a server's URI or service=NAME); `outboxFile` the library file
  // that keeps the tests waiting for a server (the default library); `dataFolder` is what the start-up
  // scan indexes, a damaged library is rebuilt from, and tests of other computers are fetched into.
  // Messages show over `messageParent`.
  WindowLibrary(std::string location, std::string outboxFile, std::string dataFolder, QWidget* messageParent,
                QObject* parent = nullptr, int retryMs = kRetryMs);
  // Stops a running scan and the library's thread, waiting for the call it runs.
  ~WindowLibrary() override;

  // Opens the library: a file at once; a server on its thread (opened() follows). Then tries a server
  // again every retry interval.
  void open();
  // Closes the library in use and opens `location` instead (Setup -> Library...); replaced() follows.
  void reopen(std::string location);

  bool isServer() const { return server_; }
  // Opened, or (a server) being opened; false when it cannot be used (unavailableReason says why).
  bool available() const { return state_ == State::Opening || state_ == State::Open; }
  bool opening() const { return state_ == State::Opening; }
  const QString& unavailableReason() const { return unavailableReason_; }
  // A library file: its service on the window's thread. Null for a server (its calls run on its thread)
  // and when the library could not be opened.
  LibraryService* service() const;
  // The location as given (it may hold a password: only for opening it) and as it may be shown.
  const std::string& location() const { return location_; }
  std::string shownLocation() const;
  const std::string& dataFolder() const { return dataFolder_; }

  // A server: whether it answered the latest call, and the tests waiting for it in the outbox.
  bool online() const { return online_; }
  int64_t waiting() const { return waiting_; }
  // "Library offline – 2 tests waiting", "1 tests waiting to be sent", or nothing (a library file, all sent).
  QString statusText() const;

  void read(QObject* context, Work work, Done done) override;

  // The entry of a file the window just opened or saved, as the kind it was opened or saved as: indexed,
  // or waiting in the outbox while the server cannot be reached. `done` gets the outcome.
  void indexFile(const std::string& path, TestKind kind, std::function<void(const LibraryIndexResult&)> done = {});
  // Sends the outbox of a server library now, trying the server again first when it was out of reach.
  void sendOutbox();
  // The file of a test to open: on this computer as it is, or (a test of another computer) its bytes from
  // the library written into the data folder under its own name, with " (2)" and so on when that is taken.
  void fetchTestFile(const LibraryTestEntry& test, QObject* context,
                     std::function<void(const LibraryStatus&, const std::string&)> done);

  // Indexes the data folder in the background (nothing when the library is unavailable or a scan runs;
  // a server out of reach is scanned when it answers again). Progress and the end come as signals.
  void startScan();
  bool scanning() const { return scanThread_.joinable() && !scanEnded_.load(std::memory_order_acquire); }
  // The scan waits for a server that is out of reach.
  bool scanWaitsForServer() const { return scanWhenOnline_; }
  // Asks a running scan to stop after its current file and waits for it; what it did stays.
  void stopScan();

  // Every library message so far, in order, each once.
  std::vector<std::string> shownMessages() const;

 signals:
  // The library was opened, or found unusable (available() says which).
  void opened();
  // online(), waiting() or availability changed: statusText() says something else.
  void statusChanged();
  // reopen() put another library in place of the one used.
  void replaced();
  void scanStarted();
  void scanProgress(qint64 done, qint64 total);
  void scanFinished(const QString& summary, bool changedEntries);
  // Entries were added or changed: the lists read the library again.
  void changed();

 private:
  class OnceSink;
  class Worker;
  enum class State { Closed, Opening, Open, Unavailable };
  // What the window shows of a server session, read on its thread after every call.
  struct Snapshot {
    bool open = false;
    bool online = false;
    int64_t waiting = 0;
  };

  LibraryOptions optionsFor(const std::string& location) const;
  static Snapshot snapshotOf(LibrarySession* session);
  // Runs `work` with the session (not at all without one) and then `done` on the window's thread, unless
  // `context` (when given) was deleted meanwhile or the library was replaced.
  void call(QObject* context, std::function<void(LibrarySession&)> work, std::function<void()> done);
  void apply(const Snapshot& snapshot);
  void closeLibrary();
  void runScan(uint64_t generation);

  std::string location_;
  std::string outboxFile_;
  std::string dataFolder_;
  QWidget* messageParent_;
  std::unique_ptr<OnceSink> messages_;
  bool server_ = false;
  State state_ = State::Closed;
  QString unavailableReason_;
  uint64_t generation_ = 0;  // which library an answer belongs to
  // A library file: its session on the window's thread.
  std::unique_ptr<LibrarySession> session_;
  // A server: the thread its session lives on, and the threads of libraries replaced meanwhile that are
  // still ending a call.
  std::unique_ptr<Worker> worker_;
  std::vector<std::unique_ptr<Worker>> retired_;
  bool online_ = true;
  int64_t waiting_ = 0;
  QTimer* retry_;
  bool retryAsked_ = false;  // a retry was asked and has not answered
  bool scanWhenOnline_ = false;
  std::thread scanThread_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> scanEnded_{false};
};

// The status bar's words for a finished scan: "Library: 3 added, 1 updated, 120 unchanged, 0 missing,
// 1 failed" (and that it stopped or failed, when it did).
QString scanSummaryText(const LibraryScanSummary& summary);

}  // namespace velkora
