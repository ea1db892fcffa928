#include "desktop/view_preferences.h"

#include <QSettings>

namespace velkora {
namespace {

const QString kShowPhasesKey = QStringLiteral("View/ShowPhases");

}  // namespace

bool readShowPhases(const QString& settingsPath) {
  if (settingsPath.isEmpty()) return true;
  return QSettings(settingsPath, QSettings::IniFormat).value(kShowPhasesKey, true).toBool();
}

void writeShowPhases(const QString& settingsPath, bool show) {
  if (settingsPath.isEmpty()) return;
  QSettings settings(settingsPath, QSettings::IniFormat);
  settings.setValue(kShowPhasesKey, show);
  settings.sync();
}

}  // namespace velkora
