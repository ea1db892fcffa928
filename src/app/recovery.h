#pragma once
// A take that would be lost when the program is ended from outside (SIGTERM, SIGINT, SIGHUP, the
// end of the desktop session): it is saved to a new file in the DATA folder,
// "recovered-YYYYMMDD-HHMMSS.vkr" or ".tsr" by the local time, and the file is named once at the next
// start. The note of the files recovered lies beside the configuration.

#include <ctime>
#include <string>
#include <system_error>
#include <vector>

#include "acquisition/measurement_store.h"
#include "model/shared_records.h"

namespace velkora {

inline constexpr char kRecoveryNoteName[] = "velkora.recovered";
inline constexpr int32_t kRecoveryNameAttempts = 100;  // "-2" up to "-100" after a name in use

// Whether the recording in memory is a take with samples that nobody saved.
bool hasUnsavedTake(const MeasurementStore& store);

// "recovered-20250314-093015.vkr" for a force test at that local time, ".tsr" for a power test;
// attempt 1 and on put "-2", "-3", ... before the extension.
std::string recoveryFileName(const std::tm& localTime, TestKind kind, int32_t attempt = 0);

// The note of recovered files beside the configuration.
std::string recoveryNotePath(const ProgramPaths& paths);

// Saves an unsaved take to a new recovery file in the data folder, atomically as every save and never
// over a file that exists, and adds its path to the note. Returns the path; empty when there was no
// unsaved take, or when it could not be saved (`error` then has the reason).
std::string saveRecoveryTake(SharedRecords records, std::time_t now, std::error_code* error = nullptr);

// The files recovered since the last start, oldest first; the note is removed, so each is named once.
std::vector<std::string> takeRecoveredFiles(const ProgramPaths& paths);

}  // namespace velkora
