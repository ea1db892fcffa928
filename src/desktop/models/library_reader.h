#pragma once
// How the library window's lists, trend and comparison read the library. A library file answers at once on
// the window's thread; a library on a server is read on the library's own thread (a call may wait for a
// server that does not answer), and the answer comes back to the window's thread later. The readers are
// written for both: they ask, and go on when the answer comes.

#include <QObject>
#include <functional>

#include "library/library_backend.h"

namespace velkora {

class LibraryService;

class LibraryReader {
 public:
  using Work = std::function<LibraryStatus(LibraryService&)>;
  using Done = std::function<void(const LibraryStatus&)>;

  // Runs `work` on the library where it may wait, then `done` with its status on the window's thread,
  // unless `context` was deleted meanwhile. Without a library to read (none could be opened, the server
  // is out of reach) `work` does not run and `done` gets the reason. `work` must not touch `context`:
  // it fills what it shares with `done`.
  virtual void read(QObject* context, Work work, Done done) = 0;

 protected:
  ~LibraryReader() = default;
};

}  // namespace velkora
