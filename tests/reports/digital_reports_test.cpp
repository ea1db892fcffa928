#include "reports/digital_reports.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "report_fixtures.h"
#include "reports/jump_analysis.h"

namespace velkora {
namespace {

using testing::makeStore;

std::vector<std::string> rowCells(const DigitalReport& report, int32_t row) {
  std::vector<std::string> cells;
  for (int32_t c = 0; c < report.columns->count; ++c) cells.emplace_back(report.rows.cell(row, c));
  return cells;
}

// Sets LC_NUMERIC for one test and puts "C" back.
class NumericLocale {
 public:
  explicit NumericLocale(const char* name) : ok_(std::setlocale(LC_NUMERIC, name) != nullptr) {}
  ~NumericLocale() { std::setlocale(LC_NUMERIC, "C"); }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

// A power recording whose kinematic model is set by hand: a 100 kg subject (981 N) whose velocity,
// displacement (cm), power F·v and acceleration (F − 981) / 100 are given, taking off at sample 4.
std::unique_ptr<MeasurementStore> handMadeJump(float bodyWeight) {
  auto store = makeStore({}, TestKind::Power, bodyWeight);
  const int32_t vertical[8] = {1081, 1231, 1081, 1131, 481, 481, 1567, 481};
  const double velocity[8] = {0, 1, 2.5, 0.5, -0.1, -1.8, -0.2, 0};
  const float displacement[8] = {0, -12.345f, -0.5f, 0, 0, 3, 54.321f, 0.1f};
  for (int k = 0; k < 8; ++k) {
    store->channels.vertical[k] = vertical[k];
    store->channels.horizontal[k] = 0;
    store->jump.velocity[k] = static_cast<float>(velocity[k]);
    store->jump.displacement[k] = displacement[k];
    store->jump.power[k] = static_cast<float>(vertical[k] * velocity[k]);
    store->jump.acceleration[k] = static_cast<float>((vertical[k] - 981) / 100.0);
  }
  store->sampleCount = 8;
  store->jump.analysed = true;
  store->jump.hasModel = true;
  store->jump.phases.takeOff = 4;
  store->jump.peakIndex = 6;  // the model's take-off splits the phases, not the impulse peak
  return store;
}

TEST(DigitalReports, IntervalRowsOfSamples) {
  auto store = makeStore({{3, 10, 0}}, TestKind::Force);
  store->channels.vertical[1] = 20;
  store->channels.horizontal[2] = -4;
  store->channels.vertical[2] = 3;
  DigitalReport report;
  fillIntervalReport(*store, 1, false, report);
  EXPECT_EQ(report.columns, &forceIntervalColumns);
  ASSERT_EQ(report.rows.rowCount(), 3);
  EXPECT_EQ(rowCells(report, 0), (std::vector<std::string>{"       1 -       1", "  10.0", "   0.0", "  10.0"}));
  EXPECT_EQ(rowCells(report, 2), (std::vector<std::string>{"       3 -       3", "   3.0", "  -4.0", "   5.0"}));

  // 25 samples in tens: the last row averages the five samples 21..25.
  auto ramp = makeStore({{25, 0}}, TestKind::Force);
  for (int i = 0; i < 25; ++i) ramp->channels.vertical[i] = i + 1;
  fillIntervalReport(*ramp, 10, false, report);
  ASSERT_EQ(report.rows.rowCount(), 3);
  EXPECT_EQ(report.rows.cell(0, 0), "       1 -      10");
  EXPECT_EQ(report.rows.cell(0, 1), "   5.5");
  EXPECT_EQ(report.rows.cell(2, 0), "      21 -      25");
  EXPECT_EQ(report.rows.cell(2, 1), "  23.0");

  // An interval of the whole recording, or beyond it, is one row over everything.
  for (int32_t k : {25, 1000}) {
    fillIntervalReport(*ramp, k, false, report);
    ASSERT_EQ(report.rows.rowCount(), 1);
    EXPECT_EQ(report.rows.cell(0, 0), "       1 -      25");
    EXPECT_EQ(report.rows.cell(0, 1), "  13.0");
  }

  // No samples, no rows; a rebuild drops the earlier rows.
  auto empty = makeStore({}, TestKind::Force);
  fillIntervalReport(*empty, 1, false, report);
  EXPECT_EQ(report.rows.rowCount(), 0);
}

TEST(DigitalReports, RepetitionMeansAreCutTowardZero) {
  auto store = makeStore({}, TestKind::Force);
  RepetitionTable& t = store->repetitions;
  const int32_t peakV[4] = {100, 101, 102, 104};  // mean 101.75
  const int32_t meanH[4] = {-10, -10, -11, 7};
  for (int i = 0; i < 4; ++i) {
    t.peakVertical[i] = peakV[i];
    t.meanVertical[i] = 50;
    t.peakHorizontal[i] = 9;
    t.meanHorizontal[i] = meanH[i];
  }
  t.count = 4;
  DigitalReport report;
  fillIntervalReport(*store, 3, true, report);
  EXPECT_EQ(report.columns, &repetitionColumns);
  ASSERT_EQ(report.rows.rowCount(), 2);
  EXPECT_EQ(rowCells(report, 0),
            (std::vector<std::string>{"       1 -       3", "   101", "    50", "     9", "   -10"}));
  EXPECT_EQ(rowCells(report, 1),
            (std::vector<std::string>{"       4 -       4", "   104", "    50", "     9", "     7"}));
  fillIntervalReport(*store, 4, true, report);
  EXPECT_EQ(report.rows.cell(0, 1), "   101");  // 101.75 cut, not rounded
  EXPECT_EQ(report.rows.cell(0, 4), "    -6");  // -6.0 → -6; -24 / 4
}

TEST(DigitalReports, PowerReportShowsKinematics) {
  auto store = handMadeJump(64.0f);
  DigitalReport report;
  fillPowerReport(*store, 4, report);
  EXPECT_EQ(report.columns, &powerIntervalColumns);
  ASSERT_EQ(report.rows.rowCount(), 2);
  // Samples 0..3: force 4524 / 4; acceleration (1 + 2.5 + 1 + 1.5) / 4 m/s² against 981 N on 100 kg;
  // velocity (0 + 1 + 2.5 + 0.5) / 4; displacement (−12.345 − 0.5) / 4 cm; power (1231 + 2702.5 + 565.5) / 4.
  EXPECT_EQ(rowCells(report, 0),
            (std::vector<std::string>{"       1 -       4", "  1131", "  1.50", "1.0000", " -3.21", "  1124"}));
  EXPECT_EQ(report.rows.cell(1, 0), "       5 -       8");
  EXPECT_EQ(report.rows.cell(1, 1), "   752");  // 752.5 cut
  EXPECT_EQ(report.rows.cell(1, 5), "  -306");  // −306.825 cut toward zero

  fillDigitalReport(*store, 1, report);
  EXPECT_EQ(report.rows.rowCount(), 8);
  EXPECT_EQ(report.columns, &powerIntervalColumns);
  EXPECT_EQ(report.rows.cell(2, 3), "2.5000");
  store->testKind = TestKind::Force;
  fillDigitalReport(*store, 1, report);
  EXPECT_EQ(report.columns, &forceIntervalColumns);
}

TEST(DigitalReports, SummaryCells) {
  auto store = handMadeJump(64.0f);
  DigitalReport report;
  fillSummaryReport(*store, report);
  EXPECT_EQ(report.columns, &summaryColumns);
  ASSERT_EQ(report.rows.rowCount(), 6);
  // Take-off phase 0..3: force 1231 N, velocity 2.5 m/s, power 1081 × 2.5, dip −12.345 cm.
  // Touch-down phase 4..7: force 1567 N, velocity −1.8 m/s, power 481 × −1.8, lift 54.321 cm.
  EXPECT_EQ(rowCells(report, 0),
            (std::vector<std::string>{" Fmax:", "  1231   (N)", " 19.23(N/kg)", "", "  1567   (N)", " 24.48(N/kg)"}));
  EXPECT_EQ(rowCells(report, 1),
            (std::vector<std::string>{" Pmax:", "  2702   (W)", " 42.23(W/kg)", "", "  -865   (W)", "-13.53(W/kg)"}));
  EXPECT_EQ(rowCells(report, 2), (std::vector<std::string>{" vmax:", "  2.50 (m/s)", "", "", " -1.80 (m/s)", ""}));
  EXPECT_EQ(rowCells(report, 3), (std::vector<std::string>{" ", "", "", "", "", ""}));
  EXPECT_EQ(rowCells(report, 4),
            (std::vector<std::string>{"Center of gravity dip before take off:", "-12.3 (cm)", "", "", "", ""}));
  // Displacements are centimetres already: the lift is not scaled again.
  EXPECT_EQ(rowCells(report, 5),
            (std::vector<std::string>{"Center of gravity lift after take off:", " 54.3 (cm)", "", "", "", ""}));

  // Not weighed: the per-kilogram cells stay empty, the rest stays.
  store->bodyWeight = 0.0f;
  fillSummaryReport(*store, report);
  EXPECT_EQ(rowCells(report, 0), (std::vector<std::string>{" Fmax:", "  1231   (N)", "", "", "  1567   (N)", ""}));
  EXPECT_EQ(report.rows.cell(1, 2), "");
}

// 1231 N for 1 s on 100 kg leaves at 2.5 m/s (31.855 cm); then 500 ms in the air (30.65625 cm).
std::unique_ptr<MeasurementStore> heightJump(float bodyWeight) {
  return makeStore({{1000, 1231}, {500, 0}, {100, 981}}, TestKind::Power, bodyWeight);
}

TEST(DigitalReports, HeightCells) {
  auto store = heightJump(100.0f);
  DigitalReport report;
  fillHeightReport(*store, report);
  EXPECT_EQ(report.columns, &heightReportColumns);
  ASSERT_EQ(report.rows.rowCount(), 3);
  EXPECT_EQ(rowCells(report, 0), (std::vector<std::string>{"h - TAKE OFF IMPULSE:", "  31.9", " cm"}));
  EXPECT_EQ(rowCells(report, 1), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(rowCells(report, 2), (std::vector<std::string>{"h - FLIGHT TIME:", "  30.7", " cm"}));

  store->bodyWeight = 0.0f;
  fillHeightReport(*store, report);
  EXPECT_EQ(rowCells(report, 0), (std::vector<std::string>{"h - TAKE OFF IMPULSE:", "no body weight", ""}));
  EXPECT_EQ(rowCells(report, 2), (std::vector<std::string>{"h - FLIGHT TIME:", "  30.7", " cm"}));
}

TEST(DigitalReports, NoInfinityOrNanWithoutBodyWeight) {
  auto store = makeStore({{1000, 1231}, {500, 0}, {100, 981}}, TestKind::Power, 0.0f);
  computeJumpResults(*store);
  DigitalReport report;
  auto text = [&report] {
    std::string all;
    for (int32_t r = 0; r < report.rows.rowCount(); ++r)
      for (int32_t c = 0; c < report.columns->count; ++c) all.append(report.rows.cell(r, c));
    return all;
  };
  fillSummaryReport(*store, report);
  std::string all = text();
  fillHeightReport(*store, report);
  all += text();
  fillPowerReport(*store, 7, report);
  all += text();
  EXPECT_EQ(all.find("inf"), std::string::npos) << all;
  EXPECT_EQ(all.find("nan"), std::string::npos) << all;
}

TEST(DigitalReports, DecimalCommaLocale) {
  NumericLocale locale("de_DE.UTF-8");
  if (!locale.ok()) GTEST_SKIP() << "de_DE.UTF-8 is not available";
  auto store = heightJump(100.0f);
  DigitalReport report;
  fillHeightReport(*store, report);
  EXPECT_EQ(report.rows.cell(0, 1), "  31,9");
  EXPECT_EQ(report.rows.cell(2, 1), "  30,7");
  fillIntervalReport(*store, 1000, false, report);
  EXPECT_EQ(report.rows.cell(0, 1), "1231,0");
}

}  // namespace
}  // namespace velkora
