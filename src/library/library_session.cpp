#include "library/library_session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>

#include "library/library_location.h"
#include "library/sha256.h"

namespace velkora {
namespace {

namespace fs = std::filesystem;

// A server that could not be reached is asked again only after this pause.
constexpr auto kRetryPause = std::chrono::seconds(3);

std::string errnoText(int error) { return std::error_code(error, std::generic_category()).message(); }

// The file name a library name ends in, one that can be made in a folder; by its kind when it has none.
std::string fileNameOf(const std::string& place, TestKind kind) {
  std::string name = place.substr(place.find_last_of('/') + 1);
  if (name.empty() || name == "." || name == "..") name = kind == TestKind::Power ? "test.tsr" : "test.vkr";
  return name;
}

// "name (2).tsr" for the k-th candidate of "name.tsr".
std::string candidateName(const std::string& name, int k) {
  if (k == 1) return name;
  const size_t dot = name.find_last_of('.');
  const bool extension = dot != std::string::npos && dot > 0;
  const std::string stem = extension ? name.substr(0, dot) : name;
  const std::string suffix = extension ? name.substr(dot) : "";
  return stem + " (" + std::to_string(k) + ")" + suffix;
}

bool sameContent(const std::string& path, const std::string& hash) {
  std::string bytes;
  FileStamp stamp;
  std::error_code error;
  return readFileBytes(path, bytes, stamp, error) && contentHash(bytes) == hash;
}

// Writes `bytes` into `folder` as a new file of the name, or the first free "name (k)" (an existing file
// with these very bytes is taken as it is). Never replaces a file: the bytes go to a temporary file that
// is flushed and then linked to the free name, which fails rather than overwrite.
LibraryStatus writeNewFile(const std::string& folder, const std::string& name, const std::string& bytes,
                           const std::string& hash, std::string& path) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error))
    return LibraryStatus::failure(LibraryErrorKind::Failed, "the folder " + folder + " cannot be made: " +
                                                                (error ? error.message() : "not a folder"));
  std::string temporary = (fs::path(folder) / ".velkora-fetch-XXXXXX").string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return LibraryStatus::failure(LibraryErrorKind::Failed, folder + ": " + errnoText(errno));
  size_t written = 0;
  int writeError = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      writeError = n < 0 ? errno : EIO;
      break;
    }
    written += static_cast<size_t>(n);
  }
  if (writeError == 0 && ::fchmod(fd, 0644) != 0) writeError = errno;  // as a saved file, not private
  if (writeError == 0 && ::fsync(fd) != 0) writeError = errno;
  if (::close(fd) != 0 && writeError == 0) writeError = errno;
  if (writeError != 0) {
    ::unlink(temporary.c_str());
    return LibraryStatus::failure(LibraryErrorKind::Failed, temporary + ": " + errnoText(writeError));
  }
  LibraryStatus status = LibraryStatus::failure(LibraryErrorKind::Failed, "no free name for " + name + " in " + folder);
  for (int k = 1; k <= 9999; ++k) {
    const std::string candidate = (fs::path(folder) / candidateName(name, k)).string();
    struct stat st {};
    if (::lstat(candidate.c_str(), &st) == 0) {
      if (S_ISREG(st.st_mode) && sameContent(candidate, hash)) {
        path = candidate;
        status = LibraryStatus::success();
        break;
      }
      continue;
    }
    if (::link(temporary.c_str(), candidate.c_str()) == 0) {
      path = candidate;
      status = LibraryStatus::success();
      break;
    }
    if (errno != EEXIST) {
      status = LibraryStatus::failure(LibraryErrorKind::Failed, candidate + ": " + errnoText(errno));
      break;
    }
  }
  ::unlink(temporary.c_str());
  if (status.ok()) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
    if (!sameContent(path, hash))
      status = LibraryStatus::failure(LibraryErrorKind::Failed,
                                      "the file " + path + " does not hold the bytes the library gave");
  }
  return status;
}

}  // namespace

std::string testsWaitingText(int64_t waiting) {
  return std::to_string(waiting) + " tests waiting";
}

std::string libraryStatusText(bool online, int64_t waiting) {
  if (!online) return "Library offline \u2013 " + testsWaitingText(waiting);
  if (waiting > 0) return testsWaitingText(waiting) + " to be sent";
  return {};
}

