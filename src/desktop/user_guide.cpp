#include "desktop/user_guide.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QImage>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <QVBoxLayout>

#include "app/paths.h"
#include "desktop/message_box.h"
#include "model/messages.h"

namespace velkora {
namespace {

constexpr int kPictureWidth = 820;  // pixels; the guide's window shows a picture whole

// Scales every picture wider than `width` down to it, keeping its proportions.
void fitPictures(QTextDocument& document, int width) {
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      QTextImageFormat image = fragment.charFormat().toImageFormat();
      if (!image.isValid()) continue;
      const QImage picture = document.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
      if (picture.isNull() || picture.width() <= width) continue;
      image.setWidth(width);
      image.setHeight(static_cast<qreal>(picture.height()) * width / picture.width());
      QTextCursor cursor(&document);
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(image);
    }
  }
}

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
  fitPictures(*browser->document(), kPictureWidth);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(browser);
  layout->addWidget(buttons);
  dialog.resize(900, 700);
  dialog.exec();
}

}  // namespace velkora
