#include "cli/text_escape.h"

#include <cstdint>
#include <cstdio>

#include "model/utf8.h"

namespace velkora::cli {
namespace {

bool mustEscape(char32_t c) {
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
      char32_t c = 0;
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
