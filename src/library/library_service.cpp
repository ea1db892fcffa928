#include "library/library_service.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "library/library_location.h"
#include "library/library_session.h"
#include "library/subject_identity.h"
#include "storage/measurement_file.h"

namespace velkora {
namespace {

namespace fs = std::filesystem;

// The status of what a library operation gives.
LibraryStatus& statusOf(LibraryStatus& status) { return status; }
template <typename Result>
LibraryStatus& statusOf(Result& result) {
  return result.status;
}

// Files read before each write transaction: large enough that commits cost little, small enough that
// another program waiting to write is never held up for long.
constexpr size_t kBatchFiles = 128;

struct FoundFile {
  std::string path;
  FileStamp stamp;
  std::string place;  // its name in the library
};

// The measurement files below `root`, by their names. Links to folders are not followed (no loops);
// links to files are taken under their own names. A folder that cannot be read is reported and kept
// in `unreadable`, so that nothing below it counts as vanished.
void walk(const fs::path& root, std::vector<FoundFile>& found, std::vector<std::string>& unreadable,
          std::vector<LibraryScanFailure>& failed) {
  std::vector<fs::path> pending{root};
  while (!pending.empty()) {
    const fs::path folder = std::move(pending.back());
    pending.pop_back();
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      const fs::directory_entry& entry = *it;
      std::error_code entryError;
      if (entry.is_symlink(entryError)) {
        if (!isMeasurementFileName(entry.path().filename().native())) continue;
      } else if (entry.is_directory(entryError)) {
        pending.push_back(entry.path());
        continue;
      }
      if (!isMeasurementFileName(entry.path().filename().native())) continue;
      if (!entry.is_regular_file(entryError)) continue;  // follows a link; FIFOs and devices are left alone
      FoundFile file{entry.path().string(), {}, {}};
      if (!fileStampOf(file.path, file.stamp, entryError)) {
        failed.push_back({file.path, std::string(msg::kErrorOpeningFile) + ": " + entryError.message()});
        unreadable.push_back(file.path);
        continue;
      }
      found.push_back(std::move(file));
    }
    if (error) {
      failed.push_back({folder.string(), "the folder cannot be read: " + error.message()});
      unreadable.push_back(folder.string());
    }
  }
}

bool isWithin(std::string_view path, std::string_view folderOrFile) {
  if (!path.starts_with(folderOrFile)) return false;
  return path.size() == folderOrFile.size() || path[folderOrFile.size()] == '/';
}

bool pathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

std::string thisMachineName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

LibraryService::LibraryService(std::unique_ptr<LibraryBackend> backend, LibraryOptions options, MessageSink& messages)
    : backend_(std::move(backend)), options_(std::move(options)), messages_(messages) {
  if (backend_->isServer())
    placePrefix_ = (options_.machineName.empty() ? thisMachineName() : options_.machineName) + ":";
}

std::string LibraryService::placeOf(const std::string& path) const { return placePrefix_ + path; }

std::string LibraryService::localPathOf(const std::string& place) const {
  if (!place.starts_with(placePrefix_)) return {};
  return place.substr(placePrefix_.size());
}

LibraryService::~LibraryService() = default;

std::unique_ptr<LibraryService> LibraryService::open(const LibraryOptions& options, MessageSink& messages,
                                                     LibraryStatus& status) {
  std::unique_ptr<LibraryBackend> backend = makeLibraryBackend(options.location, status);
  if (!backend) return nullptr;
  return open(std::move(backend), options, messages, status);
}

std::unique_ptr<LibraryService> LibraryService::open(std::unique_ptr<LibraryBackend> backend,
                                                     const LibraryOptions& options, MessageSink& messages,
                                                     LibraryStatus& status) {
  status = backend->open();
  std::unique_ptr<LibraryService> service(new LibraryService(std::move(backend), options, messages));
  // A library file is moved aside and rebuilt; a server's database is never touched that way.
  if ((status.kind == LibraryErrorKind::Damaged || status.kind == LibraryErrorKind::Foreign) && !service->isServer())
    status = service->recover(status);
  if (!status.ok()) return nullptr;
  return service;
}

LibraryStatus LibraryService::recover(const LibraryStatus& cause) {
  std::string aside;
  if (LibraryStatus s = backend_->setAside(aside); !s.ok()) return s;
  if (LibraryStatus s = backend_->open(); !s.ok()) return s;
  needsRebuild_ = true;
  std::string message = cause.kind == LibraryErrorKind::Foreign
                            ? "The file " + backend_->describe() + " is not a Velkora library."
                            : "The library " + backend_->describe() + " is damaged (" + cause.message + ").";
  message += " It was moved to " + aside + ", and a new library is built from the measurement files";
  message += options_.rebuildFolders.empty() ? "." : " in " + joined(options_.rebuildFolders) + ".";
  messages_.showMessage(message);
  if (!options_.rebuildAtOnce) return LibraryStatus::success();
  recovering_ = true;
  LibraryStatus status;
  for (const std::string& folder : options_.rebuildFolders) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) continue;
    const LibraryScanSummary summary = scanFolder(folder, {});
    if (!summary.status.ok()) {
      status = summary.status;
      break;
    }
  }
  recovering_ = false;
  if (status.ok()) needsRebuild_ = false;
  return status;
}

