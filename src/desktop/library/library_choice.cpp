#include "desktop/library/library_choice.h"

#include <QByteArray>
#include <QSettings>
#include <QVariant>

#include "library/library_location.h"

namespace velkora {
namespace {

const QString kLocationKey = QStringLiteral("Library/Location");

}  // namespace

std::string readLibraryChoice(const QString& settingsPath) {
  if (settingsPath.isEmpty()) return {};
  const QVariant value = QSettings(settingsPath, QSettings::IniFormat).value(kLocationKey);
  // A path that is not UTF-8 is kept as its bytes.
  if (value.typeId() == QMetaType::QByteArray) return value.toByteArray().toStdString();
  return value.toString().toUtf8().toStdString();
}

void writeLibraryChoice(const QString& settingsPath, const std::string& location) {
  if (settingsPath.isEmpty()) return;
  QSettings settings(settingsPath, QSettings::IniFormat);
  const std::string kept = withoutPassword(location);
  if (kept.empty()) {
    settings.remove(kLocationKey);
  } else {
    const QByteArray bytes = QByteArray::fromStdString(kept);
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes)
      settings.setValue(kLocationKey, text);
    else
      settings.setValue(kLocationKey, bytes);
  }
  settings.sync();
}

std::string libraryOfRun(const std::string& commandLine, const std::string& chosen, const std::string& defaultFile) {
  if (!commandLine.empty()) return commandLine;
  if (!chosen.empty()) return chosen;
  return defaultFile;
}

}  // namespace velkora
