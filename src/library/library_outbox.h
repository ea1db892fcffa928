#pragma once
// The outbox: tests saved or indexed while their server library could not be reached, kept with their
// file's bytes in the local library file until they are sent. A file waits once per server: saved again
// before it was sent, it waits with its newest bytes at the end of the line (the server's entry of that
// file would be replaced by them anyway); saved again unchanged, it keeps its place.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/library_backend.h"

namespace velkora {

struct OutboxItem {
  int64_t id = 0;                // the order the items were saved in (never reused)
  std::string server;            // the library it waits for: its location without the password
  std::string path;              // where the file was saved on this computer
  std::optional<TestKind> kind;  // the kind it was opened as; by its name when empty
  FileStamp stamp;
  std::string contentHash;  // SHA-256 of the bytes
  std::string bytes;
  int64_t queuedAt = 0;  // seconds since 1970
};

// Where the outbox lives: the local library file (its table "outbox").
class LibraryOutboxStore {
 public:
  virtual ~LibraryOutboxStore() = default;

  virtual std::string describe() const = 0;
  // Opens the library file (creating it and bringing its schema forward), as the library backend does.
  virtual LibraryStatus open() = 0;
  // Moves a damaged or foreign file aside, as the library backend does.
  virtual LibraryStatus setAside(std::string& whereNow) = 0;

  // Adds the item at the end of the line, replacing the waiting item of the same server and path unless
  // that one has the same bytes. `id` receives the waiting item's id.
  virtual LibraryStatus enqueue(const OutboxItem& item, int64_t& id) = 0;
  // Items waiting for `server`, or for every server when it is empty.
  virtual LibraryStatus outboxCount(const std::string& server, int64_t& count) = 0;
  // The first item after `afterId` waiting for `server` (any server when empty), with its bytes.
  virtual LibraryStatus nextInOutbox(const std::string& server, int64_t afterId, std::optional<OutboxItem>& item) = 0;
  // Removes a sent item; an item replaced meanwhile by newer bytes stays (it has another id).
  virtual LibraryStatus removeFromOutbox(int64_t id) = 0;
  // The servers items wait for, in the order of each one's first item.
  virtual LibraryStatus outboxServers(std::vector<std::string>& servers) = 0;
};

// The outbox of the library file at `path`, not yet opened.
std::unique_ptr<LibraryOutboxStore> makeSqliteOutboxStore(const std::string& path);

}  // namespace velkora
