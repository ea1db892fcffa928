#pragma once
// One program's use of a library, as the window and velkora-cli use it: a library file, or a library on a
// database server with the outbox behind it. While the server cannot be reached, every test saved, opened
// or scanned waits in the outbox of the local library file (its bytes, hash and path); it is sent in the
// order it was saved when the server answers again (sendOutbox, which the window calls every 30 s and at
// each save). Sending is idempotent by content: a test sent twice is stored once.
//
// For the window:
//   LibrarySession::open(options, messages, status)   the library of Setup -> Library... (or --library),
//                                                    options.outboxLocation = the default library file
//   indexFile(path, kind)                             after every save and open: indexed now, or queued
//   outboxCount(), statusText()                       "Library offline – 3 tests waiting" for the status bar
//   sendOutbox()                                      every 30 s and at each save
//   library()                                         lists, history, trends (null while offline)
//   fetchTestFile(test, dataFolder, path)             a test of the library as a file to open
//   testLibraryConnection(location)                   (library_location.h) the "Test connection" button
// A call may wait for a server that does not answer, up to its connect_timeout (10 s unless the location
// sets one), so the window makes these calls from a thread of its own. One session serves one thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "library/library_file_reader.h"
#include "library/library_outbox.h"
#include "library/library_service.h"

namespace velkora {

struct LibrarySendResult {
  int64_t sent = 0;      // tests the library took from the outbox (or had already)
  int64_t waiting = 0;   // tests still waiting
  LibraryStatus status;  // why sending stopped early (the server cannot be reached, refused, ...)
};

// The status bar's text: "Library offline – N tests waiting" while the server cannot be reached, "N tests
// waiting to be sent" while some wait, nothing otherwise.
std::string libraryStatusText(bool online, int64_t waiting);

// "N tests waiting" for every N, 1 and 0 included: scripts read this text.
std::string testsWaitingText(int64_t waiting);

class LibrarySession {
 public:
  // Opens the library of `options.location`; a server library keeps its outbox in the library file
  // `options.outboxLocation` (the default library), a library file in itself. A server that cannot be reached gives an
  // offline session (with the reason in `status`, of kind Unreachable) that queues what is saved; null (with the
  // reason) when the library cannot be used at all: the user or password refused, TLS failed, a newer schema, a file
  // that cannot be opened. `messages` must outlive the session.
  static std::unique_ptr<LibrarySession> open(const LibraryOptions& options, MessageSink& messages,
                                              LibraryStatus& status);
  ~LibrarySession();

  bool isServer() const { return server_; }
  // A library file always; a server when the latest attempt reached it.
  bool online() const { return online_; }
  std::string describe() const { return described_; }
  // Why the server could not be reached the latest time (kind Unreachable), or ok.
  const LibraryStatus& lastProblem() const { return lastProblem_; }

  // The open library for lists, history and trends; null while the server cannot be reached (asked again
  // first). A call on it that finds the server gone says so (kind Unreachable); pass its status to
  // noteStatus so that online() and statusText() follow.
  LibraryService* library();
  void noteStatus(const LibraryStatus& status) { note(status); }

  // After a save or an open: the file's entry is added or updated now, or, with the server out of reach,
  // the test waits in the outbox (Queued; `reason` says why). Tests already waiting are sent first, so
  // the server takes them in order.
  LibraryIndexResult indexFile(const std::string& path, std::optional<TestKind> kind = {});

  // Scans a folder (LibraryService::scan). With the server out of reach, before or during the scan, every
  // measurement file below the folder waits in the outbox (summary.queued); nothing is marked missing.
  LibraryScanSummary scan(const std::string& folder, const LibraryScanCallback& progress = {});

  // Tests waiting for this session's server; for a library file, for every server.
  int64_t outboxCount();
  std::string statusText() { return libraryStatusText(online_, outboxCount()); }

  // Sends what waits, in order, until the server cannot be reached. A server session sends what waits for
  // its server; a library-file session what waits for every server (velkora-cli library sync).
  LibrarySendResult sendOutbox();

  // The test's file, to be opened: the file itself when it is on this computer with the bytes the library
  // holds; otherwise (a server library) the library's bytes written into `dataFolder` under the file's own
  // name, "name (2).tsr" and so on when another file has that name (an identical file there is used as it
  // is). Nothing is overwritten; the bytes are checked against the test's hash before and after writing.
  LibraryStatus fetchTestFile(const LibraryTestEntry& test, const std::string& dataFolder, std::string& path);

 private:
  LibrarySession(LibraryOptions options, MessageSink& messages);
  // Opens the server's service when there is none yet.
  bool ensureService();
  void note(const LibraryStatus& status);
  // The outbox, opened on first need; with `create` false, null (and ok) while its file does not exist:
  // nothing can wait there.
  LibraryOutboxStore* outbox(LibraryStatus& status, bool create);
  LibraryIndexResult queue(const std::string& path, const std::string& bytes, const FileStamp& stamp,
                           std::optional<TestKind> kind);
  // Sends what waits for `server` through `service`.
  void sendTo(const std::string& server, LibraryService& service, LibraryOutboxStore& box, LibrarySendResult& result);
  std::string machineName() const;

  LibraryOptions options_;
  MessageSink& messages_;
  bool server_ = false;
  // When the latest attempt to reach the server failed: another is made only a moment later, so a call
  // right after a failed one does not wait for an unanswering server a second time.
  std::optional<std::chrono::steady_clock::time_point> failedAt_;
  std::string described_;  // the location without the password: the outbox's name for the server
  std::unique_ptr<LibraryService> service_;
  bool online_ = false;
  LibraryStatus lastProblem_;
  std::unique_ptr<LibraryOutboxStore> outbox_;
  LibraryFileReader reader_;
};

}  // namespace velkora
