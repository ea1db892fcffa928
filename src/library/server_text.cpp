#include "library/server_text.h"

#include <cstdint>

namespace velkora {
namespace {

constexpr uint32_t kByteCharacters = 0x10FF00;  // U+10FF00 + b stands for the byte b

// The length of the well-formed UTF-8 character at `text[i]` (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), with its code point; 0 when the bytes there are not one.
size_t characterAt(std::string_view text, size_t i, uint32_t& codePoint) {
  const auto byte = [&](size_t k) -> uint32_t { return static_cast<unsigned char>(text[k]); };
  const uint32_t b0 = byte(i);
  if (b0 < 0x80) {
    codePoint = b0;
    return 1;
  }
  size_t length = 0;
  uint32_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0) low = 0xA0;
    if (b0 == 0xED) high = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0) low = 0x90;
    if (b0 == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  codePoint = b0 & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
  for (size_t k = 1; k < length; ++k) codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
  return length;
}

void appendByteCharacter(std::string& out, unsigned char b) {
  const uint32_t c = kByteCharacters + b;
  out.push_back(static_cast<char>(0xF0 | (c >> 18)));
  out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
  out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
  out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

bool needsWriting(uint32_t codePoint) { return codePoint == 0 || codePoint >= kByteCharacters; }

}  // namespace

std::string toServerText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    uint32_t codePoint = 0;
    const size_t length = characterAt(bytes, i, codePoint);
    if (length == 0) {
      appendByteCharacter(out, static_cast<unsigned char>(bytes[i]));
      ++i;
    } else if (needsWriting(codePoint)) {
      for (size_t k = 0; k < length; ++k) appendByteCharacter(out, static_cast<unsigned char>(bytes[i + k]));
      i += length;
    } else {
      out.append(bytes.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string fromServerText(std::string_view text) {
  if (text.find('\xF4') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t codePoint = 0;
    const size_t length = characterAt(text, i, codePoint);
    if (length == 4 && codePoint >= kByteCharacters) {
      out.push_back(static_cast<char>(codePoint - kByteCharacters));
      i += 4;
    } else {
      const size_t step = length == 0 ? 1 : length;
      out.append(text.substr(i, step));
      i += step;
    }
  }
  return out;
}

}  // namespace velkora
