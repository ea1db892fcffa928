#include "desktop/library/desktop_library.h"

#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "desktop/dialogs/library_dlg.h"
#include "desktop/library/library_choice.h"
#include "desktop/library/library_window.h"
#include "desktop/library/window_library.h"
#include "desktop/main_frame.h"
#include "library/library_location.h"
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

QString fileNameOf(const std::string& path) {
  return QFileInfo(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()))).fileName();
}

}  // namespace

DesktopLibrary::DesktopLibrary(CMainFrame& frame, DesktopLibraryPlaces places, int retryMs)
    : QObject(&frame),
      frame_(frame),
      places_(std::move(places)),
      session_(new WindowLibrary(places_.location, places_.defaultFile, places_.dataFolder, &frame, this, retryMs)),
      note_(new QLabel(&frame)),
      statusField_(new QLabel(&frame)),
      noteTimer_(new QTimer(this)) {
  note_->setObjectName(QStringLiteral("libraryNote"));
  note_->setAccessibleName(QStringLiteral("Library note"));
  note_->hide();
  frame.statusBar()->addPermanentWidget(note_);
  statusField_->setObjectName(QStringLiteral("libraryStatus"));
  statusField_->setAccessibleName(QStringLiteral("Library status"));
  statusField_->hide();
  frame.statusBar()->addPermanentWidget(statusField_);
  noteTimer_->setSingleShot(true);
  connect(noteTimer_, &QTimer::timeout, this, [this] { setNote(QString(), false); });

  frame.route(cmd::kLibrary, [this] { showWindow(); });
  frame.route(cmd::kLibrarySetup, [this] { chooseLibrary(); });

  connect(&frame, &CMainFrame::measurementOpened, this,
          [this](const std::string& path, TestKind kind) { session_->indexFile(path, kind); });
  connect(&frame, &CMainFrame::measurementSaved, this, [this](const std::string& path, TestKind kind) {
    session_->indexFile(path, kind, [this, path](const LibraryIndexResult& result) {
      if (result.outcome != IndexOutcome::Failed || !session_->available()) return;
      const std::string reason = result.status.ok() ? result.reason : result.status.message;
      setNote(QStringLiteral("Library: %1 was not indexed: %2").arg(fileNameOf(path), QString::fromStdString(reason)),
              true);
    });
  });

  connect(session_, &WindowLibrary::opened, this, [this] {
    if (!session_->available())
      setNote(QStringLiteral("Library not available: ") + session_->unavailableReason(), false);
    else if (note_->text().startsWith(QStringLiteral("Library: connecting")))
      setNote(QString(), false);
  });
  connect(session_, &WindowLibrary::statusChanged, this, &DesktopLibrary::showStatus);
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
  if (libraryLocationKind(session_->location()) == LibraryLocationKind::Server)
    setNote(QStringLiteral("Library: connecting to %1...").arg(QString::fromStdString(session_->shownLocation())),
            false);
  session_->open();
  session_->startScan();
}

void DesktopLibrary::setNote(const QString& text, bool lasting) {
  noteTimer_->stop();
  note_->setText(text);
  note_->setVisible(!text.isEmpty());
  if (lasting && !text.isEmpty()) noteTimer_->start(kSummaryMs);
  if (window_) window_->setNote(windowNote(text));
}

void DesktopLibrary::showStatus() {
  const QString text = session_->statusText();
  statusField_->setText(text);
  statusField_->setVisible(!text.isEmpty());
}

LibraryWindow& DesktopLibrary::showWindow() {
  if (!window_) {
    window_ = new LibraryWindow(*session_, &frame_);
    connect(window_, &LibraryWindow::openRequested, this, &DesktopLibrary::openTest);
    if (!note_->text().isEmpty()) window_->setNote(windowNote(note_->text()));
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
  return *window_;
}

void DesktopLibrary::openTest(const LibraryTestEntry& test) {
  if (frame_.testRunning()) {
    if (window_) window_->setNote(QStringLiteral("A test is running: stop it before opening a file."));
    return;
  }
  // A library file names the file itself; File -> Open's own messages say when it cannot be read.
  if (!session_->isServer()) {
    openInFrame(test.path);
    return;
  }
  if (window_) window_->setNote(QStringLiteral("Fetching %1 from the library...").arg(fileNameOf(test.path)));
  session_->fetchTestFile(test, this, [this](const LibraryStatus& status, const std::string& path) {
    if (!status.ok()) {
      if (window_)
        window_->setNote(QStringLiteral("The test cannot be opened: ") + QString::fromStdString(status.message));
      return;
    }
    if (window_) window_->setNote(windowNote(note_->text()));
    openInFrame(path);
  });
}

void DesktopLibrary::openInFrame(const std::string& path) {
  if (frame_.testRunning()) {
    if (window_) window_->setNote(QStringLiteral("A test is running: stop it before opening a file."));
    return;
  }
  if (frame_.openChosenFile(path)) {
    frame_.raise();
    frame_.activateWindow();
  }
}

void DesktopLibrary::chooseLibrary() {
  CLibraryDlg dialog(session_->location(), places_.defaultFile, &frame_);
  if (dialog.exec() != QDialog::Accepted) return;
  useLibrary(dialog.location());
}

void DesktopLibrary::useLibrary(const std::string& location) {
  writeLibraryChoice(places_.settingsPath, location);
  // The dialog shows a location without its password: the same one given back changes nothing.
  if (location == session_->location() || location == session_->shownLocation()) return;
  setNote(QString(), false);
  session_->reopen(location);
  if (session_->opening())
    setNote(QStringLiteral("Library: connecting to %1...").arg(QString::fromStdString(session_->shownLocation())),
            false);
  session_->startScan();
}

}  // namespace velkora
