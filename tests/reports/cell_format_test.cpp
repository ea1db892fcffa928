#include "reports/cell_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace velkora {
namespace {

std::string fixed(float value, int decimals) {
  char out[64];
  const int len = formatFixedCell(out, value, 6, decimals, localeDecimalPoint());
  return len < 0 ? std::string("<snprintf>") : std::string(out, static_cast<size_t>(len));
}

std::string reference(float value, int decimals) {
  char format[16];
  std::snprintf(format, sizeof format, "%%6.%df", decimals);
  char out[400];
  std::snprintf(out, sizeof out, format, static_cast<double>(value));
  return out;
}

// Values where rounding is hard: exact halves, values just beside them, signs, zeros, large values.
std::vector<float> testValues() {
  std::vector<float> values = {0.0f,    -0.0f,    0.05f,   -0.05f,  0.25f,     -0.25f,     2.5f,    0.125f,
                               0.375f,  1.0625f,  -0.004f, -0.04f,  0.95f,     9.95f,      99.95f,  999.95f,
                               0.0005f, 0.00005f, 1e-30f,  -1e-30f, 123456.7f, 16777216.f, 3.0e9f,  -2.1e9f,
                               1e11f,   0.45f,    0.55f,   1.45f,   2.675f,    -1021.25f,  31.855f, 30.65625f};
  std::mt19937 random(20240607);
  std::uniform_real_distribution<float> small(-10.0f, 10.0f);
  std::uniform_real_distribution<float> force(-5000.0f, 5000.0f);
  for (int i = 0; i < 20000; ++i) {
    values.push_back(small(random));
    values.push_back(force(random));
    values.push_back(std::round(force(random) * 8) / 8 + 0.0625f);  // ties of the 1st and 2nd decimal
  }
  for (int k = -2000; k <= 2000; ++k) values.push_back(static_cast<float>(k) / 200);  // x.xx5 and neighbours
  return values;
}

void expectSameAsSnprintf() {
  for (float v : testValues()) {
    for (int decimals : {1, 2, 4}) {
      const std::string mine = fixed(v, decimals);
      if (mine == "<snprintf>") continue;
      ASSERT_EQ(mine, reference(v, decimals)) << "value " << v << " decimals " << decimals;
    }
  }
}

TEST(CellFormat, FixedCellsMatchSnprintf) {
  expectSameAsSnprintf();
  EXPECT_EQ(fixed(-0.04f, 1), "  -0.0");
  EXPECT_EQ(fixed(1e16f, 1), "<snprintf>");
  EXPECT_EQ(fixed(std::numeric_limits<float>::infinity(), 2), "<snprintf>");
  EXPECT_EQ(fixed(std::numeric_limits<float>::quiet_NaN(), 2), "<snprintf>");
}

TEST(CellFormat, FixedCellsMatchSnprintfWithADecimalComma) {
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not available";
  EXPECT_EQ(localeDecimalPoint(), ",");
  expectSameAsSnprintf();
  EXPECT_EQ(fixed(-12.25f, 2), "-12,25");
  std::setlocale(LC_NUMERIC, "C");
}

TEST(CellFormat, IntCellsMatchSnprintf) {
  for (int64_t v : {int64_t{0}, int64_t{7}, int64_t{-7}, int64_t{123456}, int64_t{-12345}, int64_t{1234567},
                    int64_t{INT_MAX}, int64_t{INT_MIN}}) {
    char mine[32];
    const int len = formatIntCell(mine, v, 6);
    char ref[32];
    std::snprintf(ref, sizeof ref, "%6d", static_cast<int>(v));
    EXPECT_EQ(std::string(mine, static_cast<size_t>(len)), ref);
  }
}

}  // namespace
}  // namespace velkora
