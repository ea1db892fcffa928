#include "desktop/library/window_library.h"

#include <QWidget>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include "desktop/message_box.h"

namespace velkora {

// Shows each distinct message once, on the window's thread, after the call that raised it returned
// (a message box never opens in the middle of a library query).
class WindowLibrary::OnceSink final : public MessageSink {
 public:
  explicit OnceSink(WindowLibrary& session) : session_(&session) {}

  void showMessage(std::string_view text) override {
    const std::string message(text);
    {
      const std::lock_guard lock(mutex_);
      if (!seen_.insert(message).second) return;
      order_.push_back(message);
    }
    // Run on the window's thread while the session lives; the session's parent window outlives it.
    WindowLibrary* session = session_;
    QMetaObject::invokeMethod(
        session, [session, message] { showMessageBox(session->messageParent_, message); }, Qt::QueuedConnection);
  }

  std::vector<std::string> shown() const {
    const std::lock_guard lock(mutex_);
    return order_;
  }

 private:
  WindowLibrary* session_;
  mutable std::mutex mutex_;
  std::set<std::string> seen_;
  std::vector<std::string> order_;
};

QString scanSummaryText(const LibraryScanSummary& summary) {
  if (!summary.status.ok())
    return QStringLiteral("Library: the scan failed: ") + QString::fromStdString(summary.status.message);
  QString text = QStringLiteral("Library: %1 added, %2 updated, %3 unchanged, %4 missing, %5 failed")
                     .arg(summary.added)
                     .arg(summary.updated)
                     .arg(summary.unchanged)
                     .arg(summary.missing)
                     .arg(summary.failed.size());
  if (summary.stopped) text += QStringLiteral(" (stopped before the end)");
  return text;
}

WindowLibrary::WindowLibrary(std::string location, std::string dataFolder, QWidget* messageParent, QObject* parent)
    : QObject(parent),
      location_(std::move(location)),
      dataFolder_(std::move(dataFolder)),
      messageParent_(messageParent),
      messages_(std::make_unique<OnceSink>(*this)) {}

WindowLibrary::~WindowLibrary() {
  stopScan();
  service_.reset();
}

bool WindowLibrary::open() {
  if (service_) return true;
  LibraryOptions options;
  options.location = location_;
  options.rebuildFolders = {dataFolder_};
  // The start-up scan rebuilds a library made anew, in the background.
  options.rebuildAtOnce = false;
  LibraryStatus status;
  service_ = LibraryService::open(options, *messages_, status);
  unavailableReason_ = service_ ? QString() : QString::fromStdString(status.message);
  return service_ != nullptr;
}

void WindowLibrary::startScan() {
  if (!service_ || scanning()) return;
  std::error_code error;
  if (dataFolder_.empty() || !std::filesystem::is_directory(dataFolder_, error)) return;
  if (scanThread_.joinable()) scanThread_.join();
  stopRequested_.store(false, std::memory_order_release);
  scanEnded_.store(false, std::memory_order_release);
  emit scanStarted();
  scanThread_ = std::thread([this] { runScan(); });
}

void WindowLibrary::stopScan() {
  if (!scanThread_.joinable()) return;
  stopRequested_.store(true, std::memory_order_release);
  scanThread_.join();
}

void WindowLibrary::runScan() {
  // A connection of this thread's own: a library service serves one thread.
  LibraryOptions options;
  options.location = location_;
  options.rebuildFolders = {dataFolder_};
  options.rebuildAtOnce = false;
  LibraryStatus status;
  std::unique_ptr<LibraryService> library = LibraryService::open(options, *messages_, status);
  LibraryScanSummary summary;
  if (!library) {
    summary.status = status;
  } else {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastShown{};
    summary = library->scan(dataFolder_, [&](const LibraryScanProgress& progress) {
      const Clock::time_point now = Clock::now();
      if (now - lastShown > std::chrono::milliseconds(100) || progress.done == progress.total) {
        lastShown = now;
        const auto done = static_cast<qint64>(progress.done), total = static_cast<qint64>(progress.total);
        QMetaObject::invokeMethod(
            this, [this, done, total] { emit scanProgress(done, total); }, Qt::QueuedConnection);
      }
      return !stopRequested_.load(std::memory_order_acquire);
    });
  }
  library.reset();
  const QString text = scanSummaryText(summary);
  const bool changedEntries = summary.added + summary.updated + summary.missing > 0;
  scanEnded_.store(true, std::memory_order_release);
  QMetaObject::invokeMethod(
      this,
      [this, text, changedEntries] {
        emit scanFinished(text, changedEntries);
        if (changedEntries) emit changed();
      },
      Qt::QueuedConnection);
}

LibraryIndexResult WindowLibrary::indexFile(const std::string& path, TestKind kind) {
  if (!service_) return {};
  LibraryIndexResult result = service_->indexFile(path, kind);
  if (result.outcome == IndexOutcome::Added || result.outcome == IndexOutcome::Updated) emit changed();
  return result;
}

std::vector<std::string> WindowLibrary::shownMessages() const { return messages_->shown(); }

}  // namespace velkora