template <typename Operation>
auto LibraryService::guarded(Operation operation) -> decltype(operation()) {
  auto result = operation();
  LibraryStatus& status = statusOf(result);
  if (status.kind != LibraryErrorKind::Damaged || recovering_) return result;
  if (LibraryStatus recovered = recover(status); !recovered.ok()) {
    status = recovered;
    return result;
  }
  return operation();
}

LibraryIndexResult LibraryService::indexFile(const std::string& path, std::optional<TestKind> kind) {
  return guarded([&] { return indexOne(path, kind, nullptr, nullptr); });
}

LibraryIndexResult LibraryService::indexBytes(const std::string& path, std::string_view bytes, const FileStamp& stamp,
                                              std::optional<TestKind> kind) {
  return guarded([&] { return indexOne(path, kind, &bytes, &stamp); });
}

LibraryStatus LibraryService::standingCopy(const std::string& contentHash, std::optional<int64_t>& id) {
  id.reset();
  std::vector<LibraryTestEntry> copies;
  if (LibraryStatus s = backend_->testsByHash(contentHash, copies); !s.ok()) return s;
  for (const LibraryTestEntry& copy : copies) {
    if (copy.missing) continue;
    const std::string local = localPathOf(copy.path);
    if (local.empty() || pathExists(local)) {
      id = copy.id;
      break;
    }
  }
  return LibraryStatus::success();
}

LibraryIndexResult LibraryService::indexOne(const std::string& path, std::optional<TestKind> kind,
                                            const std::string_view* bytes, const FileStamp* stamp) {
  LibraryIndexResult result;
  const std::string libraryPath = libraryPathOf(path);
  LibraryTest test;
  const bool read = bytes != nullptr ? reader_.readBytes(libraryPath, *bytes, *stamp, test, result.reason, kind)
                                     : reader_.read(libraryPath, test, result.reason, kind);
  if (read && isServer()) test.bytes = bytes != nullptr ? std::string(*bytes) : reader_.lastBytes();
  test.path = placeOf(libraryPath);
  std::optional<LibraryTestEntry> existing;
  result.status = backend_->testByPath(test.path, existing);
  if (!result.status.ok()) return result;
  IndexOutcome outcome = IndexOutcome::Failed;
  result.status = backend_->writeTransaction([&]() -> LibraryStatus {
    result.testId = existing ? existing->id : 0;
    if (!read) {
      outcome = IndexOutcome::Failed;
      // The entry no longer describes a test at this path.
      return existing && !existing->missing ? backend_->setMissing(existing->id, true) : LibraryStatus::success();
    }
    if (existing && existing->contentHash == test.contentHash) {
      outcome = existing->missing ? IndexOutcome::Updated : IndexOutcome::Unchanged;
      return backend_->updateStamp(existing->id, test.stamp);
    }
    if (!existing && isServer()) {
      std::optional<int64_t> copy;
      if (LibraryStatus s = standingCopy(test.contentHash, copy); !s.ok()) return s;
      if (copy) {
        outcome = IndexOutcome::Unchanged;  // the library has this test already
        result.testId = *copy;
        return LibraryStatus::success();
      }
    }
    outcome = existing ? IndexOutcome::Updated : IndexOutcome::Added;
    return backend_->upsertTest(test, result.testId);
  });
  result.outcome = result.status.ok() ? outcome : IndexOutcome::Failed;
  return result;
}

LibraryScanSummary LibraryService::scan(const std::string& folder, const LibraryScanCallback& progress) {
  return guarded([&] { return scanFolder(folder, progress); });
}

