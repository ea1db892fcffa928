#include "library/subject_identity.h"

#include <cstdint>

#include "model/utf8.h"

namespace velkora {
namespace {

struct Decoded {
  char32_t code = 0;
  size_t length = 0;  // 0: not a UTF-8 sequence at this byte
};

// One strictly decoded code point (the program's one decoder).
Decoded decodeAt(std::string_view text, size_t at) {
  Decoded d;
  d.length = decodeUtf8(text.substr(at), d.code);
  return d;
}

bool isTrimmed(char32_t c) {
  if (c <= 0x20 || c == 0x7F || c == 0x85 || c == 0xA0 || c == 0x1680) return true;
  if (c >= 0x2000 && c <= 0x200A) return true;
  return c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// Upper case at the even (or odd) code points of a block, its lower case right after it.
char32_t pairFold(char32_t c, bool upperIsEven) { return ((c & 1) == 0) == upperIsEven ? c + 1 : c; }

struct Mapping {
  char32_t from;
  char32_t to;
};

// The irregular folds of Latin Extended-B (the alternating stretches are handled by rule below).
constexpr Mapping kLatinExtendedB[] = {
    {0x181, 0x253}, {0x182, 0x183}, {0x184, 0x185},  {0x186, 0x254}, {0x187, 0x188}, {0x189, 0x256}, {0x18A, 0x257},
    {0x18B, 0x18C}, {0x18E, 0x1DD}, {0x18F, 0x259},  {0x190, 0x25B}, {0x191, 0x192}, {0x193, 0x260}, {0x194, 0x263},
    {0x196, 0x269}, {0x197, 0x268}, {0x198, 0x199},  {0x19C, 0x26F}, {0x19D, 0x272}, {0x19F, 0x275}, {0x1A0, 0x1A1},
    {0x1A2, 0x1A3}, {0x1A4, 0x1A5}, {0x1A6, 0x280},  {0x1A7, 0x1A8}, {0x1A9, 0x283}, {0x1AC, 0x1AD}, {0x1AE, 0x288},
    {0x1AF, 0x1B0}, {0x1B1, 0x28A}, {0x1B2, 0x28B},  {0x1B3, 0x1B4}, {0x1B5, 0x1B6}, {0x1B7, 0x292}, {0x1B8, 0x1B9},
    {0x1BC, 0x1BD}, {0x1C4, 0x1C6}, {0x1C5, 0x1C6},  {0x1C7, 0x1C9}, {0x1C8, 0x1C9}, {0x1CA, 0x1CC}, {0x1CB, 0x1CC},
    {0x1F1, 0x1F3}, {0x1F2, 0x1F3}, {0x1F4, 0x1F5},  {0x1F6, 0x195}, {0x1F7, 0x1BF}, {0x220, 0x19E}, {0x23A, 0x2C65},
    {0x23B, 0x23C}, {0x23D, 0x19A}, {0x23E, 0x2C66}, {0x241, 0x242}, {0x243, 0x180}, {0x244, 0x289}, {0x245, 0x28C},
};

constexpr Mapping kGreek[] = {
    {0x345, 0x3B9}, {0x370, 0x371}, {0x372, 0x373}, {0x376, 0x377}, {0x37F, 0x3F3}, {0x386, 0x3AC}, {0x388, 0x3AD},
    {0x389, 0x3AE}, {0x38A, 0x3AF}, {0x38C, 0x3CC}, {0x38E, 0x3CD}, {0x38F, 0x3CE}, {0x3C2, 0x3C3}, {0x3CF, 0x3D7},
    {0x3D0, 0x3B2}, {0x3D1, 0x3B8}, {0x3D5, 0x3C6}, {0x3D6, 0x3C0}, {0x3F0, 0x3BA}, {0x3F1, 0x3C1}, {0x3F4, 0x3B8},
    {0x3F5, 0x3B5}, {0x3F7, 0x3F8}, {0x3F9, 0x3F2}, {0x3FA, 0x3FB}, {0x3FD, 0x37B}, {0x3FE, 0x37C}, {0x3FF, 0x37D},
};

template <size_t N>
char32_t lookUp(const Mapping (&table)[N], char32_t c) {
  for (const Mapping& m : table)
    if (m.from == c) return m.to;
  return c;
}

// The simple case fold of one code point in the blocks this folding covers; others stay.
char32_t foldCodePoint(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
  if (c < 0x100) {
    if (c == 0xB5) return 0x3BC;  // micro sign: Greek mu
    if ((c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xDE)) return c + 0x20;
    return c;
  }
  if (c < 0x180) {
    if (c == 0x130) return 'i';
    if (c == 0x178) return 0xFF;
    if (c == 0x17F) return 's';
    if (c < 0x130 || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return pairFold(c, true);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return pairFold(c, false);
    return c;
  }
  if (c < 0x250) {
    if (c >= 0x1CD && c <= 0x1DC) return pairFold(c, false);
    if ((c >= 0x1DE && c <= 0x1EF) || (c >= 0x1F8 && c <= 0x21F) || (c >= 0x222 && c <= 0x233) ||
        (c >= 0x246 && c <= 0x24F))
      return pairFold(c, true);
    return lookUp(kLatinExtendedB, c);
  }
  if (c >= 0x345 && c < 0x400) {
    if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB)) return c + 0x20;
    if (c >= 0x3D8 && c <= 0x3EF) return pairFold(c, true);
    return lookUp(kGreek, c);
  }
  if (c >= 0x400 && c < 0x530) {
    if (c < 0x410) return c + 0x50;
    if (c < 0x430) return c + 0x20;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
      return pairFold(c, true);
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return pairFold(c, false);
    return c;
  }
  if (c >= 0x531 && c <= 0x556) return c + 0x30;  // Armenian
  if (c >= 0x1E00 && c <= 0x1EFF) {
    if (c == 0x1E9B) return 0x1E61;
    if (c <= 0x1E95 || c >= 0x1EA0) return pairFold(c, true);
    return c;
  }
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;  // fullwidth Latin
  return c;
}

}  // namespace

std::string_view trimSubjectName(std::string_view name) {
  size_t begin = 0;
  while (begin < name.size()) {
    const Decoded d = decodeAt(name, begin);
    if (d.length == 0 || !isTrimmed(d.code)) break;
    begin += d.length;
  }
  // Trailing: find the last code point that stays.
  size_t end = begin;
  for (size_t at = begin; at < name.size();) {
    const Decoded d = decodeAt(name, at);
    const size_t length = d.length == 0 ? 1 : d.length;
    if (d.length == 0 || !isTrimmed(d.code)) end = at + length;
    at += length;
  }
  return name.substr(begin, end - begin);
}

std::string foldCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t at = 0; at < utf8.size();) {
    const Decoded d = decodeAt(utf8, at);
    if (d.length == 0) {
      out.push_back(utf8[at]);  // not UTF-8: kept byte for byte
      ++at;
      continue;
    }
    at += d.length;
    if (d.code == 0xDF || d.code == 0x1E9E) {
      out += "ss";
      continue;
    }
    appendUtf8(out, foldCodePoint(d.code));
  }
  return out;
}

std::string subjectKey(std::string_view name) { return foldCase(trimSubjectName(name)); }

}  // namespace velkora
