#include "desktop/user_guide.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "app/messages.h"
#include "app/paths.h"
#include "desktop/message_box.h"

namespace velkora {

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
  dialog.resize(900, 700);
  dialog.exec();
}

}  // namespace velkora
