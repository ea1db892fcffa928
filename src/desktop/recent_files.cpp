#include "desktop/recent_files.h"

#include <QSettings>

#include "model/utf8.h"

namespace velkora {
namespace {

const QString kGroup = QStringLiteral("Recent File List");

QString keyOf(int i) { return QStringLiteral("File%1").arg(i + 1); }

}  // namespace

RecentFileList::RecentFileList(QString settingsPath) : settingsPath_(std::move(settingsPath)) {
  if (settingsPath_.isEmpty()) return;
  QSettings settings(settingsPath_, QSettings::IniFormat);
  settings.beginGroup(kGroup);
  for (int i = 0; i < kRecentFileCount; ++i) {
    const QString file = settings.value(keyOf(i)).toString();
    if (!file.isEmpty() && !files_.contains(file)) files_ << file;
  }
}

void RecentFileList::add(const QString& path) {
  if (path.isEmpty()) return;
  files_.removeAll(path);
  files_.prepend(path);
  while (files_.size() > kRecentFileCount) files_.removeLast();
  save();
}

void RecentFileList::add(const std::string& path) {
  if (isWellFormedUtf8(path)) add(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
}

void RecentFileList::remove(const QString& path) {
  if (files_.removeAll(path) > 0) save();
}

void RecentFileList::save() const {
  if (settingsPath_.isEmpty()) return;
  QSettings settings(settingsPath_, QSettings::IniFormat);
  settings.remove(kGroup);
  settings.beginGroup(kGroup);
  for (int i = 0; i < files_.size(); ++i) settings.setValue(keyOf(i), files_[i]);
  settings.endGroup();
  settings.sync();
}

}  // namespace velkora
