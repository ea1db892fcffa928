#pragma once
// The file dialogs of the file commands and the CSV export: filters written as "Text (*.ext)|*.ext||",
// a default extension added to a name typed without one, the data folder to start in.

#include <QString>
#include <string_view>

class QWidget;

namespace velkora {

// "Velkora Files (*.vkr)|*.vkr||" as a dialog's name filter: "Velkora Files (*.vkr)".
QString nameFilterOf(std::string_view pairedFilter);

// The chosen existing file, or an empty text when the user cancelled.
QString askOpenFileName(QWidget* parent, std::string_view pairedFilter, std::string_view defaultExtension,
                        const QString& directory);

// The chosen file to write (an existing one only after the user agreed to replace it), or an empty
// text when the user cancelled. `proposedPath` may be empty.
QString askSaveFileName(QWidget* parent, std::string_view pairedFilter, std::string_view defaultExtension,
                        const QString& directory, const QString& proposedPath);

}  // namespace velkora
