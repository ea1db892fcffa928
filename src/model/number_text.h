#pragma once
// Numbers typed by people or written in options, read one way everywhere.

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>
#include <type_traits>

namespace velkora {

// Reads the whole of `text` as a number of type T: an optional sign ("+" or "-") and the number,
// integers in decimal, floating point in plain or exponent form and finite. False, leaving `value`
// as it was, for anything else: empty text, other characters around it, a value beyond the type.
template <typename T>
bool parseNumber(std::string_view text, T& value) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return false;
  }
  if (text.empty()) return false;
  const char* last = text.data() + text.size();
  T parsed{};
  const auto [ptr, ec] = std::from_chars(text.data(), last, parsed);
  if (ec != std::errc() || ptr != last) return false;
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(parsed)) return false;
  }
  value = parsed;
  return true;
}

}  // namespace velkora
