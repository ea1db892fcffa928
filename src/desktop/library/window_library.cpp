#include "desktop/library/window_library.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include "desktop/message_box.h"
#include "library/library_location.h"

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

// The thread of a server library: its session, opened there, and the calls in the order they were asked.
// Stopping drops the calls not yet begun; the one running ends on its own (a connection attempt waits up to
// the server's connect_timeout), and the thread with it.
class WindowLibrary::Worker {
 public:
  using Job = std::function<void(std::unique_ptr<LibrarySession>&)>;

  Worker() : thread_([this] { run(); }) {}
  ~Worker() {
    stop();
    thread_.join();
  }

  void post(Job job) {
    {
      const std::lock_guard lock(mutex_);
      if (stopping_) return;
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
  }

  void stop() {
    std::deque<Job> dropped;
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      dropped.swap(jobs_);
    }
    wake_.notify_one();
  }

  bool ended() const { return ended_.load(std::memory_order_acquire); }

 private:
  void run() {
    std::unique_ptr<LibrarySession> session;
    while (true) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) break;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      job(session);
    }
    // Its connections are closed on the thread that used them.
    session.reset();
    ended_.store(true, std::memory_order_release);
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::atomic<bool> ended_{false};
  std::thread thread_;  // last: it starts once everything above is made
};