LibrarySession::LibrarySession(LibraryOptions options, MessageSink& messages)
    : options_(std::move(options)),
      messages_(messages),
      server_(libraryLocationKind(options_.location) == LibraryLocationKind::Server),
      described_(withoutPassword(options_.location)) {
  if (!server_) options_.outboxLocation = options_.location;  // a library file keeps its own outbox
}

LibrarySession::~LibrarySession() = default;

std::unique_ptr<LibrarySession> LibrarySession::open(const LibraryOptions& options, MessageSink& messages,
                                                     LibraryStatus& status) {
  std::unique_ptr<LibrarySession> session(new LibrarySession(options, messages));
  session->service_ = LibraryService::open(options, messages, status);
  session->online_ = session->service_ != nullptr;
  if (session->online_) return session;
  if (session->server_ && status.kind == LibraryErrorKind::Unreachable) {
    session->lastProblem_ = status;
    session->failedAt_ = std::chrono::steady_clock::now();
    return session;
  }
  return nullptr;
}

std::string LibrarySession::machineName() const {
  return options_.machineName.empty() ? thisMachineName() : options_.machineName;
}

void LibrarySession::note(const LibraryStatus& status) {
  if (!server_) return;
  if (status.kind == LibraryErrorKind::Unreachable) {
    online_ = false;
    lastProblem_ = status;
  } else if (status.ok()) {
    online_ = true;
    lastProblem_ = LibraryStatus::success();
  }
}

bool LibrarySession::ensureService() {
  if (service_) return true;
  const auto now = std::chrono::steady_clock::now();
  if (failedAt_ && now - *failedAt_ < kRetryPause) return false;
  LibraryStatus status;
  service_ = LibraryService::open(options_, messages_, status);
  if (service_) {
    note(LibraryStatus::success());
    failedAt_.reset();
  } else {
    online_ = false;
    lastProblem_ = status;
    failedAt_ = std::chrono::steady_clock::now();
  }
  return service_ != nullptr;
}

LibraryService* LibrarySession::library() {
  if (server_) ensureService();
  return service_.get();
}

LibraryOutboxStore* LibrarySession::outbox(LibraryStatus& status, bool create) {
  status = LibraryStatus::success();
  if (outbox_) return outbox_.get();
  if (options_.outboxLocation.empty()) {
    if (create) status = LibraryStatus::failure(LibraryErrorKind::Failed, "no local library file keeps an outbox");
    return nullptr;
  }
  std::error_code error;
  if (!create && !fs::exists(options_.outboxLocation, error)) return nullptr;
  std::unique_ptr<LibraryOutboxStore> box = makeSqliteOutboxStore(options_.outboxLocation);
  status = box->open();
  if (status.kind == LibraryErrorKind::Damaged || status.kind == LibraryErrorKind::Foreign) {
    // As the library file itself would be: moved aside, and a new one made in its place.
    std::string aside;
    const LibraryStatus cause = status;
    status = box->setAside(aside);
    if (status.ok()) status = box->open();
    if (status.ok())
      messages_.showMessage("The library " + options_.outboxLocation + " could not be read (" + cause.message +
                            "). It was moved to " + aside + ", and a new one keeps the tests waiting for " +
                            described_ + "; scan the DATA folder to index its files again.");
  }
  if (!status.ok()) return nullptr;
  outbox_ = std::move(box);
  return outbox_.get();
}

LibraryIndexResult LibrarySession::queue(const std::string& path, const std::string& bytes, const FileStamp& stamp,
                                         std::optional<TestKind> kind) {
  LibraryIndexResult result;
  LibraryTest test;
  // Only a measurement file waits: what the library would refuse is refused now.
  if (!reader_.readBytes(path, bytes, stamp, test, result.reason, kind)) return result;
  LibraryStatus status;
  LibraryOutboxStore* box = outbox(status, true);
  if (box == nullptr) {
    result.status = lastProblem_;
    result.status.message += "; the test cannot wait for it: " + status.message;
    return result;
  }
  OutboxItem item;
  item.server = described_;
  item.path = path;
  item.kind = kind;
  item.stamp = stamp;
  item.contentHash = test.contentHash;
  item.bytes = bytes;
  item.queuedAt = static_cast<int64_t>(std::time(nullptr));
  result.status = box->enqueue(item, result.testId);
  if (!result.status.ok()) return result;
  result.outcome = IndexOutcome::Queued;
  result.reason = lastProblem_.message;
  return result;
}

