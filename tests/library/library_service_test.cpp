// The library as the programs use it: a recorded test found with its metrics, a renamed file, a damaged
// library rebuilt; what a scan makes of new, changed, vanished and broken files; an interrupted scan;
// two processes writing one library at once.

#include "library/library_service.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <thread>

#include "app/program_records.h"
#include "library/library_file_reader.h"
#include "library/sha256.h"
#include "library/sqlite_backend.h"
#include "storage/binary_io.h"
#include "storage/measurement_file.h"
#include "support/cli_runner.h"
#include "support/measurement_files.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace velkora {
namespace {

namespace fs = std::filesystem;
using testing::GeneratedTest;
using testing::readFile;
using testing::TempDir;
using testing::writeFile;
using testing::writeGeneratedTest;

std::unique_ptr<LibraryService> openLibrary(const std::string& location, const std::vector<std::string>& folders,
                                            MessageSink& messages) {
  LibraryStatus status;
  std::unique_ptr<LibraryService> library = LibraryService::open({location, folders, true}, messages, status);
  EXPECT_TRUE(library) << status.message;
  return library;
}

std::vector<LibraryTestEntry> allTests(LibraryService& library) {
  std::vector<LibraryTestEntry> tests;
  EXPECT_TRUE(library.tests({}, tests).ok());
  return tests;
}

std::set<std::string> presentPaths(LibraryService& library) {
  std::set<std::string> paths;
  for (const LibraryTestEntry& t : allTests(library))
    if (!t.missing) paths.insert(t.path);
  return paths;
}

std::string sha256sum(const std::string& path) {
  FILE* pipe = ::popen(("sha256sum '" + path + "'").c_str(), "r");
  if (pipe == nullptr) return {};
  char digest[65] = {};
  const size_t n = std::fread(digest, 1, 64, pipe);
  ::pclose(pipe);
  return std::string(digest, n);
}

int64_t countTests(const std::string& location) {
  sqlite3* db = nullptr;
  int64_t count = -1;
  if (sqlite3_open_v2(location.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 1000);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM tests", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
      count = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return count;
}

void setModified(const std::string& path, int64_t seconds, int64_t nanoseconds) {
  const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds}, {static_cast<time_t>(seconds), nanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

TEST(LibraryService, RoundTripFromTheSimulatedPlateThroughARenameAndADamagedLibrary) {
  TempDir dir;
  const std::string data = dir.file("DATA");
  fs::create_directory(data);
  const std::string jump = data + "/jump.tsr", push = data + "/push.vkr", location = dir.file("library.sqlite");
  {
    // `velkora-cli record` saves the subject its records hold.
    auto records = std::make_unique<ProgramRecords>();
    records->subject = {"Anna Meier", 0, 0, 62, 170, "squad A", "", ""};
    auto r = testing::runCommandLineOn(*records,
                                       {"record", "--power", "5", "--simulate=jump:62:450,fast", "--output", jump});
    ASSERT_EQ(r.code, 0) << r.err;
    r = testing::runCommandLineOn(
        *records, {"record", "--force-reps", "3", "--simulate=pushes:3:900:300:120:500,fast", "--output", push});
    ASSERT_EQ(r.code, 0) << r.err;
  }

  CollectingMessageSink messages;
  {
    // The call the window and velkora-cli record make after a save.
    const LibraryOptions options{location, {data}, true};
    ASSERT_TRUE(indexFileInLibrary(options, jump, messages));
    ASSERT_TRUE(indexFileInLibrary(options, push, messages));
  }
  std::unique_ptr<LibraryService> library = openLibrary(location, {data}, messages);
  ASSERT_TRUE(library);
  EXPECT_EQ(library->indexFile(jump).outcome, IndexOutcome::Unchanged);

  std::optional<LibrarySubject> subject;
  ASSERT_TRUE(library->subjectNamed("  anna MEIER ", subject).ok());
  ASSERT_TRUE(subject);
  EXPECT_EQ(subject->name, "Anna Meier");
  EXPECT_EQ(subject->testCount, 2);
  LibraryTestQuery query;
  query.subjectKey = subject->key;
  std::vector<LibraryTestEntry> tests;
  ASSERT_TRUE(library->tests(query, tests).ok());
  ASSERT_EQ(tests.size(), 2u);

  // Each entry holds what the program's own loader and metrics make of the file.
  for (const LibraryTestEntry& entry : tests) {
    SCOPED_TRACE(entry.path);
    auto store = std::make_unique<MeasurementStore>();
    SubjectInfo fileSubject;
    ASSERT_TRUE(readMeasurementFile(entry.path, testKindForPath(entry.path), *store, fileSubject, messages));
    EXPECT_EQ(entry.kind, store->testKind);
    EXPECT_EQ(entry.testTime, testTimeSeconds(store->testTime));
    EXPECT_EQ(entry.sampleCount, store->sampleCount.load());
    EXPECT_EQ(entry.bodyWeight, store->bodyWeight);
    EXPECT_EQ(entry.subject.comment1, "squad A");
    EXPECT_EQ(entry.contentHash, sha256sum(entry.path)) << "the same hash as the system's tool";
    std::vector<StoredMetric> stored;
    ASSERT_TRUE(library->testMetrics(entry.id, stored).ok());
    const TestMetrics metrics = computeTestMetrics(*store, store->testKind);
    size_t expected = metrics.whole.size();
    for (const auto& repetition : metrics.repetitions) expected += repetition.size();
    ASSERT_EQ(stored.size(), expected);
    for (size_t k = 0; k < metrics.whole.size(); ++k) {
      const Metric& m = metrics.whole[k];
      EXPECT_EQ(stored[k].key, m.key);
      EXPECT_EQ(stored[k].format, m.format);
      if (!m.present) {
        EXPECT_FALSE(stored[k].value || stored[k].text) << m.key << " is n/a";
      } else if (m.format == MetricFormat::Text) {
        EXPECT_EQ(stored[k].text, std::string(m.text));
      } else {
        EXPECT_EQ(stored[k].value, m.value) << m.key;
      }
    }
    if (entry.kind == TestKind::Force) {
      ASSERT_FALSE(metrics.repetitions.empty());
      EXPECT_EQ(stored[metrics.whole.size()].key, "rep1." + std::string(metrics.repetitions[0][0].key));
    }
  }

  // Renamed on disk: the old entry is missing, the new name is a new entry with the same bytes.
  const std::string renamed = data + "/jump renamed.tsr";
  fs::rename(jump, renamed);
  const LibraryScanSummary summary = library->scan(data);
  ASSERT_TRUE(summary.status.ok()) << summary.status.message;
  EXPECT_EQ(summary.added, 1);
  EXPECT_EQ(summary.missing, 1);
  EXPECT_EQ(summary.unchanged, 1);
  EXPECT_TRUE(summary.failed.empty());
  std::optional<LibraryTestEntry> old;
  ASSERT_TRUE(library->testAtPath(jump, old).ok());
  ASSERT_TRUE(old);
  EXPECT_TRUE(old->missing);
  std::vector<LibraryTestEntry> sameBytes;
  ASSERT_TRUE(library->backend().testsByHash(old->contentHash, sameBytes).ok());
  EXPECT_EQ(sameBytes.size(), 2u);
  EXPECT_EQ(presentPaths(*library), (std::set<std::string>{renamed, push}));
  library.reset();

  // Damaged while closed: moved aside with a message, rebuilt from the files.
  std::string bytes = readFile(location);
  ASSERT_GT(bytes.size(), 4096u);
  for (size_t k = 0; k < 100; ++k) bytes[k] = static_cast<char>(k * 7);
  writeFile(location, bytes);
  messages.messages.clear();
  library = openLibrary(location, {data}, messages);
  ASSERT_TRUE(library);
  ASSERT_EQ(messages.messages.size(), 1u);
  const std::string& message = messages.messages[0];
  EXPECT_NE(message.find("The library " + location + " is damaged"), std::string::npos) << message;
  EXPECT_NE(message.find("moved to " + location + ".damaged-"), std::string::npos) << message;
  EXPECT_NE(message.find("built from the measurement files in " + data), std::string::npos) << message;
  const std::string aside = message.substr(message.find("moved to ") + 9, location.size() + 24);
  EXPECT_EQ(readFile(aside), bytes) << aside;
  EXPECT_EQ(presentPaths(*library), (std::set<std::string>{renamed, push}));
  EXPECT_FALSE(library->needsRebuild());
}

TEST(LibraryService, ScanAddsUpdatesAndMarksMissingWithoutReadingUnchangedFiles) {
  TempDir dir;
  const std::string data = dir.file("DATA");
  fs::create_directories(data + "/sub/deeper");
  const std::string a = data + "/a.vkr", b = data + "/sub/b.tsr", c = data + "/sub/deeper/c.vkr", d = data + "/D.TSR";
  ASSERT_TRUE(writeGeneratedTest(a, {"Anna", TestKind::Force}));
  ASSERT_TRUE(writeGeneratedTest(b, {"Bert", TestKind::Power}));
  ASSERT_TRUE(writeGeneratedTest(c, {"Carl", TestKind::Force}));
  ASSERT_TRUE(writeGeneratedTest(d, {"Dora", TestKind::Power, 1714550400, 5000, 60.0}));
  writeFile(data + "/notes.txt", "not a measurement");
  writeFile(data + "/bad.vkr", std::string(300, 'x'));
  const std::string whole = testing::generatedMeasurementBytes({"Eve", TestKind::Power});
  writeFile(data + "/short.tsr", whole.substr(0, whole.size() / 2));
  ASSERT_EQ(::mkfifo((data + "/pipe.vkr").c_str(), 0644), 0);  // never opened, so the scan cannot hang
  fs::create_directory_symlink(data, data + "/sub/loop");      // not followed

  CollectingMessageSink messages;
  std::unique_ptr<LibraryService> library = openLibrary(dir.file("library.sqlite"), {}, messages);
  ASSERT_TRUE(library);
  std::vector<LibraryScanProgress> progress;
  LibraryScanSummary s = library->scan(data, [&](const LibraryScanProgress& p) {
    progress.push_back(p);
    return true;
  });
  ASSERT_TRUE(s.status.ok()) << s.status.message;
  EXPECT_EQ(s.added, 4);
  EXPECT_EQ(s.unchanged, 0);
  ASSERT_EQ(s.failed.size(), 2u);
  std::map<std::string, std::string> reasons;
  for (const LibraryScanFailure& f : s.failed) reasons[fs::path(f.path).filename().string()] = f.reason;
  EXPECT_EQ(reasons["bad.vkr"], "Incompatible data");
  EXPECT_EQ(reasons["short.tsr"], "An attempt was made to access " + data + "/short.tsr past its end.");
  ASSERT_EQ(progress.size(), 6u) << "the six measurement files";
  EXPECT_EQ(progress.back().done, 6u);
  EXPECT_EQ(progress.back().total, 6u);
  EXPECT_EQ(presentPaths(*library), (std::set<std::string>{a, b, c, d}));

  // Changed content, a touched file, a vanished file and a new one.
  const FileStamp before = [&] {
    std::optional<LibraryTestEntry> entry;
    EXPECT_TRUE(library->testAtPath(c, entry).ok());
    return entry->stamp;
  }();
  ASSERT_TRUE(writeGeneratedTest(a, {"Anna Neu", TestKind::Force, 1714560000}));
  setModified(c, 1800000000, 5);
  const std::string bBytes = readFile(b);
  struct stat bStat {};
  ::stat(b.c_str(), &bStat);
  fs::remove(b);
  const std::string e = data + "/sub/e.vkr";
  ASSERT_TRUE(writeGeneratedTest(e, {"Eve", TestKind::Force}));
  s = library->scan(data);
  ASSERT_TRUE(s.status.ok());
  EXPECT_EQ(s.added, 1);
  EXPECT_EQ(s.updated, 1);
  EXPECT_EQ(s.unchanged, 2) << "c.vkr only touched, D.TSR as it was";
  EXPECT_EQ(s.missing, 1);
  EXPECT_EQ(s.failed.size(), 2u);
  std::optional<LibraryTestEntry> entry;
  ASSERT_TRUE(library->testAtPath(a, entry).ok());
  EXPECT_EQ(entry->subject.name, "Anna Neu");
  ASSERT_TRUE(library->testAtPath(c, entry).ok());
  EXPECT_EQ(entry->stamp.modifiedNs, 1800000000LL * 1000000000 + 5);
  EXPECT_EQ(entry->stamp.size, before.size);
  ASSERT_TRUE(library->testAtPath(b, entry).ok());
  EXPECT_TRUE(entry->missing);

  // A file whose size and time did not change is not read again: other bytes of the same size under the
  // old time leave its entry as it was.
  ASSERT_TRUE(library->testAtPath(d, entry).ok());
  const std::string dHash = entry->contentHash;
  struct stat dStat {};
  ::stat(d.c_str(), &dStat);
  ASSERT_TRUE(writeGeneratedTest(d, {"Dora", TestKind::Power, 1714550400, 5000, 90.0}));
  ASSERT_EQ(fs::file_size(d), static_cast<uintmax_t>(dStat.st_size));
  setModified(d, dStat.st_mtim.tv_sec, dStat.st_mtim.tv_nsec);
  // The vanished file back as it was: present again without a read.
  writeFile(b, bBytes);
  setModified(b, bStat.st_mtim.tv_sec, bStat.st_mtim.tv_nsec);
  s = library->scan(data);
  EXPECT_EQ(s.unchanged, 4);
  EXPECT_EQ(s.updated, 1);
  EXPECT_EQ(s.missing, 0);
  ASSERT_TRUE(library->testAtPath(d, entry).ok());
  EXPECT_EQ(entry->contentHash, dHash);
  EXPECT_NE(contentHash(readFile(d)), dHash);
  EXPECT_EQ(presentPaths(*library), (std::set<std::string>{a, b, c, d, e}));

  // A file of any name opened as a power test (the window's Open Power) is indexed as one.
  const std::string other = data + "/jump.dat";
  fs::copy_file(b, other);
  ASSERT_EQ(library->indexFile(other, TestKind::Power).outcome, IndexOutcome::Added);
  ASSERT_TRUE(library->testAtPath(other, entry).ok());
  EXPECT_EQ(entry->kind, TestKind::Power);
  s = library->scan(data);
  EXPECT_EQ(s.missing, 0) << "a file the scan does not look at is still there";

  // A file that became unreadable as a measurement no longer stands for a test.
  writeFile(c, "garbage");
  s = library->scan(data);
  EXPECT_EQ(s.failed.size(), 3u);
  ASSERT_TRUE(library->testAtPath(c, entry).ok());
  EXPECT_TRUE(entry->missing);
}

TEST(LibraryService, AFolderThatCannotBeReadIsNotTakenForVanished) {
  TempDir dir;
  fs::permissions(dir.path(), fs::perms::all);
  const std::string data = dir.file("DATA");
  fs::create_directories(data + "/locked");
  ASSERT_TRUE(writeGeneratedTest(data + "/open.vkr", {"Anna", TestKind::Force}));
  ASSERT_TRUE(writeGeneratedTest(data + "/locked/x.vkr", {"Bert", TestKind::Force}));
  const std::string location = dir.file("library.sqlite");
  {
    CollectingMessageSink messages;
    std::unique_ptr<LibraryService> library = openLibrary(location, {}, messages);
    ASSERT_TRUE(library);
    ASSERT_EQ(library->scan(data).added, 2);
  }
  fs::permissions(location, fs::perms::all);
  fs::permissions(data, fs::perms::all);
  fs::permissions(data + "/locked", fs::perms::none);
  // As an ordinary user: the superuser reads every folder.
  const int code = testing::runUnprivileged([&] {
    CollectingMessageSink messages;
    LibraryStatus status;
    std::unique_ptr<LibraryService> library = LibraryService::open({location, {}, true}, messages, status);
    if (!library) return 2;
    const LibraryScanSummary s = library->scan(data);
    if (!s.status.ok() || s.missing != 0 || s.unchanged != 1 || s.failed.size() != 1) return 3;
    if (s.failed[0].path != data + "/locked" || s.failed[0].reason.find("Permission denied") == std::string::npos)
      return 4;
    return presentPaths(*library).size() == 2 ? 0 : 5;
  });
  fs::permissions(data + "/locked", fs::perms::owner_all);
  EXPECT_EQ(code, 0);
}

TEST(LibraryService, AnInterruptedScanLeavesAConsistentLibrary) {
  TempDir dir;
  const std::string data = dir.file("DATA");
  fs::create_directory(data);
  constexpr int kFiles = 1200;
  for (int k = 0; k < kFiles; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "/%04d.tsr", k);
    ASSERT_TRUE(writeGeneratedTest(data + name, {"Subject " + std::to_string(k % 13), TestKind::Power,
                                                 1714550400 + k * 3600, 4000, 60.0 + k % 30}));
  }
  const std::string location = dir.file("library.sqlite");

  // Stopped by its caller: what was read is committed, nothing is marked missing.
  {
    CollectingMessageSink messages;
    std::unique_ptr<LibraryService> library = openLibrary(location, {}, messages);
    ASSERT_TRUE(library);
    const LibraryScanSummary s = library->scan(data, [](const LibraryScanProgress& p) { return p.done < 150; });
    EXPECT_TRUE(s.stopped);
    EXPECT_EQ(s.added, 150);
    EXPECT_EQ(allTests(*library).size(), 150u);
  }
  fs::remove(location);

  // Killed at any moment: the library holds whole batches and a new scan completes it.
  const pid_t child = ::fork();
  if (child == 0) {
    CollectingMessageSink messages;
    LibraryStatus status;
    std::unique_ptr<LibraryService> library = LibraryService::open({location, {}, true}, messages, status);
    if (library) library->scan(data);
    ::_exit(0);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (countTests(location) <= 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  const int64_t committed = countTests(location);
  EXPECT_GT(committed, 0);
  if (committed >= kFiles) GTEST_LOG_(INFO) << "the scan ended before it was killed";

  CollectingMessageSink messages;
  std::unique_ptr<LibraryService> library = openLibrary(location, {}, messages);
  ASSERT_TRUE(library);
  EXPECT_TRUE(messages.messages.empty()) << messages.messages[0];
  std::vector<LibrarySubject> subjects;
  ASSERT_TRUE(library->subjects("", subjects).ok());
  int64_t counted = 0;
  for (const LibrarySubject& s : subjects) counted += s.testCount;
  EXPECT_EQ(counted, committed) << "every committed test belongs to a subject";
  const LibraryScanSummary s = library->scan(data);
  ASSERT_TRUE(s.status.ok());
  EXPECT_EQ(s.added, kFiles - committed);
  EXPECT_EQ(s.unchanged, committed);
  EXPECT_EQ(allTests(*library).size(), static_cast<size_t>(kFiles));
}

TEST(LibraryService, TwoProcessesWriteTheSameLibraryAtOnce) {
  TempDir dir;
  const std::string data = dir.file("DATA");
  fs::create_directories(data + "/saved");
  constexpr int kScanned = 600;
  constexpr int kSaved = 150;
  for (int k = 0; k < kScanned; ++k)
    ASSERT_TRUE(writeGeneratedTest(data + "/s" + std::to_string(k) + ".vkr",
                                   {"Scanned " + std::to_string(k % 20), TestKind::Force, 1714550400 + k, 3000}));
  const std::string location = dir.file("library.sqlite");
  {
    CollectingMessageSink messages;
    ASSERT_TRUE(openLibrary(location, {}, messages));  // made before both start
  }

  // The saving process: a file saved and indexed at once, as the window and velkora-cli record do.
  const pid_t saver = ::fork();
  if (saver == 0) {
    CollectingMessageSink messages;
    LibraryStatus status;
    std::unique_ptr<LibraryService> library = LibraryService::open({location, {}, true}, messages, status);
    if (!library) ::_exit(2);
    for (int k = 0; k < kSaved; ++k) {
      const std::string path = data + "/saved/t" + std::to_string(k) + ".tsr";
      if (!writeGeneratedTest(path, {"Saved " + std::to_string(k % 5), TestKind::Power, 1714550400 + k, 3000}, true))
        ::_exit(3);
      const LibraryIndexResult r = library->indexFile(path);
      if (!r.status.ok() || r.outcome != IndexOutcome::Added) ::_exit(4);
    }
    ::_exit(0);
  }
  CollectingMessageSink messages;
  std::unique_ptr<LibraryService> library = openLibrary(location, {}, messages);
  ASSERT_TRUE(library);
  const LibraryScanSummary s = library->scan(data);
  int status = 0;
  ::waitpid(saver, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(s.status.ok()) << s.status.message;
  EXPECT_TRUE(s.failed.empty());
  EXPECT_EQ(s.missing, 0);

  const std::vector<LibraryTestEntry> tests = allTests(*library);
  EXPECT_EQ(tests.size(), static_cast<size_t>(kScanned + kSaved)) << "no entry lost, none twice";
  std::set<std::string> paths;
  for (const LibraryTestEntry& t : tests) {
    EXPECT_FALSE(t.missing) << t.path;
    paths.insert(t.path);
  }
  EXPECT_EQ(paths.size(), tests.size());
  for (int k = 0; k < kSaved; ++k) EXPECT_EQ(paths.count(data + "/saved/t" + std::to_string(k) + ".tsr"), 1u) << k;
}

TEST(LibraryService, DamageFoundWhileReadingIsRepairedAndTheQueryAnswered) {
  TempDir dir;
  const std::string data = dir.file("DATA");
  fs::create_directory(data);
  for (int k = 0; k < 200; ++k)
    ASSERT_TRUE(writeGeneratedTest(data + "/" + std::to_string(k) + ".vkr",
                                   {"Subject " + std::to_string(k % 9), TestKind::Force, 1714550400 + k, 2000}));
  const std::string location = dir.file("library.sqlite");
  {
    CollectingMessageSink messages;
    std::unique_ptr<LibraryService> library = openLibrary(location, {data}, messages);
    ASSERT_TRUE(library);
    ASSERT_EQ(library->scan(data).added, 200);
  }
  // Everything after the first page (the header and the list of tables) overwritten.
  std::string bytes = readFile(location);
  ASSERT_GT(bytes.size(), 16384u);
  for (size_t k = 4096; k < bytes.size(); ++k) bytes[k] = static_cast<char>(k * 131 + 7);
  writeFile(location, bytes);

  CollectingMessageSink messages;
  std::unique_ptr<LibraryService> library = openLibrary(location, {data}, messages);
  ASSERT_TRUE(library) << "the header still reads";
  std::vector<LibrarySubject> subjects;
  const LibraryStatus status = library->subjects("", subjects);
  ASSERT_TRUE(status.ok()) << status.message;
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_NE(messages.messages[0].find("is damaged"), std::string::npos) << messages.messages[0];
  EXPECT_EQ(subjects.size(), 9u) << "answered from the rebuilt library";
  EXPECT_EQ(allTests(*library).size(), 200u);
}

}  // namespace
}  // namespace velkora
