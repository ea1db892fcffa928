#pragma once
// The four most recently opened or saved measurement files, newest first, kept in a small settings
// file of the user's.

#include <QString>
#include <QStringList>

namespace velkora {

inline constexpr int kRecentFileCount = 4;

class RecentFileList {
 public:
  // `settingsPath` is an INI file; empty keeps the list for this run only.
  explicit RecentFileList(QString settingsPath = QString());

  const QStringList& files() const { return files_; }
  void add(const QString& path);
  void remove(const QString& path);

 private:
  void save() const;

  QString settingsPath_;
  QStringList files_;
};

}  // namespace velkora
