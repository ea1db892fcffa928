#include "model/messages.h"

#include <gtest/gtest.h>

namespace velkora {
namespace {

TEST(Messages, FormatterFillsBothPlaceholdersInOnePass) {
  struct Case {
    std::string_view templ, a1, a2, expected;
  };
  const Case cases[] = {
      {msg::kEnterIntegerBetween, "0", "130", "Please enter an integer between 0 and 130."},
      {msg::kEnterNoMoreThan, "66", "", "Please enter no more than 66 characters."},
      {"%2 before %1", "one", "two", "two before one"},
      {"%1%1%2", "a", "b", "aab"},
      {"%1", "%2", "x", "%2"},  // an argument is not formatted again
      {"100% sure, %3 and %", "a", "b", "100% sure, %3 and %"},
  };
  for (const Case& c : cases) EXPECT_EQ(formatMessage(c.templ, c.a1, c.a2), c.expected) << c.templ;
  EXPECT_EQ(formatMessage(msg::kPastEnd, "/d/f.vkr"), "An attempt was made to access /d/f.vkr past its end.");
}

}  // namespace
}  // namespace velkora
