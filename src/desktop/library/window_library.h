#pragma once
// The window's subject library: the library of --library (or the default beside the DATA folder),
// opened once for the window's own thread; the start-up scan of the DATA folder on a thread of its own
// with a library connection of its own, so the window never waits for it; the entry of every file the
// window opens or saves, written at once. The library's own messages (a damaged library moved aside
// and rebuilt) are shown once each, whichever thread met them.

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "library/library_service.h"

class QWidget;

namespace velkora {

class WindowLibrary final : public QObject {
  Q_OBJECT

 public:
  // `location` is the library (a file path or what a server backend takes); `dataFolder` is what the
  // start-up scan indexes and a damaged library is rebuilt from. Messages show over `messageParent`.
  WindowLibrary(std::string location, std::string dataFolder, QWidget* messageParent, QObject* parent = nullptr);
  // Stops a running scan and waits for its thread.
  ~WindowLibrary() override;

  // Opens the window's connection; false when the library cannot be used (unavailableReason says why).
  bool open();
  // The window thread's library; null when it could not be opened.
  LibraryService* service() const { return service_.get(); }
  const QString& unavailableReason() const { return unavailableReason_; }
  const std::string& location() const { return location_; }
  const std::string& dataFolder() const { return dataFolder_; }

  // Indexes the data folder in the background (nothing when the library is unavailable or a scan
  // runs). Progress and the end come as signals on the window's thread.
  void startScan();
  bool scanning() const { return scanThread_.joinable() && !scanEnded_.load(std::memory_order_acquire); }
  // Asks a running scan to stop after its current file and waits for it; what it did stays.
  void stopScan();

  // The entry of a file the window just opened or saved, as the kind it was opened or saved as.
  LibraryIndexResult indexFile(const std::string& path, TestKind kind);

  // Every library message so far, in order, each once.
  std::vector<std::string> shownMessages() const;

 signals:
  void scanStarted();
  void scanProgress(qint64 done, qint64 total);
  void scanFinished(const QString& summary, bool changedEntries);
  // Entries were added or changed: the lists read the library again.
  void changed();

 private:
  class OnceSink;
  void runScan();

  std::string location_;
  std::string dataFolder_;
  QWidget* messageParent_;
  std::unique_ptr<OnceSink> messages_;
  std::unique_ptr<LibraryService> service_;
  QString unavailableReason_;
  std::thread scanThread_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> scanEnded_{false};
};

// The status bar's words for a finished scan: "Library: 3 added, 1 updated, 120 unchanged, 0 missing,
// 1 failed" (and that it stopped or failed, when it did).
QString scanSummaryText(const LibraryScanSummary& summary);

}  // namespace velkora
