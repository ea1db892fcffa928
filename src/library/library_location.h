#pragma once
// What --library names: a library file (SQLite, the default), or a database server (a libpq
// connection URI "postgresql://..." or "service=NAME").

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

}  // namespace velkora
