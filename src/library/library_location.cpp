#include "library/library_location.h"

#include <libpq-fe.h>

#include <cctype>
#include <vector>

#include "library/postgres_backend.h"
#include "library/sqlite_backend.h"

namespace velkora {
namespace {

bool isUri(std::string_view location) {
  return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string uriWithoutPassword(std::string text) {
  const size_t start = text.find("://") + 3;
  const size_t authorityEnd = text.find_first_of("/?", start);
  const size_t at = text.find('@', start);
  if (at != std::string::npos && (authorityEnd == std::string::npos || at < authorityEnd)) {
    const size_t colon = text.find(':', start);
    if (colon < at) text.erase(colon, at - colon);
  }
  const size_t query = text.find('?', start);
  if (query == std::string::npos) return text;
  std::string kept;
  size_t from = query + 1;
  while (from <= text.size()) {
    size_t end = text.find('&', from);
    if (end == std::string::npos) end = text.size();
    const std::string_view pair = std::string_view(text).substr(from, end - from);
    const std::string key = percentDecoded(pair.substr(0, pair.find('=')));
    if (!pair.empty() && key != "password") kept += (kept.empty() ? "" : "&") + std::string(pair);
    from = end + 1;
  }
  text.erase(query);
  if (!kept.empty()) text += "?" + kept;
  return text;
}

// "key = value" pairs of a connection string, each kept as written unless it is the password.
std::string pairsWithoutPassword(std::string_view text) {
  std::string kept;
  size_t i = 0;
  const auto space = [&](size_t k) { return k < text.size() && std::isspace(static_cast<unsigned char>(text[k])); };
  while (i < text.size()) {
    while (space(i)) ++i;
    if (i >= text.size()) break;
    const size_t pairStart = i;
    while (i < text.size() && text[i] != '=' && !space(i)) ++i;
    const std::string key(text.substr(pairStart, i - pairStart));
    while (space(i)) ++i;
    if (i < text.size() && text[i] == '=') ++i;
    while (space(i)) ++i;
    if (i < text.size() && text[i] == '\'') {
      for (++i; i < text.size() && text[i] != '\''; ++i)
        if (text[i] == '\\') ++i;
      ++i;
    } else {
      for (; i < text.size() && !space(i); ++i)
        if (text[i] == '\\') ++i;
    }
    if (key != "password") kept += (kept.empty() ? "" : " ") + std::string(text.substr(pairStart, i - pairStart));
  }
  return kept;
}

bool holdsPassword(const std::string& location) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(location.c_str(), &error);
  PQfreemem(error);
  if (options == nullptr) return false;
  bool found = false;
  for (PQconninfoOption* o = options; o->keyword != nullptr; ++o)
    if (std::string_view(o->keyword) == "password" && o->val != nullptr && o->val[0] != '\0') found = true;
  PQconninfoFree(options);
  return found;
}

// The settings of a location written out anew, every value quoted, without the password.
std::string rebuiltWithoutPassword(const std::string& location) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(location.c_str(), &error);
  PQfreemem(error);
  if (options == nullptr) return "(a server location that cannot be read)";
  std::string text;
  for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
    if (o->val == nullptr || std::string_view(o->keyword) == "password") continue;
    text += (text.empty() ? "" : " ") + std::string(o->keyword) + "='";
    for (const char* c = o->val; *c != '\0'; ++c) {
      if (*c == '\'' || *c == '\\') text.push_back('\\');
      text.push_back(*c);
    }
    text += "'";
  }
  PQconninfoFree(options);
  return text;
}

std::string sentence(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  if (!text.empty() && text.back() != '.') text.push_back('.');
  return text;
}

}  // namespace

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
  if (libraryLocationKind(location) == LibraryLocationKind::Server) return makePostgresBackend(location);
  return makeSqliteBackend(location);
}

std::string withoutPassword(std::string_view location) {
  if (libraryLocationKind(location) != LibraryLocationKind::Server) return std::string(location);
  std::string text = isUri(location) ? uriWithoutPassword(std::string(location)) : pairsWithoutPassword(location);
  // Whatever libpq would still read as a password is never shown: then every setting is written anew.
  if (holdsPassword(text)) text = rebuiltWithoutPassword(std::string(location));
  return text;
}

LibraryConnectionCheck testLibraryConnection(const std::string& location) {
  LibraryConnectionCheck check;
  std::string summary;
  const LibraryStatus status = libraryLocationKind(location) == LibraryLocationKind::Server
                                   ? checkPostgresLibrary(location, summary)
                                   : checkSqliteLibrary(location, summary);
  switch (status.kind) {
    case LibraryErrorKind::None:
      check.problem = LibraryConnectionProblem::None;
      break;
    case LibraryErrorKind::Unreachable:
      check.problem = LibraryConnectionProblem::Unreachable;
      break;
    case LibraryErrorKind::Authentication:
      check.problem = LibraryConnectionProblem::Authentication;
      break;
    case LibraryErrorKind::Tls:
      check.problem = LibraryConnectionProblem::Tls;
      break;
    case LibraryErrorKind::TooNew:
      check.problem = LibraryConnectionProblem::SchemaTooNew;
      break;
    default:
      check.problem = LibraryConnectionProblem::Other;
      break;
  }
  check.message = sentence(status.ok() ? summary : status.message);
  return check;
}

}  // namespace velkora
