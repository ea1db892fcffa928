#include "app/field_validation.h"

#include <string>

#include "model/messages.h"
#include "model/number_text.h"
#include "model/utf8.h"

namespace velkora {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::optional<int32_t> parseIntegerField(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  int32_t value = 0;
  if (!parseNumber(text, value)) return std::nullopt;
  return value;
}

std::optional<std::string> checkInteger(std::string_view text, int32_t& value) {
  const std::optional<int32_t> parsed = parseIntegerField(text);
  if (!parsed) return std::string(msg::kEnterInteger);
  value = *parsed;
  return std::nullopt;
}

std::optional<std::string> checkIntegerInRange(std::string_view text, Range range, int32_t& value) {
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

}  // namespace velkora
