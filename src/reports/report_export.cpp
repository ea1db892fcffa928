#include "reports/report_export.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <ctime>
#include <vector>

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

std::string csvExportText(const DigitalReport& report, std::string_view subjectName, int32_t testTime, char separator) {
  const ReportColumnTable& columns = *report.columns;
  const ReportRows& rows = report.rows;
  const int32_t rowCount = rows.rowCount();
  const std::string_view sep(&separator, 1);
  std::string text;
  text.reserve(64 + subjectName.size() + headerSize(columns, 1) + rows.totalTextSize() +
               static_cast<size_t>(rowCount) * (kLineEnd.size() + static_cast<size_t>(columns.count)));

  text.append("Name: ");
  text.append(subjectName);
  text.append(kLineEnd);
  text.append(kLineEnd);
  text.append(testDateLine(testTime));
  text.append(kLineEnd);
  text.append(kLineEnd);
  appendHeaderLines(columns, sep, text);
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