QString scanSummaryText(const LibraryScanSummary& summary) {
  if (summary.status.kind == LibraryErrorKind::Unreachable)
    return QStringLiteral("Library: the server cannot be reached; the DATA folder is scanned when it answers");
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

WindowLibrary::WindowLibrary(std::string location, std::string outboxFile, std::string dataFolder,
                             QWidget* messageParent, QObject* parent, int retryMs)
    : QObject(parent),
      location_(std::move(location)),
      outboxFile_(std::move(outboxFile)),
      dataFolder_(std::move(dataFolder)),
      messageParent_(messageParent),
      messages_(std::make_unique<OnceSink>(*this)),
      retry_(new QTimer(this)) {
  retry_->setInterval(retryMs);
  connect(retry_, &QTimer::timeout, this, &WindowLibrary::sendOutbox);
}

WindowLibrary::~WindowLibrary() {
  closeLibrary();
  retired_.clear();
}

LibraryOptions WindowLibrary::optionsFor(const std::string& location) const {
  LibraryOptions options;
  options.location = location;
  options.rebuildFolders = {dataFolder_};
  // The start-up scan rebuilds a library made anew, in the background.
  options.rebuildAtOnce = false;
  options.outboxLocation = outboxFile_;
  return options;
}

WindowLibrary::Snapshot WindowLibrary::snapshotOf(LibrarySession* session) {
  if (session == nullptr) return {};
  return {true, session->online(), session->outboxCount()};
}

void WindowLibrary::open() {
  if (state_ != State::Closed) return;
  server_ = libraryLocationKind(location_) == LibraryLocationKind::Server;
  const uint64_t generation = ++generation_;
  const LibraryOptions options = optionsFor(location_);
  if (!server_) {
    LibraryStatus status;
    session_ = LibrarySession::open(options, *messages_, status);
    state_ = session_ ? State::Open : State::Unavailable;
    unavailableReason_ = session_ ? QString() : QString::fromStdString(status.message);
    emit opened();
    emit statusChanged();
    return;
  }
  state_ = State::Opening;
  online_ = false;
  waiting_ = 0;
  worker_ = std::make_unique<Worker>();
  worker_->post([this, generation, options](std::unique_ptr<LibrarySession>& session) {
    LibraryStatus status;
    session = LibrarySession::open(options, *messages_, status);
    const Snapshot snapshot = snapshotOf(session.get());
    const QString reason = QString::fromStdString(status.message);
    QMetaObject::invokeMethod(
        this,
        [this, generation, snapshot, reason] {
          if (generation != generation_) return;
          state_ = snapshot.open ? State::Open : State::Unavailable;
          unavailableReason_ = snapshot.open ? QString() : reason;
          if (snapshot.open) retry_->start();
          emit opened();
          apply(snapshot);
          emit statusChanged();
        },
        Qt::QueuedConnection);
  });
  emit statusChanged();
}

void WindowLibrary::closeLibrary() {
  stopScan();
  retry_->stop();
  retryAsked_ = false;
  scanWhenOnline_ = false;
  if (worker_) {
    worker_->stop();
    retired_.push_back(std::move(worker_));
  }
  // The threads that ended their last call are let go; the others end on their own meanwhile.
  std::erase_if(retired_, [](const std::unique_ptr<Worker>& worker) { return worker->ended(); });
  session_.reset();
  state_ = State::Closed;
  unavailableReason_.clear();
  online_ = true;
  waiting_ = 0;
  ++generation_;
}

void WindowLibrary::reopen(std::string location) {
  closeLibrary();
  location_ = std::move(location);
  open();
  emit replaced();
  emit changed();
}

LibraryService* WindowLibrary::service() const { return !server_ && session_ ? session_->library() : nullptr; }

std::string WindowLibrary::shownLocation() const { return withoutPassword(location_); }

QString WindowLibrary::statusText() const {
  if (!server_ || state_ != State::Open) return {};
  return QString::fromStdString(libraryStatusText(online_, waiting_));
}

void WindowLibrary::apply(const Snapshot& snapshot) {
  if (state_ != State::Open || !snapshot.open) return;
  const bool cameOnline = !online_ && snapshot.online;
  const bool sent = snapshot.waiting < waiting_;
  const bool differs = online_ != snapshot.online || waiting_ != snapshot.waiting;
  online_ = snapshot.online;
  waiting_ = snapshot.waiting;
  if (differs) emit statusChanged();
  // Back, or tests that waited were taken: the lists read the library again.
  if (cameOnline || sent) emit changed();
  if (cameOnline && scanWhenOnline_) startScan();
}

void WindowLibrary::call(QObject* context, std::function<void(LibrarySession&)> work, std::function<void()> done) {
  if (!server_) {
    if (session_) work(*session_);
    if (done) done();
    return;
  }
  if (!worker_) {
    if (done) done();
    return;
  }
  const uint64_t generation = generation_;
  const QPointer<QObject> guard(context);
  const bool guarded = context != nullptr;
  worker_->post([this, generation, guard, guarded, work = std::move(work),
                 done = std::move(done)](std::unique_ptr<LibrarySession>& session) {
    if (session) work(*session);
    const Snapshot snapshot = snapshotOf(session.get());
    QMetaObject::invokeMethod(
        this,
        [this, generation, snapshot, guard, guarded, done] {
          if (generation != generation_) return;
          apply(snapshot);
          if (done && (!guarded || guard)) done();
        },
        Qt::QueuedConnection);
  });
}

void WindowLibrary::read(QObject* context, Work work, Done done) {
  auto status = std::make_shared<LibraryStatus>(LibraryStatus::failure(
      LibraryErrorKind::Failed,
      unavailableReason_.isEmpty() ? std::string("the library is not open") : unavailableReason_.toStdString()));
  call(
      context,
      [work = std::move(work), status](LibrarySession& session) {
        LibraryService* library = session.library();
        if (library == nullptr) {
          *status = session.lastProblem();
          if (status->ok())
            *status = LibraryStatus::failure(LibraryErrorKind::Unreachable,
                                             "the library server " + session.describe() + " cannot be reached");
          return;
        }
        *status = work(*library);
        session.noteStatus(*status);
      },
      [status, done = std::move(done)] { done(*status); });
}

void WindowLibrary::indexFile(const std::string& path, TestKind kind,
                              std::function<void(const LibraryIndexResult&)> done) {
  auto result = std::make_shared<LibraryIndexResult>();
  call(
      nullptr, [path, kind, result](LibrarySession& session) { *result = session.indexFile(path, kind); },
      [this, result, done = std::move(done)] {
        if (result->outcome == IndexOutcome::Added || result->outcome == IndexOutcome::Updated) emit changed();
        if (done) done(*result);
      });
}

void WindowLibrary::sendOutbox() {
  if (!server_ || state_ != State::Open || retryAsked_) return;
  retryAsked_ = true;
  call(
      nullptr,
      [](LibrarySession& session) {
        // One small question first: a server gone since the latest call is noticed, one back is used again.
        if (LibraryService* library = session.library()) {
          std::vector<LibrarySubject> one;
          session.noteStatus(library->subjects("", one, 1, 0));
        }
        session.sendOutbox();
      },
      [this] { retryAsked_ = false; });
}

void WindowLibrary::fetchTestFile(const LibraryTestEntry& test, QObject* context,
                                  std::function<void(const LibraryStatus&, const std::string&)> done) {
  auto status =
      std::make_shared<LibraryStatus>(LibraryStatus::failure(LibraryErrorKind::Failed, "the library is not open"));
  auto path = std::make_shared<std::string>();
  call(
      context,
      [test, folder = dataFolder_, status, path](LibrarySession& session) {
        *status = session.fetchTestFile(test, folder, *path);
      },
      [status, path, done = std::move(done)] { done(*status, *path); });
}

void WindowLibrary::startScan() {
  if (!available() || scanning()) return;
  std::error_code error;
  if (dataFolder_.empty() || !std::filesystem::is_directory(dataFolder_, error)) return;
  if (server_ && (state_ != State::Open || !online_)) {
    scanWhenOnline_ = true;
    return;
  }
  scanWhenOnline_ = false;
  if (scanThread_.joinable()) scanThread_.join();
  stopRequested_.store(false, std::memory_order_release);
  scanEnded_.store(false, std::memory_order_release);
  emit scanStarted();
  const uint64_t generation = generation_;
  scanThread_ = std::thread([this, generation] { runScan(generation); });
}

void WindowLibrary::stopScan() {
  if (!scanThread_.joinable()) return;
  stopRequested_.store(true, std::memory_order_release);
  scanThread_.join();
}

void WindowLibrary::runScan(uint64_t generation) {
  // A connection of this thread's own: a library service serves one thread. It is the plain service,
  // not a session: a server out of reach is scanned when it answers again.
  LibraryStatus status;
  std::unique_ptr<LibraryService> library = LibraryService::open(optionsFor(location_), *messages_, status);
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
  const bool unreachable = summary.status.kind == LibraryErrorKind::Unreachable;
  scanEnded_.store(true, std::memory_order_release);
  QMetaObject::invokeMethod(
      this,
      [this, generation, text, changedEntries, unreachable] {
        if (generation != generation_) return;
        if (unreachable) {
          // Scanned again when the server answers; the status bar follows the server meanwhile.
          scanWhenOnline_ = true;
          sendOutbox();
        }
        emit scanFinished(text, changedEntries);
        if (changedEntries) emit changed();
      },
      Qt::QueuedConnection);
}

std::vector<std::string> WindowLibrary::shownMessages() const { return messages_->shown(); }

}  // namespace velkora
