#include "support/postgres_server.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>

namespace velkora::testing {
namespace {

size_t pathStart(const std::string& uri) {
  const size_t authority = uri.find("://") + 3;
  const size_t slash = uri.find_first_of("/?", authority);
  return slash == std::string::npos ? uri.size() : slash;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string testServerUri() {
  const char* uri = std::getenv("VELKORA_TEST_POSTGRES");
  return uri != nullptr ? uri : "";
}

std::string noServerReason() {
  return "no PostgreSQL server for the tests: VELKORA_TEST_POSTGRES is not set (bash scripts/test.sh starts one)";
}

std::string withDatabase(const std::string& uri, const std::string& database) {
  const size_t start = pathStart(uri);
  size_t end = uri.find('?', start);
  if (end == std::string::npos) end = uri.size();
  return uri.substr(0, start) + "/" + database + uri.substr(end);
}

std::string withUser(const std::string& uri, const std::string& user) {
  const size_t authority = uri.find("://") + 3;
  const size_t at = uri.find('@', authority);
  const size_t end = pathStart(uri);
  if (at == std::string::npos || at > end) return uri.substr(0, authority) + user + "@" + uri.substr(authority);
  return uri.substr(0, authority) + user + uri.substr(at);
}

std::string withHost(const std::string& uri, const std::string& host) {
  std::string result = uri;
  const size_t query = result.find('?');
  if (query == std::string::npos) return result;
  const size_t hostAt = result.find("host=", query);
  if (hostAt == std::string::npos) return result + "&host=" + host;
  size_t end = result.find('&', hostAt);
  if (end == std::string::npos) end = result.size();
  return result.replace(hostAt + 5, end - hostAt - 5, host);
}

std::string uriParameter(const std::string& uri, const std::string& key) {
  const size_t query = uri.find('?');
  if (query == std::string::npos) return "";
  size_t from = query + 1;
  while (from < uri.size()) {
    size_t end = uri.find('&', from);
    if (end == std::string::npos) end = uri.size();
    const std::string pair = uri.substr(from, end - from);
    if (pair.rfind(key + "=", 0) == 0) return pair.substr(key.size() + 1);
    from = end + 1;
  }
  return "";
}

std::string sqlOnServer(const std::string& uri, const std::string& sql) {
  PGconn* conn = PQconnectdb(uri.c_str());
  std::string value;
  if (PQstatus(conn) != CONNECTION_OK) {
    ADD_FAILURE() << "cannot connect to " << uri << ": " << PQerrorMessage(conn);
    PQfinish(conn);
    return value;
  }
  PGresult* r = PQexec(conn, sql.c_str());
  const ExecStatusType status = PQresultStatus(r);
  if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
    ADD_FAILURE() << PQresultErrorMessage(r) << " in " << sql;
  else if (status == PGRES_TUPLES_OK && PQntuples(r) > 0 && PQnfields(r) > 0)
    value = PQgetvalue(r, 0, 0);
  PQclear(r);
  PQfinish(conn);
  return value;
}

std::string newTestDatabase(const std::string& baseUri, bool withRoles) {
  static std::atomic<int> made{0};
  static const unsigned salt = std::random_device{}();
  const std::string name =
      "vk_" + std::to_string(::getpid()) + "_" + std::to_string(salt % 100000) + "_" + std::to_string(made++);
  // Several test processes make databases at once; the template may be busy for a moment.
  for (int attempt = 0; attempt < 50; ++attempt) {
    PGconn* conn = PQconnectdb(baseUri.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
      ADD_FAILURE() << "cannot connect to " << baseUri << ": " << PQerrorMessage(conn);
      PQfinish(conn);
      return "";
    }
    const std::string sql =
        "CREATE DATABASE " + name + (withRoles ? " TEMPLATE template1" : " TEMPLATE template0") + " ENCODING 'UTF8'";
    PGresult* r = PQexec(conn, sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    const std::string error = PQresultErrorMessage(r);
    PQclear(r);
    PQfinish(conn);
    if (ok) return withDatabase(baseUri, name);
    if (error.find("is being accessed by other users") == std::string::npos) {
      ADD_FAILURE() << "cannot make a database: " << error;
      return "";
    }
    ::usleep(100000);
  }
  ADD_FAILURE() << "cannot make a database: the template stays busy";
  return "";
}

void dropTestDatabase(const std::string& uri) {
  const size_t start = pathStart(uri) + 1;
  const size_t end = uri.find('?', start);
  const std::string name = uri.substr(start, end == std::string::npos ? std::string::npos : end - start);
  if (name.rfind("vk_", 0) != 0) return;
  sqlOnServer(withDatabase(uri, "postgres"), "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
}

OwnTestServer::OwnTestServer(std::string folder) : folder_(std::move(folder)) {}

OwnTestServer::~OwnTestServer() {
  if (running_) stop();
}

bool OwnTestServer::start() {
  const std::string command = "bash " + shellQuoted(std::string(VELKORA_SOURCE_DIR) + "/scripts/pg-test-server.sh") +
                              " start " + shellQuoted(folder_) + " > " + shellQuoted(folder_ + ".log") + " 2>&1";
  running_ = std::system(command.c_str()) == 0;
  if (!running_) {
    std::ifstream log(folder_ + ".log");
    ADD_FAILURE() << "the test's own server did not start: " << std::string(std::istreambuf_iterator<char>(log), {});
    return false;
  }
  std::ifstream env(folder_ + "/env");
  for (std::string line; std::getline(env, line);) {
    const std::string key = "export VELKORA_TEST_POSTGRES='";
    if (line.rfind(key, 0) == 0) uri_ = line.substr(key.size(), line.size() - key.size() - 1);
  }
  if (!uri_.empty()) uri_ += "&passfile=" + folder_ + "/pgpass";  // its own passwords, not the shared server's
  return !uri_.empty();
}

bool OwnTestServer::stop() {
  const std::string command = "bash " + shellQuoted(std::string(VELKORA_SOURCE_DIR) + "/scripts/pg-test-server.sh") +
                              " stop " + shellQuoted(folder_) + " >> " + shellQuoted(folder_ + ".log") + " 2>&1";
  running_ = false;
  return std::system(command.c_str()) == 0;
}

}  // namespace velkora::testing
