#pragma once
// The subject library in the desktop program: File -> Library... opens the library window; every file
// the main window opens or saves is indexed at once (or waits in the outbox while a server library is out
// of reach); the DATA folder is scanned in the background at start-up, with a note in the status bar while
// it runs and its summary when it ends; a permanent field of the status bar says "Library offline – 2 tests
// waiting" while tests wait for the server or it cannot be reached. Setup -> Library... chooses the library
// (a file or a server), keeps the choice in the user's settings and opens it.

#include <QObject>
#include <QPointer>
#include <QString>
#include <string>

#include "desktop/library/library_window.h"

class QLabel;
class QTimer;

namespace velkora {

class CMainFrame;
class WindowLibrary;

// Where the window's library is and what it keeps beside it.
struct DesktopLibraryPlaces {
  std::string location;     // the library of this run (--library, Setup -> Library..., or the default)
  std::string defaultFile;  // the library file beside the DATA folder: a server library's outbox
  std::string dataFolder;   // scanned at start, rebuilt from, tests of other computers fetched into
  QString settingsPath;     // velkora.ini: where Setup -> Library... keeps its choice
};

class DesktopLibrary final : public QObject {
  Q_OBJECT

 public:
  DesktopLibrary(CMainFrame& frame, DesktopLibraryPlaces places, int retryMs);
  ~DesktopLibrary() override;

  // Opens the library and starts the background scan of the data folder.
  void start();

  WindowLibrary& session() { return *session_; }
  // The library window, made and shown (raised when it is already open).
  LibraryWindow& showWindow();
  // The window once made; null before.
  LibraryWindow* window() const { return window_; }
  QLabel* statusNote() const { return note_; }
  // The status bar's field of a server library: offline, tests waiting; hidden when there is nothing to say.
  QLabel* statusField() const { return statusField_; }

  // Setup -> Library...: the dialog, then the choice kept and opened.
  void chooseLibrary();
  // Uses `location` from now on and keeps it (without a password) as the user's choice.
  void useLibrary(const std::string& location);
  // Opens a test of the library in the main window: its own file, or one fetched from a server library
  // into the data folder.
  void openTest(const LibraryTestEntry& test);

 private:
  void setNote(const QString& text, bool lasting);
  void showStatus();
  void openInFrame(const std::string& path);

  CMainFrame& frame_;
  DesktopLibraryPlaces places_;
  WindowLibrary* session_;
  QPointer<LibraryWindow> window_;
  QLabel* note_;
  QLabel* statusField_;
  QTimer* noteTimer_;
};

}  // namespace velkora
