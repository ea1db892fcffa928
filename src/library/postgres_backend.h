#pragma once
// The team library: a PostgreSQL database through libpq. The same tables as the library file, in the
// schema "velkora" of the database the location names, plus the files' bytes (bytea, checked against
// their SHA-256 by the server). Prepared statements with parameters only; the schema is versioned by the
// table velkora.schema_version and brought forward in one transaction under an advisory lock, or refused
// (nothing written) when it is newer than this program's. Writes run at READ COMMITTED with row locks and
// ON CONFLICT on every unique key, and are retried on serialization failures and deadlocks, so many
// programs write one library without duplicates and without showing an error. Text columns hold
// toServerText, so any name, NUL bytes included, comes back as it was written.

#include <memory>
#include <string>

#include "library/library_backend.h"

namespace velkora {

// The schema this program writes; a library of a higher version is refused.
inline constexpr int32_t kPostgresLibrarySchemaVersion = 1;

// A backend on the server library of `location` (a libpq URI "postgresql://..." or a connection string
// such as "service=NAME"), not yet connected.
std::unique_ptr<LibraryBackend> makePostgresBackend(const std::string& location);

// Connects to the library of `location` and reads its schema version without writing anything. On
// success `summary` says what was found (a library and its number of tests, or a database without one);
// otherwise the status says what failed, as Unreachable, Authentication, Tls, TooNew or Failed.
LibraryStatus checkPostgresLibrary(const std::string& location, std::string& summary);

}  // namespace velkora