LibraryScanSummary LibraryService::scanFolder(const std::string& folder, const LibraryScanCallback& progress) {
  LibraryScanSummary summary;
  std::error_code error;
  fs::path root = fs::weakly_canonical(fs::absolute(fs::path(folder), error), error);
  if (error || !fs::is_directory(root, error)) {
    if (!error) error = std::make_error_code(std::errc::not_a_directory);
    summary.status = LibraryStatus::failure(LibraryErrorKind::Failed, folder + ": " + error.message());
    return summary;
  }
  const std::string rootText = root.string();

  // What the library knew before the walk: an entry saved meanwhile is either seen by the walk or not
  // in this list, so it is never taken for vanished.
  std::vector<LibraryFileState> states;
  summary.status = backend_->fileStatesUnder(placeOf(rootText), states);
  if (!summary.status.ok()) return summary;
  std::unordered_map<std::string_view, const LibraryFileState*> known;
  known.reserve(states.size());
  for (const LibraryFileState& state : states) known.emplace(state.path, &state);

  std::vector<FoundFile> found;
  std::vector<std::string> unreadable;
  walk(root, found, unreadable, summary.failed);
  std::sort(found.begin(), found.end(), [](const FoundFile& a, const FoundFile& b) { return a.path < b.path; });
  for (FoundFile& file : found) file.place = placeOf(file.path);

  LibraryScanProgress step{0, found.size(), {}};
  const auto report = [&](std::string_view path) {
    ++step.done;
    step.path = path;
    if (progress && !progress(step)) summary.stopped = true;
    return !summary.stopped;
  };

  // Work for the write transactions, in path order.
  enum class Action { Read, Restore };
  struct Job {
    const FoundFile* file;
    const LibraryFileState* state;
    Action action;
  };
  std::vector<Job> jobs;
  for (const FoundFile& file : found) {
    auto it = known.find(file.place);
    const LibraryFileState* state = it == known.end() ? nullptr : it->second;
    if (state && state->stamp == file.stamp) {
      if (!state->missing) {
        ++summary.unchanged;
        if (!report(file.path)) return summary;
        continue;
      }
      jobs.push_back({&file, state, Action::Restore});  // back in place as it was: no need to read it
      continue;
    }
    jobs.push_back({&file, state, Action::Read});
  }

  struct Done {
    const Job* job;
    bool read = false;
    LibraryTest test;
    std::string reason;
  };
  std::vector<Done> batch;
  batch.reserve(kBatchFiles);
  for (size_t first = 0; first < jobs.size(); first += kBatchFiles) {
    const size_t last = std::min(jobs.size(), first + kBatchFiles);
    batch.clear();
    bool stopping = false;
    for (size_t k = first; k < last && !stopping; ++k) {
      Done& done = batch.emplace_back();
      done.job = &jobs[k];
      if (jobs[k].action == Action::Read) {
        done.read = reader_.read(jobs[k].file->path, done.test, done.reason);
        done.test.path = jobs[k].file->place;
        if (done.read && isServer()) done.test.bytes = reader_.lastBytes();
      }
      stopping = !report(jobs[k].file->path);
    }
    LibraryScanSummary tally;
    summary.status = backend_->writeTransaction([&]() -> LibraryStatus {
      tally = LibraryScanSummary{};  // the work may run again
      for (Done& done : batch) {
        const LibraryFileState* state = done.job->state;
        LibraryStatus s;
        if (done.job->action == Action::Restore) {
          s = backend_->updateStamp(state->testId, done.job->file->stamp);
          ++tally.updated;
        } else if (!done.read) {
          tally.failed.push_back({done.job->file->path, done.reason});
          if (state && !state->missing) s = backend_->setMissing(state->testId, true);
        } else if (state && state->contentHash == done.test.contentHash) {
          s = backend_->updateStamp(state->testId, done.test.stamp);
          ++(state->missing ? tally.updated : tally.unchanged);
        } else {
          std::optional<int64_t> copy;
          if (!state && isServer() && !(s = standingCopy(done.test.contentHash, copy)).ok()) return s;
          if (copy) {
            ++tally.unchanged;  // a test the library has already, under another name
          } else {
            int64_t id = 0;
            s = backend_->upsertTest(done.test, id);
            ++(state ? tally.updated : tally.added);
          }
        }
        if (!s.ok()) return s;
      }
      return LibraryStatus::success();
    });
    if (!summary.status.ok()) return summary;
    summary.added += tally.added;
    summary.updated += tally.updated;
    summary.unchanged += tally.unchanged;
    summary.failed.insert(summary.failed.end(), tally.failed.begin(), tally.failed.end());
    if (stopping) return summary;
  }

  // Entries whose files are gone. Each is looked for once more right before it is marked, so a file
  // saved or moved back while the scan ran is never taken for vanished.
  std::unordered_map<std::string_view, bool> seen;
  seen.reserve(found.size());
  for (const FoundFile& file : found) seen.emplace(file.place, true);
  std::vector<const LibraryFileState*> vanished;
  for (const LibraryFileState& state : states) {
    if (state.missing || seen.count(state.path) > 0) continue;
    const std::string local = localPathOf(state.path);
    if (std::any_of(unreadable.begin(), unreadable.end(),
                    [&](const std::string& place) { return isWithin(local, place); }))
      continue;
    if (pathExists(local)) continue;
    vanished.push_back(&state);
  }
  for (size_t first = 0; first < vanished.size(); first += kBatchFiles) {
    const size_t last = std::min(vanished.size(), first + kBatchFiles);
    summary.status = backend_->writeTransaction([&]() -> LibraryStatus {
      for (size_t k = first; k < last; ++k)
        if (LibraryStatus s = backend_->setMissing(vanished[k]->testId, true); !s.ok()) return s;
      return LibraryStatus::success();
    });
    if (!summary.status.ok()) return summary;
    summary.missing += static_cast<int64_t>(last - first);
  }
  return summary;
}

