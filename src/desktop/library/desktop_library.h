#pragma once
// The subject library in the desktop program: File -> Library... opens the library window; every file
// the main window opens or saves is indexed at once; the DATA folder is scanned in the background at
// start-up, with a note in the status bar while it runs and its summary when it ends.

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

class DesktopLibrary final : public QObject {
  Q_OBJECT

 public:
  // The library at `location`; `dataFolder` is scanned at start() and a damaged library rebuilt from it.
  DesktopLibrary(CMainFrame& frame, std::string location, std::string dataFolder);
  ~DesktopLibrary() override;

  // Opens the library and starts the background scan of the data folder.
  void start();

  WindowLibrary& session() { return *session_; }
  // The library window, made and shown (raised when it is already open).
  LibraryWindow& showWindow();
  // The window once made; null before.
  LibraryWindow* window() const { return window_; }
  QLabel* statusNote() const { return note_; }

 private:
  void setNote(const QString& text, bool lasting);

  CMainFrame& frame_;
  WindowLibrary* session_;
  QPointer<LibraryWindow> window_;
  QLabel* note_;
  QTimer* noteTimer_;
};

}  // namespace velkora
