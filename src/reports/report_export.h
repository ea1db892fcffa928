#pragma once
// The texts that take a report out of the program: the clipboard text of Copy and Copy All, and the
// CSV export with the subject's name and the test's date. Lines end in "\r\n"; text is UTF-8.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "acquisition/measurement_store.h"
#include "model/messages.h"
#include "reports/report_table.h"

namespace velkora {

// The CSV separator that goes with the locale's decimal mark (LC_NUMERIC): ";" beside a decimal
// comma, "," otherwise.
char csvSeparatorForLocale();

// Header line 1 (upper parts) and line 2 (lower parts) of the layout's columns, each part followed by
// `separator`, each line ended by "\r\n"; appended to `text`.
void appendHeaderLines(const ReportColumnTable& columns, std::string_view separator, std::string& text);

// Copy All: the two header lines with two spaces after each part, then every row's cells joined.
std::string copyAllText(const DigitalReport& report);

// Copy: as Copy All over the selected rows in ascending order (rows outside the report are ignored).
// With no row selected it shows "No items were selected!" and returns false; `text` is then untouched.
bool copySelectedText(const DigitalReport& report, std::span<const int32_t> selectedRows, std::string& text,
                      MessageSink& messages);

// "Date: dd.mm.yyyy  at  HH:MM:SS" of a test start (seconds since 1970, local time), without line end.
std::string testDateLine(int32_t testTime);

// Whether `separator` keeps the cells of a CSV export apart: one printable ASCII character that is not
// the locale's decimal mark (LC_NUMERIC), a digit, a sign, a double quote or a space, since the cells'
// numbers and the time-interval cells are made of those.
bool isUsableCsvSeparator(char separator);

// The CSV's name line without its line end: "Name: " and the subject's name, with every control
// character (C0, DEL, the C1 controls U+0080 to U+009F, U+2028 and U+2029, and the bidirectional
// controls U+202A to U+202E and U+2066 to U+2069) made a space. When the text holds the
// separator or a double quote, the whole cell "Name: ..." is written as one quoted field (RFC 4180,
// inner quotes doubled), so a name can never add lines or cells. Other names give the text as is.
std::string csvNameLine(std::string_view subjectName, char separator);

// Export csv: name line, date line, header lines and every row, each cell followed by `separator`.
// A header part that holds the separator or a double quote is quoted as the name is.
std::string csvExportText(const DigitalReport& report, std::string_view subjectName, int32_t testTime, char separator);

}  // namespace velkora