LibraryStatus LibraryService::subjects(std::string_view search, std::vector<LibrarySubject>& subjects, int64_t limit,
                                       int64_t offset) {
  const LibrarySubjectQuery query{subjectKey(search), limit, offset};
  return guarded([&] { return backend_->listSubjects(query, subjects); });
}

LibraryStatus LibraryService::subjectNamed(std::string_view name, std::optional<LibrarySubject>& subject) {
  const std::string key = subjectKey(name);
  return guarded([&] { return backend_->subjectByKey(key, subject); });
}

LibraryStatus LibraryService::tests(const LibraryTestQuery& query, std::vector<LibraryTestEntry>& tests) {
  return guarded([&] { return backend_->listTests(query, tests); });
}

LibraryStatus LibraryService::testAtPath(const std::string& path, std::optional<LibraryTestEntry>& test) {
  const std::string libraryPath = placeOf(libraryPathOf(path));
  return guarded([&] { return backend_->testByPath(libraryPath, test); });
}

LibraryStatus LibraryService::testMetrics(int64_t testId, std::vector<StoredMetric>& metrics) {
  return guarded([&] { return backend_->testMetrics(testId, metrics); });
}

LibraryStatus LibraryService::trend(std::string_view subjectName, std::string_view metricKey,
                                    std::vector<LibraryTrendPoint>& points) {
  const LibraryTrendQuery query{subjectKey(subjectName), std::string(metricKey)};
  return guarded([&] { return backend_->trend(query, points); });
}

bool findMeasurementFiles(const std::string& folder, std::vector<std::string>& paths,
                          std::vector<LibraryScanFailure>& failed) {
  paths.clear();
  std::error_code error;
  fs::path root = fs::weakly_canonical(fs::absolute(fs::path(folder), error), error);
  if (error || !fs::is_directory(root, error)) {
    if (!error) error = std::make_error_code(std::errc::not_a_directory);
    failed.push_back({folder, error.message()});
    return false;
  }
  std::vector<FoundFile> found;
  std::vector<std::string> unreadable;
  walk(root, found, unreadable, failed);
  for (FoundFile& file : found) paths.push_back(std::move(file.path));
  std::sort(paths.begin(), paths.end());
  return true;
}

bool indexFileInLibrary(const LibraryOptions& options, const std::string& path, MessageSink& messages,
                        std::optional<TestKind> kind) {
  LibraryStatus status;
  std::unique_ptr<LibrarySession> library = LibrarySession::open(options, messages, status);
  if (!library) {
    messages.showMessage(status.message);
    return false;
  }
  const LibraryIndexResult result = library->indexFile(path, kind);
  if (result.outcome == IndexOutcome::Queued) {
    messages.showMessage(result.reason + "; the test waits in the outbox (" + testsWaitingText(library->outboxCount()) +
                         ")");
    return true;
  }
  if (!result.status.ok()) {
    messages.showMessage(result.status.message);
    return false;
  }
  if (result.outcome == IndexOutcome::Failed) {
    messages.showMessage("the library could not index " + path + ": " + result.reason);
    return false;
  }
  return true;
}

}  // namespace velkora
