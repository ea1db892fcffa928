#include "app/field_validation.h"

#include <gtest/gtest.h>

#include <string>

#include "model/utf8.h"

namespace velkora {
namespace {

TEST(FieldValidation, IntegersAreReadAsTheDialogsAcceptThem) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  };
  const Case cases[] = {
      {"0", 0},
      {"130", 130},
      {"  42 ", 42},
      {"-500", -500},
      {"+7", 7},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"  ", std::nullopt},
      {"-", std::nullopt},
      {"12a", std::nullopt},
      {"1 2", std::nullopt},
      {"1.5", std::nullopt},
      {"abc", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parseIntegerField(c.text), c.value) << '"' << c.text << '"';
}

TEST(FieldValidation, ChecksGiveTheFrameworkPromptsWithTheNumbersInPlace) {
  int32_t value = -1;
  EXPECT_EQ(checkInteger("x", value), "Please enter an integer.");
  EXPECT_EQ(value, -1);
  EXPECT_EQ(checkInteger("-3", value), std::nullopt);
  EXPECT_EQ(value, -3);

  EXPECT_EQ(checkIntegerInRange("131", kAgeRange, value), "Please enter an integer between 0 and 130.");
  EXPECT_EQ(checkIntegerInRange("201", kWeightRange, value), "Please enter an integer between 0 and 200.");
  EXPECT_EQ(checkIntegerInRange("301", kHeightRange, value), "Please enter an integer between 0 and 300.");
  EXPECT_EQ(checkIntegerInRange("-1", kAgeRange, value), "Please enter an integer between 0 and 130.");
  EXPECT_EQ(checkIntegerInRange("", kAgeRange, value), "Please enter an integer.");
  EXPECT_EQ(value, -3) << "a refused value is not taken";
  EXPECT_EQ(checkIntegerInRange("130", kAgeRange, value), std::nullopt);
  EXPECT_EQ(value, 130);

  const std::string name66(66, 'n');
  EXPECT_EQ(checkTextLength(name66, 66), std::nullopt);
  EXPECT_EQ(checkTextLength(name66 + "n", 66), "Please enter no more than 66 characters.");
  // Characters, not bytes: 66 two-byte letters are within the limit.
  std::string accented;
  for (int i = 0; i < 66; ++i) accented += "\xC5\xA1";
  EXPECT_EQ(utf8Length(accented), 66);
  EXPECT_EQ(checkTextLength(accented, 66), std::nullopt);
  EXPECT_EQ(utf8Length("\xE2\x82\xAC\xF0\x9F\x98\x80"), 2);
  EXPECT_EQ(utf8Length("\xC5"), 1) << "a cut sequence counts one";
  EXPECT_EQ(utf8Length("\xFF\xFE"), 2);
}

TEST(FieldValidation, AxisRowsNeedAMinimumBelowTheirMaximum) {
  const int32_t mins[] = {0, -2000, -2000, -3, -50, 0};
  int32_t maxs[] = {2000, 2000, 2000, 3, 50, 4000};
  EXPECT_EQ(firstAxisRowWithoutRange(mins, maxs, 6), -1);
  maxs[4] = -50;
  EXPECT_EQ(firstAxisRowWithoutRange(mins, maxs, 6), 4);
  maxs[1] = -2001;
  EXPECT_EQ(firstAxisRowWithoutRange(mins, maxs, 6), 1);
  EXPECT_EQ(firstAxisRowWithoutRange(mins, maxs, 1), -1);
}

}  // namespace
}  // namespace velkora
