#pragma once
// The subject library as the programs use it: an index over the measurement files (the files stay the
// truth and the library can always be rebuilt from them). It keeps itself current one file at a time
// (after a save, an open or a recording) and by scanning folders; it answers the lists, the history and
// the trends. A damaged or foreign library is moved aside and rebuilt, with a message saying so.
//
// One service serves one thread; a window that scans in the background gives that thread a service of
// its own. Services in several threads, processes and programs may share one library.
//
// A library on a server is shared by several computers: there each file is named by the computer it was
// saved on and its path ("gym-pc:/home/coach/Documents/Velkora/DATA/anna.tsr"), every test keeps its
// file's bytes, and a file whose bytes the library holds already under another name that still stands (a
// test opened from the library on another computer, a copy) is not added a second time.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "library/library_backend.h"
#include "library/library_file_reader.h"
#include "model/messages.h"

namespace velkora {

struct LibraryOptions {
  // Where the library is: a file path (SQLite), or what a server backend accepts.
  std::string location;
  // The folders of measurement files a new library is built from when a damaged one was moved aside
  // (the DATA folder).
  std::vector<std::string> rebuildFolders;
  // Rebuild at once (the command line). The window passes false, scans in the background and asks
  // needsRebuild().
  bool rebuildAtOnce = true;
  // For a server library: the local library file whose outbox keeps the tests saved while the server
  // cannot be reached (the default library file); empty for none. Used by LibrarySession.
  std::string outboxLocation = {};
  // The name of this computer in a server library's file names; empty for the system's host name.
  std::string machineName = {};
};

// This computer's host name ("localhost" when the system gives none).
std::string thisMachineName();

// Queued: the server could not be reached and the test waits in the outbox (LibrarySession).
enum class IndexOutcome { Added, Updated, Unchanged, Failed, Queued };

struct LibraryIndexResult {
  IndexOutcome outcome = IndexOutcome::Failed;
  std::string reason;    // why the file could not be indexed (Failed)
  LibraryStatus status;  // a library error (also Failed)
  int64_t testId = 0;
};

struct LibraryScanProgress {
  size_t done = 0;   // files looked at
  size_t total = 0;  // measurement files found
  std::string_view path;
};
// Called after every file; returning false stops the scan. What was done until then stays committed,
// and nothing is marked missing.
using LibraryScanCallback = std::function<bool(const LibraryScanProgress&)>;

struct LibraryScanFailure {
  std::string path;
  std::string reason;
};

struct LibraryScanSummary {
  int64_t added = 0;
  int64_t updated = 0;  // changed content, or a file that was missing and is back
  int64_t unchanged = 0;
  int64_t missing = 0;  // entries newly marked missing
  int64_t queued = 0;   // files put in the outbox because the server could not be reached (LibrarySession)
  std::vector<LibraryScanFailure> failed;
  bool stopped = false;  // the callback stopped it
  LibraryStatus status;  // a library error that ended the scan early
};

class LibraryService {
 public:
  // Opens (creating when needed) the library of `options` with the backend the location names. A
  // damaged or foreign library is moved aside and a fresh one made (and rebuilt at once when asked),
  // with the message on `messages`. Null with `status` when the library cannot be used (unreachable,
  // schema too new, ...). `messages` must outlive the service.
  static std::unique_ptr<LibraryService> open(const LibraryOptions& options, MessageSink& messages,
                                              LibraryStatus& status);

  // Over a backend that open() has not yet been called on (tests, other backends).
  static std::unique_ptr<LibraryService> open(std::unique_ptr<LibraryBackend> backend, const LibraryOptions& options,
                                              MessageSink& messages, LibraryStatus& status);

  ~LibraryService();

  // Adds or updates the entry of one measurement file now: the call after a save, an open or a
  // recording. The file is read once, as `kind` when given (the window's Open Power of any name), else
  // as the kind its name says.
  LibraryIndexResult indexFile(const std::string& path, std::optional<TestKind> kind = {});

