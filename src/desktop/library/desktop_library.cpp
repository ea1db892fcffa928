#include "desktop/library/desktop_library.h"

#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "desktop/library/window_library.h"
#include "desktop/library/library_window.h"
#include "desktop/main_frame.h"
#include "model/command_ids.h"

namespace velkora {
namespace {

// How long the summary of a finished scan stays in the status bar.
constexpr int kSummaryMs = 20000;

// The library window names the library itself: its note is the status bar's without that word.
QString windowNote(const QString& text) {
  const QString prefix = QStringLiteral("Library: ");
  return text.startsWith(prefix) ? text.mid(prefix.size()) : text;
}

}  // namespace

DesktopLibrary::DesktopLibrary(CMainFrame& frame, std::string location, std::string dataFolder)
    : QObject(&frame),
      frame_(frame),
      session_(new WindowLibrary(std::move(location), std::move(dataFolder), &frame, this)),
      note_(new QLabel(&frame)),
      noteTimer_(new QTimer(this)) {
  note_->setObjectName(QStringLiteral("libraryNote"));
  note_->setAccessibleName(QStringLiteral("Library note"));
  note_->hide();
  frame.statusBar()->addPermanentWidget(note_);
  noteTimer_->setSingleShot(true);
  connect(noteTimer_, &QTimer::timeout, this, [this] { setNote(QString(), false); });

  frame.route(cmd::kLibrary, [this] { showWindow(); });

  connect(&frame, &CMainFrame::measurementOpened, this,
          [this](const std::string& path, TestKind kind) { session_->indexFile(path, kind); });
  connect(&frame, &CMainFrame::measurementSaved, this, [this](const std::string& path, TestKind kind) {
    const LibraryIndexResult result = session_->indexFile(path, kind);
    if (result.outcome == IndexOutcome::Failed && session_->service() != nullptr) {
      const QString name = QFileInfo(QString::fromStdString(path)).fileName();
      const std::string reason = result.status.ok() ? result.reason : result.status.message;
      setNote(QStringLiteral("Library: %1 was not indexed: %2").arg(name, QString::fromStdString(reason)), true);
    }
  });

  connect(session_, &WindowLibrary::scanStarted, this,
          [this] { setNote(QStringLiteral("Library: scanning the DATA folder..."), false); });
  connect(session_, &WindowLibrary::scanProgress, this, [this](qint64 done, qint64 total) {
    setNote(QStringLiteral("Library: scanning the DATA folder, %1 of %2 files").arg(done).arg(total), false);
  });
  connect(session_, &WindowLibrary::scanFinished, this,
          [this](const QString& summary, bool) { setNote(summary, true); });
}

DesktopLibrary::~DesktopLibrary() {
  // The window first: it reads through the session.
  delete window_.data();
}

void DesktopLibrary::start() {
  if (!session_->open()) {
    setNote(QStringLiteral("Library not available: ") + session_->unavailableReason(), false);
    return;
  }
  session_->startScan();
}

void DesktopLibrary::setNote(const QString& text, bool lasting) {
  noteTimer_->stop();
  note_->setText(text);
  note_->setVisible(!text.isEmpty());
  if (lasting && !text.isEmpty()) noteTimer_->start(kSummaryMs);
  if (window_) window_->setNote(windowNote(text));
}

LibraryWindow& DesktopLibrary::showWindow() {
  if (!window_) {
    window_ = new LibraryWindow(*session_, &frame_);
    connect(window_, &LibraryWindow::openRequested, this, [this](const std::string& path) {
      if (frame_.testRunning()) {
        window_->setNote(QStringLiteral("A test is running: stop it before opening a file."));
        return;
      }
      if (frame_.openChosenFile(path)) {
        frame_.raise();
        frame_.activateWindow();
      }
    });
    if (!note_->text().isEmpty()) window_->setNote(windowNote(note_->text()));
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
  return *window_;
}

}  // namespace velkora
