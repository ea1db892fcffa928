#include "desktop/report_transfer.h"

#include <QClipboard>
#include <QGuiApplication>

#include "desktop/file_dialogs.h"

namespace velkora {

void putOnClipboard(const std::string& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return;
  clipboard->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

std::string askCsvFileName(QWidget* parent, const QString& dataFolder) {
  return askSaveFileName(parent, kCsvFilter, kCsvExtension, dataFolder, QString()).toUtf8().toStdString();
}

}  // namespace velkora
