#include "desktop/dialogs/about_dlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

namespace velkora {

CAboutDlg::CAboutDlg(QWidget* parent) : ControlDialog(parent, QStringLiteral("About Orvel_Velkora")) {
  auto* column = new QVBoxLayout(this);
  auto* row = new QHBoxLayout();
  column->addLayout(row);
  auto* picture = new QLabel(this);
  picture->setAccessibleName(QStringLiteral("Velkora force plate"));
  picture->setPixmap(QIcon(QStringLiteral(":/about.svg")).pixmap(QSize(96, 72)));
  row->addWidget(picture);
  auto* texts = new QVBoxLayout();
  row->addLayout(texts);
  for (const QString& text : {QStringLiteral("Velkora "), QStringLiteral("ver 1.1")}) {
    auto* label = new QLabel(text, this);
    label->setAccessibleName(text);
    texts->addWidget(label);
  }
  texts->addStretch(1);
  column->addWidget(addOkCancel(false));
}

}  // namespace velkora
