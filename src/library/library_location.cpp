#include "library/library_location.h"

#include "library/sqlite_backend.h"

namespace velkora {

LibraryLocationKind libraryLocationKind(std::string_view location) {
  for (std::string_view scheme : {"postgresql://", "postgres://", "service="})
    if (location.starts_with(scheme)) return LibraryLocationKind::Server;
  return LibraryLocationKind::File;
}

std::unique_ptr<LibraryBackend> makeLibraryBackend(const std::string& location, LibraryStatus& status) {
  status = LibraryStatus::success();
  if (location.empty()) {
    status = LibraryStatus::failure(LibraryErrorKind::Failed, "no library was named");
    return nullptr;
  }
  if (libraryLocationKind(location) == LibraryLocationKind::Server) {
    status = LibraryStatus::failure(LibraryErrorKind::Refused,
                                    "this program cannot use a library on a database server; name a library file");
    return nullptr;
  }
  return makeSqliteBackend(location);
}

}  // namespace velkora