LibraryIndexResult LibrarySession::indexFile(const std::string& path, std::optional<TestKind> kind) {
  if (!server_) return service_->indexFile(path, kind);
  const std::string local = libraryPathOf(path);
  std::string bytes;
  FileStamp stamp;
  std::error_code error;
  if (!readFileBytes(local, bytes, stamp, error)) {
    // Nothing to send or keep; a library that can be reached marks the entry of a vanished file.
    if (ensureService()) {
      LibraryIndexResult result = service_->indexFile(local, kind);
      note(result.status);
      if (result.status.kind != LibraryErrorKind::Unreachable) return result;
    }
    LibraryIndexResult result;
    result.reason = std::string(msg::kErrorOpeningFile) + ": " + error.message();
    return result;
  }
  // What waits goes first, so that the server takes the tests in the order they were saved.
  LibraryStatus outboxStatus;
  LibraryOutboxStore* box = outbox(outboxStatus, false);
  int64_t waiting = 0;
  if (box != nullptr && box->outboxCount(described_, waiting).ok() && waiting > 0) {
    const LibrarySendResult sent = sendOutbox();
    waiting = sent.waiting;
    // A server that refuses what waits (a reader's write, a test it will not take) would refuse this one
    // too, and it would wait behind them for good: said now, never taken for queued.
    if (waiting > 0 && !sent.status.ok() && sent.status.kind != LibraryErrorKind::Unreachable) {
      LibraryIndexResult result;
      result.status = sent.status;
      return result;
    }
  }
  if (waiting == 0) {
    if (ensureService()) {
      LibraryIndexResult result = service_->indexBytes(local, bytes, stamp, kind);
      note(result.status);
      if (result.status.kind != LibraryErrorKind::Unreachable) return result;
    } else if (lastProblem_.kind != LibraryErrorKind::Unreachable) {
      LibraryIndexResult result;  // refused for good (a password, TLS, a newer schema): nothing to wait for
      result.status = lastProblem_;
      return result;
    }
  }
  return queue(local, bytes, stamp, kind);
}

LibraryScanSummary LibrarySession::scan(const std::string& folder, const LibraryScanCallback& progress) {
  if (!server_) return service_->scan(folder, progress);
  LibraryScanSummary summary;
  if (ensureService()) {
    summary = service_->scan(folder, progress);
    note(summary.status);
    if (summary.status.kind != LibraryErrorKind::Unreachable) return summary;
  }
  if (lastProblem_.kind != LibraryErrorKind::Unreachable) {
    summary.status = lastProblem_;
    return summary;
  }
  // The server is out of reach (or went away during the scan): every file waits, those it took already
  // too (it finds them unchanged when they come).
  summary.failed.clear();
  summary.stopped = false;
  std::vector<std::string> files;
  if (!findMeasurementFiles(folder, files, summary.failed)) {
    summary.status = LibraryStatus::failure(LibraryErrorKind::Failed, folder + ": " + summary.failed.back().reason);
    summary.failed.clear();
    return summary;
  }
  summary.status = LibraryStatus::success();
  LibraryScanProgress step{0, files.size(), {}};
  for (const std::string& file : files) {
    std::string bytes;
    FileStamp stamp;
    std::error_code error;
    if (!readFileBytes(file, bytes, stamp, error)) {
      summary.failed.push_back({file, std::string(msg::kErrorOpeningFile) + ": " + error.message()});
    } else {
      const LibraryIndexResult result = queue(file, bytes, stamp, std::nullopt);
      if (result.outcome == IndexOutcome::Queued) {
        ++summary.queued;
      } else if (!result.status.ok()) {
        summary.status = result.status;
        return summary;
      } else {
        summary.failed.push_back({file, result.reason});
      }
    }
    ++step.done;
    step.path = file;
    if (progress && !progress(step)) {
      summary.stopped = true;
      break;
    }
  }
  return summary;
}

