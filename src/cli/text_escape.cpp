#include "cli/text_escape.h"

#include <cstdint>
#include <cstdio>

namespace velkora::cli {
namespace {

// Length of the well-formed UTF-8 sequence at the start of `s` and its code point; 0 when malformed.
size_t decodeUtf8(std::string_view s, uint32_t& codePoint) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = byte(0);
  size_t length = 0;
  uint32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, codePoint = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, codePoint = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, codePoint = lead & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    codePoint = codePoint << 6 | (byte(i) & 0x3F);
  }
  if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

bool mustEscape(uint32_t c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 ||
         c == 0x2029;
}

}  // namespace

std::string escapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  char hex[16];
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (b == '\\') {
      out += "\\\\";
      ++i;
    } else if (b < 0x20 || b == 0x7F) {
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
      ++i;
    } else if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
    } else {
      uint32_t c = 0;
      const size_t length = decodeUtf8(text.substr(i), c);
      if (length == 0) {
        std::snprintf(hex, sizeof hex, "\\x%02X", b);  // not UTF-8: the byte itself
        out += hex;
        ++i;
        continue;
      }
      if (mustEscape(c)) {
        std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
        out += hex;
      } else {
        out.append(text.substr(i, length));
      }
      i += length;
    }
  }
  return out;
}

}  // namespace velkora::cli
