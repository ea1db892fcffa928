#include "desktop/report_transfer.h"

#include <QClipboard>
#include <QGuiApplication>

#include "desktop/file_dialogs.h"
#include "desktop/message_box.h"
#include "model/messages.h"
#include "storage/binary_io.h"

namespace velkora {

void putOnClipboard(const std::string& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return;
  clipboard->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool writeCsvFile(QWidget* parent, const std::string& text, const QString& dataFolder) {
  const QString path = askSaveFileName(parent, kCsvFilter, kCsvExtension, dataFolder, QString());
  if (path.isEmpty()) return false;
  if (!writeFileAtomically(path.toUtf8().toStdString(), text)) {
    showMessageBox(parent, msg::kFileSaveError);
    return false;
  }
  return true;
}

}  // namespace velkora