int64_t LibrarySession::outboxCount() {
  if (options_.outboxLocation.empty()) return 0;
  LibraryStatus status;
  LibraryOutboxStore* box = outbox(status, false);
  int64_t count = 0;
  if (box != nullptr) box->outboxCount(server_ ? described_ : std::string(), count);
  return count;
}

void LibrarySession::sendTo(const std::string& server, LibraryService& service, LibraryOutboxStore& box,
                            LibrarySendResult& result) {
  int64_t after = 0;
  while (true) {
    std::optional<OutboxItem> item;
    if (LibraryStatus s = box.nextInOutbox(server, after, item); !s.ok()) {
      result.status = s;
      return;
    }
    if (!item) return;
    after = item->id;
    const LibraryIndexResult sent = service.indexBytes(item->path, item->bytes, item->stamp, item->kind);
    if (!sent.status.ok()) {
      // Kept, and everything after it: the server takes them in order once it can.
      result.status = sent.status;
      return;
    }
    if (sent.outcome == IndexOutcome::Failed)
      messages_.showMessage("A test waiting for " + server + " is not a measurement file Velkora can read and was " +
                            "taken out of the outbox: " + item->path + ": " + sent.reason);
    if (LibraryStatus s = box.removeFromOutbox(item->id); !s.ok()) {
      result.status = s;
      return;
    }
    ++result.sent;
  }
}

LibrarySendResult LibrarySession::sendOutbox() {
  LibrarySendResult result;
  if (options_.outboxLocation.empty()) return result;
  LibraryOutboxStore* box = outbox(result.status, false);
  if (box == nullptr) return result;
  if (server_) {
    int64_t waiting = 0;
    if (box->outboxCount(described_, waiting).ok() && waiting > 0) {
      if (ensureService()) {
        sendTo(described_, *service_, *box, result);
        note(result.status);
      } else {
        result.status = lastProblem_;
      }
    }
  } else {
    // Every server something waits for, each through a connection of its own.
    std::vector<std::string> servers;
    if (LibraryStatus s = box->outboxServers(servers); !s.ok()) result.status = s;
    for (const std::string& server : servers) {
      LibraryOptions options;
      options.location = server;
      options.machineName = machineName();
      LibraryStatus status;
      std::unique_ptr<LibraryService> service = LibraryService::open(options, messages_, status);
      LibrarySendResult part;
      if (service)
        sendTo(server, *service, *box, part);
      else
        part.status = status;
      result.sent += part.sent;
      if (!part.status.ok() && result.status.ok()) result.status = part.status;
    }
  }
  box->outboxCount(server_ ? described_ : std::string(), result.waiting);
  return result;
}

LibraryStatus LibrarySession::fetchTestFile(const LibraryTestEntry& test, const std::string& dataFolder,
                                            std::string& path) {
  path.clear();
  if (!server_) {
    std::error_code error;
    if (!fs::is_regular_file(test.path, error))
      return LibraryStatus::failure(LibraryErrorKind::Failed, "the file " + test.path + " is missing");
    path = test.path;
    return LibraryStatus::success();
  }
  // A test saved on this computer whose file is still there as the library knows it.
  const std::string prefix = machineName() + ":";
  if (test.path.starts_with(prefix)) {
    const std::string local = test.path.substr(prefix.size());
    if (sameContent(local, test.contentHash)) {
      path = local;
      return LibraryStatus::success();
    }
  }
  if (!ensureService()) return lastProblem_;
  std::optional<std::string> bytes;
  LibraryStatus status = service_->backend().fileBytes(test.contentHash, bytes);
  note(status);
  if (!status.ok()) return status;
  if (!bytes)
    return LibraryStatus::failure(LibraryErrorKind::Failed,
                                  "the library " + described_ + " keeps no file for " + test.path);
  if (contentHash(*bytes) != test.contentHash)
    return LibraryStatus::failure(LibraryErrorKind::Failed, "the bytes the library " + described_ + " gave for " +
                                                                test.path +
                                                                " do not match its hash; nothing was written");
  return writeNewFile(dataFolder, fileNameOf(test.path, test.kind), *bytes, test.contentHash, path);
}

}  // namespace velkora
