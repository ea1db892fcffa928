#include "library/server_text.h"

#include <cstdint>

#include "model/utf8.h"

namespace velkora {
namespace {

constexpr uint32_t kByteCharacters = 0x10FF00;  // U+10FF00 + b stands for the byte b

// The well-formed UTF-8 character at `text[i]` and its length; 0 when the bytes there are not one.
size_t characterAt(std::string_view text, size_t i, uint32_t& codePoint) {
  char32_t c = 0;
  const size_t length = decodeUtf8(text.substr(i), c);
  codePoint = static_cast<uint32_t>(c);
  return length;
}

void appendByteCharacter(std::string& out, unsigned char b) { appendUtf8(out, kByteCharacters + b); }

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
