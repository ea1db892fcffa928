#pragma once
// How velkora-cli library (and metrics, for its CSV) prints: dates in ISO 8601 local time, CSV cells
// quoted as RFC 4180 says, numbers in the C locale, and columns padded for reading.

#include <cstdint>
#include <string>
#include <string_view>

namespace velkora::cli {

// "2024-05-01T10:23:45" in local time.
std::string isoLocalTime(int64_t seconds);
// "2024-05-01T10:23:45+02:00": local time with its offset from UTC, for CSV.
std::string isoLocalTimeWithOffset(int64_t seconds);

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a space for the T too) in local time.
bool parseLocalDate(std::string_view text, int64_t& seconds);

// A CSV cell: quoted, with inner quotes doubled, when it holds a comma, a quote or a line break.
std::string csvField(std::string_view text);

// A number with a fixed count of decimals and '.', whatever the locale.
std::string formatFixed(double value, int32_t decimals);

// Characters of UTF-8 text (what a terminal's columns roughly count).
size_t displayWidth(std::string_view utf8);

// The text followed by spaces up to `width` characters.
std::string padded(std::string_view text, size_t width);

}  // namespace velkora::cli
