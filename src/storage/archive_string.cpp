#include "storage/archive_string.h"

#include "model/utf8.h"

namespace velkora {
namespace {

constexpr uint16_t kWideMarker = 0xFFFE;

// 0x80..0x9F of Windows-1252; 0xA0..0xFF equal their Latin-1 code points.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The code point at s[i], advancing i; anything malformed yields U+FFFD and skips one byte.
char32_t nextCodePoint(std::string_view s, size_t& i) {
  char32_t c = 0;
  const size_t length = decodeUtf8(s.substr(i), c);
  if (length == 0) {
    ++i;
    return kReplacementCharacter;
  }
  i += length;
  return c;
}

bool isPlainAscii(std::string_view s) {
  for (const char ch : s)
    if (static_cast<uint8_t>(ch) >= 0x80) return false;
  return true;
}

// The wide marker may appear once, before the real prefix; inside the wide form 0xFFFE is a length.
bool readLength(ByteReader& in, bool allowWideMarker, uint64_t& length, bool& wide) {
  uint8_t b;
  if (!in.u8(b)) return false;
  if (b < 0xFF) {
    length = b;
    return true;
  }
  uint16_t w;
  if (!in.u16(w)) return false;
  if (allowWideMarker && w == kWideMarker) {
    wide = true;
    return readLength(in, false, length, wide);
  }
  if (w < 0xFFFF) {
    length = w;
    return true;
  }
  uint32_t d;
  if (!in.u32(d)) return false;
  if (d < 0xFFFFFFFFu) {
    length = d;
    return true;
  }
  return in.u64(length);
}

}  // namespace

std::string cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const uint8_t b = static_cast<uint8_t>(ch);
    if (b < 0x80)
      out.push_back(ch);
    else if (b < 0xA0)
      appendUtf8(out, kCp1252High[b - 0x80]);
    else
      appendUtf8(out, b);
  }
  return out;
}

std::string utf16leToUtf8(const uint8_t* units, size_t count) {
  std::string out;
  out.reserve(count);
  const auto unit = [&](size_t k) { return static_cast<char16_t>(units[2 * k] | (units[2 * k + 1] << 8)); };
  for (size_t k = 0; k < count; ++k) {
    const char16_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < count) {
      const char16_t low = unit(k + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
        ++k;
        continue;
      }
    }
    appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacementCharacter : u);
  }
  return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const char32_t c = nextCodePoint(utf8, i);
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

void writeArchiveLength(ByteWriter& out, uint64_t length) {
  if (length < 0xFF) {
    out.u8(static_cast<uint8_t>(length));
    return;
  }
  out.u8(0xFF);
  if (length < 0xFFFE) {
    out.u16(static_cast<uint16_t>(length));
    return;
  }
  out.u16(0xFFFF);
  if (length < 0xFFFFFFFFu) {
    out.u32(static_cast<uint32_t>(length));
    return;
  }
  out.u32(0xFFFFFFFFu);
  out.u64(length);
}

void writeArchiveString(ByteWriter& out, std::string_view utf8) {
  if (isPlainAscii(utf8)) {
    writeArchiveLength(out, utf8.size());
    out.bytes(utf8.data(), utf8.size());
    return;
  }
  const std::u16string units = utf8ToUtf16(utf8);
  out.u8(0xFF);
  out.u16(kWideMarker);
  writeArchiveLength(out, units.size());
  for (const char16_t u : units) out.u16(u);
}

bool readArchiveString(ByteReader& in, std::string& utf8) {
  uint64_t length = 0;
  bool wide = false;
  if (!readLength(in, true, length, wide)) return false;
  // Compare against what is left before touching memory, so a hostile length allocates nothing.
  const uint64_t available = wide ? in.remaining() / 2 : in.remaining();
  if (length > available) return false;
  const size_t n = static_cast<size_t>(length);
  const uint8_t* start = in.current();
  if (wide) {
    utf8 = utf16leToUtf8(start, n);
    in.skip(2 * n);
  } else {
    utf8 = cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(start), n));
    in.skip(n);
  }
  return true;
}

}  // namespace velkora
