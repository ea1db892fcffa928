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

// Asks for the file (starting in the data folder, asking before replacing one) and writes `text`.
// A file that cannot be written shows "File Save Error" and leaves any previous file as it was.
// False when cancelled or not written.
bool writeCsvFile(QWidget* parent, const std::string& text, const QString& dataFolder);

}  // namespace velkora
