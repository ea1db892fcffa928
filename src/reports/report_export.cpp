#include "reports/report_export.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <ctime>
#include <vector>

#include "model/utf8.h"

namespace velkora {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kClipboardSeparator = "  ";

size_t headerSize(const ReportColumnTable& columns, size_t separatorSize) {
  size_t size = 2 * kLineEnd.size();
  for (int32_t c = 0; c < columns.count; ++c) size += columns.headers[c].size() + 2 * separatorSize;
  return size;
}

void appendRow(const ReportRows& rows, int32_t row, int32_t columnCount, std::string& text) {
  for (int32_t c = 0; c < columnCount; ++c) text.append(rows.cell(row, c));
  text.append(kLineEnd);
}

// One CSV field: as it is, or quoted with inner quotes doubled when it holds the separator or a quote.
void appendCsvField(std::string_view field, char separator, std::string& text) {
  if (field.find(separator) == std::string_view::npos && field.find('"') == std::string_view::npos) {
    text.append(field);
    return;
  }
  text.push_back('"');
  for (const char ch : field) {
    if (ch == '"') text.push_back('"');
    text.push_back(ch);
  }
  text.push_back('"');
}

// The CSV header lines: each part a field followed by the separator.
void appendCsvHeaderLines(const ReportColumnTable& columns, char separator, std::string& text) {
  for (const bool upper : {true, false}) {
    for (int32_t c = 0; c < columns.count; ++c) {
      const HeaderLines parts = splitHeader(columns.headers[c]);
      appendCsvField(upper ? parts.upper : parts.lower, separator, text);
      text.push_back(separator);
    }
    text.append(kLineEnd);
  }
}

}  // namespace

char csvSeparatorForLocale() {
  const std::lconv* conv = std::localeconv();
  const char* point = conv != nullptr ? conv->decimal_point : nullptr;
  return point != nullptr && std::strcmp(point, ",") == 0 ? ';' : ',';
}

void appendHeaderLines(const ReportColumnTable& columns, std::string_view separator, std::string& text) {
  for (int32_t c = 0; c < columns.count; ++c) {
    text.append(splitHeader(columns.headers[c]).upper);
    text.append(separator);
  }
  text.append(kLineEnd);
  for (int32_t c = 0; c < columns.count; ++c) {
    text.append(splitHeader(columns.headers[c]).lower);
    text.append(separator);
  }
  text.append(kLineEnd);
}

std::string copyAllText(const DigitalReport& report) {
  const ReportColumnTable& columns = *report.columns;
  const ReportRows& rows = report.rows;
  const int32_t rowCount = rows.rowCount();
  std::string text;
  text.reserve(headerSize(columns, kClipboardSeparator.size()) + rows.totalTextSize() +
               static_cast<size_t>(rowCount) * kLineEnd.size());
  appendHeaderLines(columns, kClipboardSeparator, text);
  for (int32_t r = 0; r < rowCount; ++r) appendRow(rows, r, columns.count, text);
  return text;
}

bool copySelectedText(const DigitalReport& report, std::span<const int32_t> selectedRows, std::string& text,
                      MessageSink& messages) {
  const ReportRows& rows = report.rows;
  std::vector<int32_t> selected;
  selected.reserve(selectedRows.size());
  for (int32_t r : selectedRows)
    if (r >= 0 && r < rows.rowCount()) selected.push_back(r);
  if (selected.empty()) {
    messages.showMessage(msg::kNoItemsSelected);
    return false;
  }
  std::sort(selected.begin(), selected.end());
  selected.erase(std::unique(selected.begin(), selected.end()), selected.end());

  const ReportColumnTable& columns = *report.columns;
  size_t size = headerSize(columns, kClipboardSeparator.size());
  for (int32_t r : selected) size += rows.rowTextSize(r) + kLineEnd.size();
  std::string result;
  result.reserve(size);
  appendHeaderLines(columns, kClipboardSeparator, result);
  for (int32_t r : selected) appendRow(rows, r, columns.count, result);
  text = std::move(result);
  return true;
}

std::string testDateLine(int32_t testTime) {
  const std::time_t when = static_cast<std::time_t>(testTimeSeconds(testTime));
  std::tm local{};
  char date[32] = "";
  char time[32] = "";
  if (localtime_r(&when, &local) != nullptr) {
    std::strftime(date, sizeof date, "%d.%m.%Y", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
  }
  std::string line = "Date: ";
  line.append(date);
  line.append("  at  ");
  line.append(time);
  return line;
}

bool isUsableCsvSeparator(char separator) {
  if (separator <= ' ' || separator > '~') return false;  // printable ASCII, the space excluded
  if ((separator >= '0' && separator <= '9') || separator == '+' || separator == '-' || separator == '"') return false;
  const std::lconv* conv = std::localeconv();
  const char* point = conv != nullptr ? conv->decimal_point : nullptr;
  return point == nullptr || point[0] != separator || point[1] != '\0';
}

std::string csvNameLine(std::string_view subjectName, char separator) {
  std::string cell = "Name: ";
  cell.reserve(cell.size() + subjectName.size());
  for (size_t i = 0; i < subjectName.size();) {
    const size_t control = lineBreakingControlLength(subjectName, i);
    if (control > 0) {
      cell.push_back(' ');
      i += control;
    } else {
      cell.push_back(subjectName[i++]);
    }
  }
  std::string line;
  appendCsvField(cell, separator, line);
  return line;
}

std::string csvExportText(const DigitalReport& report, std::string_view subjectName, int32_t testTime, char separator) {
  const ReportColumnTable& columns = *report.columns;
  const ReportRows& rows = report.rows;
  const int32_t rowCount = rows.rowCount();
  std::string text;
  text.reserve(64 + subjectName.size() + headerSize(columns, 1) + rows.totalTextSize() +
               static_cast<size_t>(rowCount) * (kLineEnd.size() + static_cast<size_t>(columns.count)));

  text.append(csvNameLine(subjectName, separator));
  text.append(kLineEnd);
  text.append(kLineEnd);
  text.append(testDateLine(testTime));
  text.append(kLineEnd);
  text.append(kLineEnd);
  appendCsvHeaderLines(columns, separator, text);
  for (int32_t r = 0; r < rowCount; ++r) {
    for (int32_t c = 0; c < columns.count; ++c) {
      text.append(rows.cell(r, c));
      text.push_back(separator);
    }
    text.append(kLineEnd);
  }
  return text;
}

}  // namespace velkora
