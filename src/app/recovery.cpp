#include "app/recovery.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/measurement_use_cases.h"
#include "app/paths.h"
#include "storage/binary_io.h"

namespace velkora {
namespace {

std::error_code systemError(int number) { return {number, std::generic_category()}; }

bool fail(std::error_code* error, std::error_code reason) {
  if (error != nullptr) *error = reason;
  return false;
}

// Claims a name no file has yet: the empty file created here is replaced by the whole take, so two
// programs ended in the same second never write one file.
bool claimName(const std::string& path, std::error_code& reason) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) {
    reason = systemError(errno);
    return false;
  }
  ::close(fd);
  return true;
}

// Adds a line to the note in one write, so notes of programs ended together do not mix.
void noteRecovered(const ProgramPaths& paths, const std::string& file) {
  const int fd = ::open(recoveryNotePath(paths).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string line = file + "\n";
  (void)!::write(fd, line.data(), line.size());
  ::close(fd);
}

}  // namespace

bool hasUnsavedTake(const MeasurementStore& store) {
  return store.saved.load(std::memory_order_acquire) == 0 &&
         store.recordingAvailable.load(std::memory_order_acquire) != 0 &&
         store.sampleCount.load(std::memory_order_acquire) > 0;
}

std::string recoveryFileName(const std::tm& t, TestKind kind, int32_t attempt) {
  char name[96];
  const char* extension = kind == TestKind::Power ? ".tsr" : ".vkr";
  if (attempt <= 0) {
    std::snprintf(name, sizeof name, "recovered-%04d%02d%02d-%02d%02d%02d%s", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec, extension);
  } else {
    std::snprintf(name, sizeof name, "recovered-%04d%02d%02d-%02d%02d%02d-%d%s", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, attempt + 1, extension);
  }
  return name;
}

std::string recoveryNotePath(const ProgramPaths& paths) {
  const std::string folder = parentDirectoryOf(paths.configPath);
  return folder.empty() ? std::string(kRecoveryNoteName) : folder + "/" + kRecoveryNoteName;
}

std::string saveRecoveryTake(SharedRecords records, std::time_t now, std::error_code* error) {
  if (!hasUnsavedTake(records.store)) return {};
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) {
    fail(error, systemError(EOVERFLOW));
    return {};
  }
  ensureDirectory(records.paths.dataFolder);
  std::error_code reason;
  for (int32_t attempt = 0; attempt < kRecoveryNameAttempts; ++attempt) {
    const std::string path = records.paths.dataFolder + "/" + recoveryFileName(local, records.store.testKind, attempt);
    if (!claimName(path, reason)) {
      if (reason == std::errc::file_exists) continue;
      break;
    }
    // Saved as Save saves; nobody is there to read a message box.
    const std::string previousFile = records.paths.currentFilePath;
    CollectingMessageSink unread;
    if (!saveMeasurement(records, path, unread, &reason)) {
      ::unlink(path.c_str());
      records.paths.currentFilePath = previousFile;
      break;
    }
    noteRecovered(records.paths, path);
    return path;
  }
  fail(error, reason);
  return {};
}

std::vector<std::string> takeRecoveredFiles(const ProgramPaths& paths) {
  const std::string note = recoveryNotePath(paths);
  std::string text;
  if (!readWholeFile(note, text, 1 << 20)) return {};
  ::unlink(note.c_str());
  std::vector<std::string> files;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) files.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return files;
}

}  // namespace velkora
