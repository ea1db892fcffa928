#include "cli/library_text.h"

#include <charconv>
#include <cmath>
#include <ctime>

#include "model/utf8.h"

namespace velkora::cli {
namespace {

std::string strftimeLocal(int64_t seconds, const char* format) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  char text[64];
  if (localtime_r(&t, &local) == nullptr || std::strftime(text, sizeof text, format, &local) == 0)
    return std::to_string(seconds);
  return text;
}

bool digits(std::string_view text, size_t at, size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (size_t k = at; k < at + count; ++k) {
    if (text[k] < '0' || text[k] > '9') return false;
    value = value * 10 + (text[k] - '0');
  }
  return true;
}

}  // namespace

std::string isoLocalTime(int64_t seconds) { return strftimeLocal(seconds, "%Y-%m-%dT%H:%M:%S"); }

std::string isoLocalTimeWithOffset(int64_t seconds) {
  std::string text = strftimeLocal(seconds, "%Y-%m-%dT%H:%M:%S%z");
  if (text.size() >= 5 && (text[text.size() - 5] == '+' || text[text.size() - 5] == '-'))
    text = text.substr(0, text.size() - 2) + ':' + text.substr(text.size() - 2);  // +0200 as +02:00
  return text;
}

bool parseLocalDate(std::string_view text, int64_t& seconds) {
  int year, month, day, hour = 0, minute = 0, second = 0;
  if (!digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !digits(text, 5, 2, month) || text[7] != '-' ||
      !digits(text, 8, 2, day))
    return false;
  if (text.size() > 10) {
    if ((text[10] != 'T' && text[10] != ' ') || text.size() < 16 || !digits(text, 11, 2, hour) || text[13] != ':' ||
        !digits(text, 14, 2, minute))
      return false;
    if (text.size() > 16 && (text.size() != 19 || text[16] != ':' || !digits(text, 17, 2, second))) return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return false;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  // mktime rolls 31 April over into May: such a date was not a date.
  if (t == static_cast<std::time_t>(-1) || tm.tm_mday != day || tm.tm_mon != month - 1) return false;
  seconds = static_cast<int64_t>(t);
  return true;
}

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted.push_back('"');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

std::string formatFixed(double value, int32_t decimals) {
  if (!std::isfinite(value)) return "n/a";
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return "n/a";
  std::string formatted(text, result.ptr);
  if (formatted.starts_with('-') && formatted.find_first_not_of("-0.") == std::string::npos) formatted.erase(0, 1);
  return formatted;
}

size_t displayWidth(std::string_view utf8) { return static_cast<size_t>(utf8Length(utf8)); }

std::string padded(std::string_view text, size_t width) {
  std::string out(text);
  const size_t shown = displayWidth(text);
  if (shown < width) out.append(width - shown, ' ');
  return out;
}

}  // namespace velkora::cli