  // The same for the bytes of a file read before, with the stamp they were read under (a test from the
  // outbox): `path` is where they were saved on this computer.
  LibraryIndexResult indexBytes(const std::string& path, std::string_view bytes, const FileStamp& stamp,
                                std::optional<TestKind> kind = {});

  // Indexes the folder and everything below it: new files are added; a file whose size or modification
  // time changed is read and updated unless its hash is the same; entries whose files are gone are
  // marked missing. No file is ever changed or deleted. Commits in batches, so an interrupted scan
  // leaves a consistent library.
  LibraryScanSummary scan(const std::string& folder, const LibraryScanCallback& progress = {});

  // A damaged library was replaced by an empty one that the caller (rebuildAtOnce false) should fill by
  // scanning the rebuild folders.
  bool needsRebuild() const { return needsRebuild_; }

  // Queries; names and search text are trimmed and folded as subject identities are.
  LibraryStatus subjects(std::string_view search, std::vector<LibrarySubject>& subjects, int64_t limit = -1,
                         int64_t offset = 0);
  LibraryStatus subjectNamed(std::string_view name, std::optional<LibrarySubject>& subject);
  LibraryStatus tests(const LibraryTestQuery& query, std::vector<LibraryTestEntry>& tests);
  LibraryStatus testAtPath(const std::string& path, std::optional<LibraryTestEntry>& test);
  LibraryStatus testMetrics(int64_t testId, std::vector<StoredMetric>& metrics);
  // The subject's values of one metric, oldest first.
  LibraryStatus trend(std::string_view subjectName, std::string_view metricKey, std::vector<LibraryTrendPoint>& points);

  LibraryBackend& backend() { return *backend_; }
  std::string describe() const { return backend_->describe(); }
  bool isServer() const { return backend_->isServer(); }

  // The name the library gives a file of this computer (for a file library, its path), and back: the
  // path on this computer of a library name, empty for a file of another computer.
  std::string placeOf(const std::string& path) const;
  std::string localPathOf(const std::string& place) const;

 private:
  LibraryService(std::unique_ptr<LibraryBackend> backend, LibraryOptions options, MessageSink& messages);
  // Moves a damaged library aside, makes a new one, says so, and rebuilds when asked.
  LibraryStatus recover(const LibraryStatus& cause);
  // Runs a library operation; when it finds the library damaged, recovers and runs it once more. The
  // operation gives a LibraryStatus, or a result that holds one in `status`.
  template <typename Operation>
  auto guarded(Operation operation) -> decltype(operation());
  LibraryScanSummary scanFolder(const std::string& folder, const LibraryScanCallback& progress);
  // Reads the file (or the bytes given) and writes its entry.
  LibraryIndexResult indexOne(const std::string& path, std::optional<TestKind> kind, const std::string_view* bytes,
                              const FileStamp* stamp);
  // Inside a write transaction of a server library: the id of an entry of other name that holds the same
  // bytes and still stands (present, and on this computer its file still there).
  LibraryStatus standingCopy(const std::string& contentHash, std::optional<int64_t>& id);

  std::unique_ptr<LibraryBackend> backend_;
  LibraryOptions options_;
  std::string placePrefix_;  // "machine:" in a server library
  MessageSink& messages_;
  LibraryFileReader reader_;
  bool needsRebuild_ = false;
  bool recovering_ = false;
};

// The measurement files (.vkr, .tsr) below `folder` in path order, as a scan finds them; folders and files
// that cannot be read are in `failed`. False when `folder` is not a folder (`failed` says why).
bool findMeasurementFiles(const std::string& folder, std::vector<std::string>& paths,
                          std::vector<LibraryScanFailure>& failed);

// For callers without an open library: opens the library of `options` (LibrarySession), indexes the
// file, or queues it for a server out of reach (then true, with a message), and closes the library.
// Problems are on `messages`; false when the file was neither indexed nor queued.
bool indexFileInLibrary(const LibraryOptions& options, const std::string& path, MessageSink& messages,
                        std::optional<TestKind> kind = {});

}  // namespace velkora
