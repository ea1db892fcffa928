#pragma once
// The PostgreSQL server of the tests. scripts/pg-test-server.sh starts one (scripts/test.sh does so
// before ctest) and gives its test user's connection URI in VELKORA_TEST_POSTGRES, with the password in
// the file PGPASSFILE names. Without that variable (a developer's plain ctest) the server tests skip and
// say why; every other test runs as always.

#include <string>

namespace velkora::testing {

// The test user's URI ("postgresql://velkora_test@/velkora_test?host=...&port=..."), or "".
std::string testServerUri();

// Why a server test skips.
std::string noServerReason();

// The URI with another database, another user, or another host (keeping the port).
std::string withDatabase(const std::string& uri, const std::string& database);
std::string withUser(const std::string& uri, const std::string& user);
std::string withHost(const std::string& uri, const std::string& host);
// The query parameter `key` of a URI ("" when absent).
std::string uriParameter(const std::string& uri, const std::string& key);

// A new, empty database of the test user for one test (from template1, which holds the library's roles
// and schema as velkora-roles.sql makes them; from template0 without them), and its URI. "" after a test
// failure when it could not be made.
std::string newTestDatabase(const std::string& baseUri, bool withRoles = true);
// Drops it again (closing any connection still open to it).
void dropTestDatabase(const std::string& uri);

// Runs SQL on `uri` and gives the first column of the first row ("" when there is none); a failed
// statement fails the test with the server's message.
std::string sqlOnServer(const std::string& uri, const std::string& sql);

// A server of a test's own, in `folder` (made by pg-test-server.sh), that the test may stop and start.
class OwnTestServer {
 public:
  explicit OwnTestServer(std::string folder);
  ~OwnTestServer();
  bool start();
  bool stop();
  const std::string& uri() const { return uri_; }

 private:
  std::string folder_;
  std::string uri_;
  bool running_ = false;
};

}  // namespace velkora::testing
