#pragma once
// What --library names: a library file (SQLite, the default), or a library on a database server (a libpq
// connection URI "postgresql://..." or a connection string starting "service=NAME").

#include <memory>
#include <string>
#include <string_view>

#include "library/library_backend.h"

namespace velkora {

inline constexpr char kLibraryFileName[] = "library.sqlite";

enum class LibraryLocationKind { File, Server };

LibraryLocationKind libraryLocationKind(std::string_view location);

// The backend of a location, not yet opened; null with the reason in `status` when this program cannot
// reach that kind of library.
std::unique_ptr<LibraryBackend> makeLibraryBackend(const std::string& location, LibraryStatus& status);

// The location without its password (a URI's "user:password@", a password parameter): what messages show
// and what settings and the outbox keep. Velkora never stores or prints a password; libpq finds it in
// ~/.pgpass, a service file or PGPASSWORD. A file path is returned as it is.
std::string withoutPassword(std::string_view location);

// The "Test connection" of Setup -> Library...: what is wrong with a location, in plain words.
enum class LibraryConnectionProblem {
  None,            // the library can be used (or will be made on first use)
  Unreachable,     // no server answers there
  Authentication,  // the server refused the user or the password, or no password was found
  Tls,             // the encrypted connection the location asks for (sslmode) could not be made
  SchemaTooNew,    // a library of a newer Velkora
  Other,           // anything else (no such database, not a Velkora library, ...): the message says what
};

struct LibraryConnectionCheck {
  LibraryConnectionProblem problem = LibraryConnectionProblem::None;
  std::string message;  // one or two sentences for the user; never holds the password
};

// Connects (or opens the file) and reads, writing nothing.
LibraryConnectionCheck testLibraryConnection(const std::string& location);

}  // namespace velkora
