#include "storage/archive_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velkora {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string encode(std::string_view utf8) {
  std::string out;
  ByteWriter w(out);
  writeArchiveString(w, utf8);
  return out;
}

// Reads one string; returns false when the reader says the bytes ran out.
bool decode(const std::string& encoded, std::string& text, size_t* consumed = nullptr) {
  ByteReader r(encoded);
  const bool ok = readArchiveString(r, text);
  if (consumed) *consumed = r.position();
  return ok;
}

TEST(ArchiveString, LengthPrefixesSwitchAtEachBoundary) {
  struct Case {
    size_t length;
    std::string prefix;
  };
  const std::vector<Case> cases = {
      {0, bytes({0x00})},
      {66, bytes({0x42})},
      {254, bytes({0xFE})},
      {255, bytes({0xFF, 0xFF, 0x00})},
      {65533, bytes({0xFF, 0xFD, 0xFF})},
      {65534, bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {70000, bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string text(c.length, 'x');
    const std::string encoded = encode(text);
    ASSERT_EQ(encoded.size(), c.prefix.size() + c.length);
    EXPECT_EQ(encoded.substr(0, c.prefix.size()), c.prefix);
    std::string back;
    size_t consumed = 0;
    ASSERT_TRUE(decode(encoded + "tail", back, &consumed));
    EXPECT_EQ(back, text);
    EXPECT_EQ(consumed, encoded.size());
  }

  // The eight-byte form, for lengths no file of ours reaches.
  std::string out;
  ByteWriter w(out);
  writeArchiveLength(w, 0xFFFFFFFFull);
  EXPECT_EQ(out, bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
}

TEST(ArchiveString, WideFormIsReadAsUtf8) {
  struct Case {
    const char* what;
    std::string encoded;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"BMP and a surrogate pair", bytes({0xFF, 0xFE, 0xFF, 0x04, 'a', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE}),
       "a\xC3\xA9\xF0\x9F\x98\x80"},
      {"empty", bytes({0xFF, 0xFE, 0xFF, 0x00}), ""},
      {"lone high surrogate at the end", bytes({0xFF, 0xFE, 0xFF, 0x02, 'b', 0, 0x3D, 0xD8}), "b\xEF\xBF\xBD"},
      {"lone low surrogate", bytes({0xFF, 0xFE, 0xFF, 0x01, 0x00, 0xDE}), "\xEF\xBF\xBD"},
      {"high surrogate then a letter", bytes({0xFF, 0xFE, 0xFF, 0x02, 0x3D, 0xD8, 'c', 0}),
       "\xEF\xBF\xBD"
       "c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text;
    size_t consumed = 0;
    ASSERT_TRUE(decode(c.encoded, text, &consumed));
    EXPECT_EQ(text, c.expected);
    EXPECT_EQ(consumed, c.encoded.size());
  }

  // A wide string long enough for the two-byte prefix inside the wide form.
  std::string encoded = bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01});
  for (int k = 0; k < 300; ++k) encoded += bytes({0xAC, 0x20});  // euro signs
  std::string text;
  ASSERT_TRUE(decode(encoded, text));
  EXPECT_EQ(text.size(), 900u);
  EXPECT_EQ(text.substr(0, 3), "\xE2\x82\xAC");
}

TEST(ArchiveString, NonAsciiIsWrittenWideAndComesBackUnchanged) {
  const std::string text = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // é € 😀
  const std::string encoded = encode(text);
  EXPECT_EQ(encoded, bytes({0xFF, 0xFE, 0xFF, 0x04, 0xE9, 0x00, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE}));
  std::string back;
  ASSERT_TRUE(decode(encoded, back));
  EXPECT_EQ(back, text);

  // A long non-ASCII string needs the longer prefix inside the wide form.
  std::string many;
  for (int k = 0; k < 70000; ++k) many += "\xC3\xBC";  // ü
  const std::string wide = encode(many);
  EXPECT_EQ(wide.substr(0, 10), bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}));
  ASSERT_TRUE(decode(wide, back));
  EXPECT_EQ(back, many);
}

TEST(ArchiveString, MalformedUtf8IsWrittenAsReplacementCharacters) {
  const std::vector<std::pair<std::string, std::u16string>> cases = {
      {"a\xC3", u"a\uFFFD"},                              // cut-off sequence
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong '/'
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // a surrogate in UTF-8
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"\x80z", u"\uFFFDz"},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(::testing::PrintToString(input));
    EXPECT_EQ(utf8ToUtf16(input), expected);
  }
}

TEST(ArchiveString, OneByteStringsAreWindows1252) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0x41, "A"},
      {0x80, "\xE2\x82\xAC"},
      {0x81, "\xC2\x81"},
      {0x8A, "\xC5\xA0"},
      {0x8D, "\xC2\x8D"},
      {0x8F, "\xC2\x8F"},
      {0x90, "\xC2\x90"},
      {0x92, "\xE2\x80\x99"},
      {0x96, "\xE2\x80\x93"},
      {0x99, "\xE2\x84\xA2"},
      {0x9D, "\xC2\x9D"},
      {0x9F, "\xC5\xB8"},
      {0xA0, "\xC2\xA0"},
      {0xE9, "\xC3\xA9"},
      {0xFF, "\xC3\xBF"},
  };
  for (const auto& [byte, expected] : cases) {
    SCOPED_TRACE(byte);
    std::string text;
    ASSERT_TRUE(decode(bytes({0x01, byte}), text));
    EXPECT_EQ(text, expected);
  }
  EXPECT_EQ(cp1252ToUtf8(bytes({'C', 'a', 'f', 0xE9, ' ', 0x80, '5'})),
            "Caf\xC3\xA9 \xE2\x82\xAC"
            "5");
}

TEST(ArchiveString, LengthsBeyondTheDataFailWithoutAllocating) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty input", ""},
      {"one-byte length, one character short", bytes({0x03, 'a', 'b'})},
      {"two-byte prefix cut", bytes({0xFF, 0x10})},
      {"four-byte length", bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 'a'})},
      {"eight-byte length 2^40", bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 1, 0, 0, 'a'})},
      {"eight-byte length max",
       bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'})},
      {"wide, odd byte short", bytes({0xFF, 0xFE, 0xFF, 0x02, 'a', 0, 'b'})},
      // Twice this length overflows 64 bits; it must still count as too long.
      {"wide, huge count",
       bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0x80, 'a', 0})},
      {"wide marker only", bytes({0xFF, 0xFE, 0xFF})},
  };
  for (const auto& [what, encoded] : cases) {
    SCOPED_TRACE(what);
    std::string text = "unchanged";
    EXPECT_FALSE(decode(encoded, text));
    EXPECT_EQ(text, "unchanged");
  }
}

}  // namespace
}  // namespace velkora
