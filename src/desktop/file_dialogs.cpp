#include "desktop/file_dialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace velkora {
namespace {

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString suffixOf(std::string_view extension) {
  QString suffix = toQString(extension);
  if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
  return suffix;
}

// Runs a dialog set up for one filter and returns its file, or an empty text on Cancel.
QString runDialog(QFileDialog& dialog, std::string_view pairedFilter, std::string_view defaultExtension,
                  const QString& directory, const QString& proposedPath = QString()) {
  dialog.setNameFilter(nameFilterOf(pairedFilter));
  dialog.setDefaultSuffix(suffixOf(defaultExtension));
  dialog.setDirectory(directory);
  if (!proposedPath.isEmpty()) dialog.selectFile(proposedPath);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.front();
}

}  // namespace

QString nameFilterOf(std::string_view pairedFilter) {
  const QStringList parts = toQString(pairedFilter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& text = parts[i];
    const QString& pattern = parts[i + 1];
    if (text.isEmpty()) continue;
    filters << (text.contains(QLatin1Char('(')) ? text : text + QStringLiteral(" (") + pattern + QLatin1Char(')'));
  }
  return filters.join(QStringLiteral(";;"));
}

QString askOpenFileName(QWidget* parent, std::string_view pairedFilter, std::string_view defaultExtension,
                        const QString& directory) {
  QFileDialog dialog(parent, QStringLiteral("Open"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  return runDialog(dialog, pairedFilter, defaultExtension, directory);
}

QString askSaveFileName(QWidget* parent, std::string_view pairedFilter, std::string_view defaultExtension,
                        const QString& directory, const QString& proposedPath) {
  QFileDialog dialog(parent, QStringLiteral("Save As"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  return runDialog(dialog, pairedFilter, defaultExtension, directory, proposedPath);
}

}  // namespace velkora
