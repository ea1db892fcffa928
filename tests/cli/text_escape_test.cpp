#include "cli/text_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace velkora::cli {
namespace {

TEST(TextEscape, EverythingThatCouldBreakTheLineOrTurnTheTextIsEscaped) {
  const struct {
    std::string text;
    std::string shown;
  } cases[] = {
      {"Anna Nov\xC3\xA1kov\xC3\xA1", "Anna Nov\xC3\xA1kov\xC3\xA1"},  // letters stay
      {"a\\b", "a\\\\b"},
      {std::string("\0\x01\t\n\r\x1B[2J\x7F", 10), "\\x00\\x01\\x09\\x0A\\x0D\\x1B[2J\\x7F"},
      {"\xC2\x80|\xC2\x85|\xC2\x9B|\xC2\x9F|\xC2\xA0", "\\u0080|\\u0085|\\u009B|\\u009F|\xC2\xA0"},  // C1, then NBSP
      {"x\xE2\x80\xAEgpj.exe", "x\\u202Egpj.exe"},  // right-to-left override
      {"\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD", "\\u202A\\u202B\\u202C\\u202D"},
      {"\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9", "\\u2066\\u2067\\u2068\\u2069"},
      {"a\xE2\x80\xA8"
       "b\xE2\x80\xA9"
       "c",
       "a\\u2028b\\u2029c"},  // line and paragraph separators
      {"\xE2\x80\x8F\xE2\x81\xA5\xF0\x9F\x98\x80", "\xE2\x80\x8F\xE2\x81\xA5\xF0\x9F\x98\x80"},  // neighbours stay
      {"\xC2", "\\xC2"},                                                                         // cut short
      {"\xC0\x8A|\xE0\x80\x8A|\xED\xA0\x80|\xFF", "\\xC0\\x8A|\\xE0\\x80\\x8A|\\xED\\xA0\\x80|\\xFF"},  // no UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(escapeText(c.text), c.shown) << ::testing::PrintToString(c.text);
}

}  // namespace
}  // namespace velkora::cli
