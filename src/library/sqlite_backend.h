#pragma once
// The embedded library: one SQLite file through the C API. Prepared statements only; the schema is
// versioned by PRAGMA user_version and marked as ours by PRAGMA application_id; WAL journal, foreign
// keys on, a busy timeout and BEGIN IMMEDIATE with retries, so two windows and a velkora-cli can write
// one library at the same time.

#include <memory>
#include <string>

#include "library/library_backend.h"

namespace velkora {

// "VKLB": the application id every Velkora library file carries.
inline constexpr int32_t kSqliteLibraryApplicationId = 0x564B4C42;
// The schema this program writes; files of a higher version are refused. Version 2 added the outbox
// (tests waiting for a server library).
inline constexpr int32_t kSqliteLibrarySchemaVersion = 2;

// A backend on the SQLite file `path` (created on open when absent).
std::unique_ptr<LibraryBackend> makeSqliteBackend(const std::string& path);

// Reads the library file at `path` without writing anything: a missing file is fine (it is made on first
// use); a file that is not a Velkora library (Foreign, Damaged) or of a newer schema (TooNew) is not. On
// success `summary` says what was found.
LibraryStatus checkSqliteLibrary(const std::string& path, std::string& summary);

// The name a damaged library file is moved to: "<path>.damaged-YYYYMMDD-HHMMSS" in local time, with
// "-2", "-3", ... when that name is taken.
std::string setAsideName(const std::string& path, int64_t nowSeconds);

}  // namespace velkora
