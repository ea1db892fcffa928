#include "desktop/user_guide.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSize>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/paths.h"
#include "desktop/message_box.h"
#include "model/messages.h"

namespace velkora {
namespace {

// Wide enough for the pictures of the window (1000 pixels) beside the scroll bar, where the screen
// has room; the pictures are shown at their own size, and what is wider scrolls.
constexpr QSize kGuideSize(1060, 780);

}  // namespace

void showUserGuide(QWidget* parent, const std::string& programDirectory) {
  const std::string path = findUserGuide(programDirectory);
  if (path.empty()) {
    showMessageBox(parent, msg::kUserGuideMissing);
    return;
  }
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("userGuide"));
  dialog.setWindowTitle(QStringLiteral("Velkora User Guide"));
  auto* browser = new QTextBrowser(&dialog);
  browser->setAccessibleName(QStringLiteral("User guide"));
  browser->setOpenExternalLinks(true);
  // Pictures are named relative to the guide's own folder.
  const QString file = QString::fromStdString(path);
  browser->setSearchPaths({QFileInfo(file).absolutePath()});
  browser->setSource(QUrl::fromLocalFile(file), QTextDocument::MarkdownResource);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(browser);
  layout->addWidget(buttons);
  const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
  dialog.resize(screen != nullptr ? kGuideSize.boundedTo(screen->availableSize() * 9 / 10) : kGuideSize);
  dialog.exec();
}

}  // namespace velkora
