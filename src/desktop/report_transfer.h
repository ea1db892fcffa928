#pragma once
// Taking a report out of the program: its text onto the clipboard, or into a CSV file the user
// chooses.

#include <QString>
#include <string>

class QWidget;

namespace velkora {

inline constexpr char kCsvFilter[] = "CSV Files (*.csv)|*.csv||";
inline constexpr char kCsvExtension[] = ".csv";

void putOnClipboard(const std::string& text);

// Asks for the CSV file to export to, starting in the data folder and asking before replacing one; the
// path's bytes as the system takes them, empty when cancelled.
std::string askCsvFileName(QWidget* parent, const QString& dataFolder);

}  // namespace velkora
