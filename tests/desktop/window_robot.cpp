// A robot loaded into the real velkora program (LD_PRELOAD) by the tests that run it as a process:
// it drives the window through its menus and controls, found by their texts and accessible names as
// a screen reader finds them, and creates the file $VELKORA_ROBOT_MARK when it is done.
//   VELKORA_ROBOT=idle      the main window shows
//   VELKORA_ROBOT=running   Perform, time 10 s from 0 N: the test runs (STOP shows)
//   VELKORA_ROBOT=finished  Perform, time 1 s from 0 N: the test has ended (the curve bar shows)
//   VELKORA_ROBOT=preview   as finished, then File -> Print Preview: the mark holds the text of the
//                           message box that follows, or "preview" when the preview window opens

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

namespace {

enum class Stage { FindWindow, OpenPerform, FillPerform, WaitForTest, OpenPreview, WaitForPreview, Done };

QWidget* mainWindow() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (qobject_cast<QMainWindow*>(w) != nullptr && w->isVisible()) return w;
  return nullptr;
}

template <typename T>
T* childNamed(QWidget* parent, const QString& name) {
  for (T* child : parent->findChildren<T*>())
    if (child->accessibleName() == name || child->text().remove(QLatin1Char('&')) == name) return child;
  return nullptr;
}

QAbstractButton* visibleButton(QWidget* parent, const QString& text) {
  QAbstractButton* button = childNamed<QAbstractButton>(parent, text);
  return button != nullptr && button->isVisible() ? button : nullptr;
}

// The mark appears whole: written beside, then renamed.
void markDone(const QString& text = {}) {
  const QString path = qEnvironmentVariable("VELKORA_ROBOT_MARK");
  QFile mark(path + QStringLiteral(".part"));
  if (!mark.open(QIODevice::WriteOnly)) return;
  mark.write(text.toUtf8());
  mark.close();
  QFile::rename(mark.fileName(), path);
}

// Triggers the window's action of this text later: a dialog runs its own event loop, which must not
// run inside this tick.
bool triggerLater(QWidget* window, const QString& text) {
  for (QAction* action : window->findChildren<QAction*>()) {
    if (action->text().remove(QLatin1Char('&')) != text || !action->isEnabled()) continue;
    QTimer::singleShot(0, action, &QAction::trigger);
    return true;
  }
  return false;
}

void startRobot() {
  const QString task = qEnvironmentVariable("VELKORA_ROBOT");
  if (task.isEmpty()) return;
  auto* timer = new QTimer(QCoreApplication::instance());
  auto* stage = new Stage(Stage::FindWindow);
  QObject::connect(timer, &QTimer::timeout, [timer, stage, task] {
    QWidget* window = mainWindow();
    if (window == nullptr) return;
    switch (*stage) {
      case Stage::FindWindow:
        if (task == QLatin1String("idle")) {
          *stage = Stage::Done;
          markDone();
          return;
        }
        *stage = Stage::OpenPerform;
        return;
      case Stage::OpenPerform:
        if (triggerLater(window, QStringLiteral("Perform"))) *stage = Stage::FillPerform;
        return;
      case Stage::FillPerform: {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr || dialog->windowTitle() != QLatin1String("Perform dialog")) return;
        childNamed<QAbstractButton>(dialog, QStringLiteral("Time"))->click();
        childNamed<QLineEdit>(dialog, QStringLiteral("Value"))
            ->setText(task == QLatin1String("running") ? QStringLiteral("10") : QStringLiteral("1"));
        childNamed<QLineEdit>(dialog, QStringLiteral("Start Force:"))->setText(QStringLiteral("0"));
        childNamed<QAbstractButton>(dialog, QStringLiteral("OK"))->click();
        *stage = Stage::WaitForTest;
        return;
      }
      case Stage::WaitForTest: {
        const bool done = task == QLatin1String("running") ? visibleButton(window, QStringLiteral("STOP")) != nullptr
                                                           : visibleButton(window, QStringLiteral("Zoom")) != nullptr;
        if (!done) return;
        if (task == QLatin1String("preview")) {
          *stage = Stage::OpenPreview;
          return;
        }
        *stage = Stage::Done;
        markDone();
        return;
      }
      case Stage::OpenPreview:
        if (triggerLater(window, QStringLiteral("Print Preview"))) *stage = Stage::WaitForPreview;
        return;
      case Stage::WaitForPreview: {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
          markDone(box->text());
        } else if (modal->windowTitle() == QLatin1String("Print Preview")) {
          markDone(QStringLiteral("preview"));
        } else {
          return;
        }
        *stage = Stage::Done;
        return;
      }
      case Stage::Done:
        timer->stop();
        return;
    }
  });
  timer->start(50);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(startRobot)
