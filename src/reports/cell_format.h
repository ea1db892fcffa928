#pragma once
// Fast formatting of report cells, byte for byte what snprintf gives for "%W.Pf" of a float and for
// "%Wd", with the locale's decimal mark. The digital report with interval 1 formats a quarter of a
// million numbers; snprintf's float path alone would take longer than the whole report may.

#include <cstdint>
#include <string_view>

namespace velkora {

// The decimal mark of LC_NUMERIC, as snprintf writes it.
std::string_view localeDecimalPoint();

// Writes `value` as snprintf(out, size, "%<width>.<decimals>f", (double)value) would, with `point` as
// the decimal mark (decimals 1 to 6). Returns the length, or -1 for a value it leaves to snprintf
// (infinite, NaN, or too large for exact fixed-point digits); `out` must hold 64 bytes.
int formatFixedCell(char* out, float value, int width, int decimals, std::string_view point);

// Writes `value` as "%<width>d" would; `out` must hold 32 bytes. Returns the length.
int formatIntCell(char* out, int64_t value, int width);

}  // namespace velkora
