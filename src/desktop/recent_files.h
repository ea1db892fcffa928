#pragma once
// The four most recently opened or saved measurement files, newest first, kept in a small settings
// file of the user's.

#include <QString>
#include <QStringList>
#include <string>

namespace velkora {

inline constexpr int kRecentFileCount = 4;

class RecentFileList {
 public:
  // `settingsPath` is an INI file; empty keeps the list for this run only.
  explicit RecentFileList(QString settingsPath = QString());

  const QStringList& files() const { return files_; }
  void add(const QString& path);
  // A name whose bytes are not UTF-8 is not listed: a QString cannot carry it back as it was, so it
  // could not be opened from the list.
  void add(const std::string& path);
  void remove(const QString& path);

 private:
  void save() const;

  QString settingsPath_;
  QStringList files_;
};

}  // namespace velkora
