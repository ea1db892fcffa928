#include "app/field_validation.h"

#include <string>

#include "app/messages.h"

namespace velkora {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::optional<int32_t> parseIntegerField(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t firstDigit = i;
  int64_t magnitude = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return std::nullopt;
    ++i;
  }
  if (i == firstDigit) return std::nullopt;
  while (i < text.size() && isBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::optional<std::string> checkInteger(std::string_view text, int32_t& value) {
  const std::optional<int32_t> parsed = parseIntegerField(text);
  if (!parsed) return std::string(msg::kEnterInteger);
  value = *parsed;
  return std::nullopt;
}

std::optional<std::string> checkIntegerInRange(std::string_view text, IntegerRange range, int32_t& value) {
  const std::optional<int32_t> parsed = parseIntegerField(text);
  if (!parsed) return std::string(msg::kEnterInteger);
  if (*parsed < range.min || *parsed > range.max) {
    return formatMessage(msg::kEnterIntegerBetween, std::to_string(range.min), std::to_string(range.max));
  }
  value = *parsed;
  return std::nullopt;
}

std::optional<std::string> checkTextLength(std::string_view utf8, int32_t maxCharacters) {
  if (utf8Length(utf8) <= maxCharacters) return std::nullopt;
  return formatMessage(msg::kEnterNoMoreThan, std::to_string(maxCharacters));
}

int32_t firstAxisRowWithoutRange(const int32_t* minimums, const int32_t* maximums, int32_t rows) {
  for (int32_t r = 0; r < rows; ++r)
    if (minimums[r] >= maximums[r]) return r;
  return -1;
}

int32_t utf8Length(std::string_view utf8) {
  int32_t count = 0;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    } else if (lead >= 0xE0) {
      length = lead <= 0xEF ? 3 : 1;
    } else if (lead >= 0xC2) {
      length = 2;
    }
    // A sequence cut short or with a stray byte counts its lead byte alone.
    if (i + length > utf8.size()) length = 1;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
        length = 1;
        break;
      }
    }
    i += length;
    ++count;
  }
  return count;
}

}  // namespace velkora
