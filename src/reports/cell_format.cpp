#include "reports/cell_format.h"

#include <clocale>
#include <cmath>
#include <cstring>

namespace velkora {
namespace {

// Digits of a non-negative number, right to left into the end of `buffer`; returns the first digit.
char* digitsBackward(char* end, uint64_t value, int minDigits) {
  char* p = end;
  int written = 0;
  do {
    *--p = static_cast<char>('0' + value % 10);
    value /= 10;
    ++written;
  } while (value != 0 || written < minDigits);
  return p;
}

int padInto(char* out, const char* text, int length, int width) {
  int pad = width > length ? width - length : 0;
  std::memset(out, ' ', static_cast<size_t>(pad));
  std::memcpy(out + pad, text, static_cast<size_t>(length));
  return pad + length;
}

}  // namespace

std::string_view localeDecimalPoint() {
  const std::lconv* conv = std::localeconv();
  if (conv == nullptr || conv->decimal_point == nullptr || conv->decimal_point[0] == '\0') return ".";
  return conv->decimal_point;
}

int formatFixedCell(char* out, float value, int width, int decimals, std::string_view point) {
  if (!std::isfinite(value) || decimals < 1 || decimals > 6 || point.size() > 8) return -1;
  uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  // A float has 24 significant bits and 10^6 needs 20 more: the product is exact in a double, so
  // rounding it to an integer in the current rounding mode is exactly what printf does.
  const double scaled = static_cast<double>(value) * static_cast<double>(scale);
  if (std::fabs(scaled) >= 9.0e15) return -1;
  const double rounded = std::nearbyint(scaled);
  const uint64_t magnitude = static_cast<uint64_t>(std::fabs(rounded));

  char buffer[48];
  char* const end = buffer + sizeof buffer;
  char* p = digitsBackward(end, magnitude % scale, decimals);
  p -= point.size();
  std::memcpy(p, point.data(), point.size());
  p = digitsBackward(p, magnitude / scale, 1);
  if (std::signbit(value)) *--p = '-';  // printf keeps the sign of a value that rounds to zero
  return padInto(out, p, static_cast<int>(end - p), width);
}

int formatIntCell(char* out, int64_t value, int width) {
  char buffer[24];
  char* const end = buffer + sizeof buffer;
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char* p = digitsBackward(end, magnitude, 1);
  if (value < 0) *--p = '-';
  return padInto(out, p, static_cast<int>(end - p), width);
}

}  // namespace velkora
