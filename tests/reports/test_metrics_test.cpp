#include "reports/test_metrics.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "report_fixtures.h"
#include "reports/metrics_report.h"
#include "support/designed_jump.h"

namespace velkora {
namespace {

using testing::makeStore;
using testing::Segment;

// Every metric as the command prints it, repetitions with their "repK." prefix.
std::map<std::string, std::string> printed(const TestMetrics& metrics) {
  std::map<std::string, std::string> values;
  for (const Metric& m : metrics.whole) values[std::string(m.key)] = formatMetricValue(m);
  for (size_t r = 0; r < metrics.repetitions.size(); ++r)
    for (const Metric& m : metrics.repetitions[r])
      values["rep" + std::to_string(r + 1) + "." + std::string(m.key)] = formatMetricValue(m);
  return values;
}

std::set<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::set<std::string> result;
  for (std::string w; in >> w;) result.insert(w);
  return result;
}

TEST(TestMetrics, ValuesThatDoNotExistAreNa) {
  const std::string quiet = "sampleCount storedBodyWeight_kg bodyWeight_N bodyMass_kg quietSd_N onsetThreshold_N ";
  const std::string flight =
      "takeoffIndex touchdownIndex peakLandingForceIndex flightTime_ms jumpHeightFlightTime_cm peakLandingForce_N ";
  const std::string push =
      "jumpType onsetIndex propulsionStartIndex propulsionDuration_ms timeToTakeoff_ms takeoffVelocity_m_s "
      "jumpHeightTakeoffVelocity_cm rsiModified_m_s propulsiveImpulse_Ns meanPropulsiveForce_N "
      "peakPropulsiveForce_N meanPropulsivePower_W peakPropulsivePower_W ";
  const std::string braking =
      "brakingStartIndex unweightingDuration_ms brakingDuration_ms countermovementDepth_cm "
      "peakNegativeVelocity_m_s brakingImpulse_Ns meanBrakingForce_N averageBrakingRfd_N_s forceAtZeroVelocity_N ";
  const struct {
    const char* name;
    std::vector<Segment> segments;
    std::string present;  // every other key is n/a
    std::map<std::string, std::string> values;
    float coefficient = 1.0f;  // newtons per count
  } cases[] = {
      {"squat jump",
       {{1000, 981}, {300, 1500}, {400, 0}, {300, 1400}, {500, 981}},
       quiet + flight + push,
       {{"jumpType", "SJ"}, {"onsetIndex", "970"}, {"propulsionStartIndex", "1000"}, {"flightTime_ms", "400"}}},
      {"countermovement jump",
       {{1000, 981}, {200, 600}, {300, 1500}, {300, 0}, {300, 1600}, {200, 981}},
       quiet + flight + push + braking,
       {{"jumpType", "CMJ"}, {"brakingStartIndex", "1199"}}},
      {"no jump", {{3000, 981}}, quiet + "jumpType", {{"jumpType", "none"}, {"bodyWeight_N", "981.0"}}},
      {"ends in the air",
       {{1000, 981}, {200, 600}, {300, 1500}, {300, 0}},
       quiet + push + braking + "takeoffIndex",
       {{"jumpType", "CMJ"}, {"takeoffIndex", "1500"}}},
      {"take-off in the first second",
       {{500, 981}, {300, 0}, {700, 981}},
       "sampleCount storedBodyWeight_kg " + flight,
       {{"takeoffIndex", "500"}, {"flightTime_ms", "300"}, {"jumpType", "n/a"}}},
      {"no onset", {{1500, 981}, {300, 0}, {200, 981}}, quiet + flight, {{"jumpType", "n/a"}}},
      {"drop jump",
       {{300, 0}, {250, 1500}, {400, 0}, {300, 1400}, {250, 981}},
       "sampleCount storedBodyWeight_kg jumpType contactIndex takeoffIndex touchdownIndex peakLandingForceIndex "
       "peakLandingForce_N contactTime_ms flightTime_ms jumpHeightFlightTime_cm reactiveStrengthIndex_m_s",
       {{"jumpType", "DJ"},
        {"contactIndex", "300"},
        {"contactTime_ms", "250"},
        {"flightTime_ms", "400"},
        {"jumpHeightFlightTime_cm", "19.62"},
        {"reactiveStrengthIndex_m_s", "0.785"}}},
      {"drop jump without contact", {{1200, 0}}, "sampleCount storedBodyWeight_kg jumpType", {{"jumpType", "DJ"}}},
      {"shorter than a second", {{999, 981}}, "sampleCount storedBodyWeight_kg", {{"sampleCount", "999"}}},
      {"calibration of a hostile file",
       {{1000, 981}, {200, 600}, {300, 1500}, {300, 0}, {300, 1600}},
       "sampleCount storedBodyWeight_kg jumpType",
       {{"jumpType", "none"}, {"bodyWeight_N", "n/a"}},
       std::numeric_limits<float>::quiet_NaN()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto store = makeStore(c.segments, TestKind::Power, 100.0f);
    store->calibration.coefficientVertical = c.coefficient;
    const TestMetrics metrics = computeTestMetrics(*store, TestKind::Power);
    ASSERT_EQ(metrics.whole.size(), powerMetricKeys().size());
    const std::set<std::string> present = words(c.present);
    for (const Metric& m : metrics.whole) {
      EXPECT_EQ(m.present, present.count(std::string(m.key)) == 1) << m.key;
      const std::string text = formatMetricValue(m);
      EXPECT_TRUE(text.find("nan") == std::string::npos && text.find("inf") == std::string::npos) << m.key;
    }
    const auto values = printed(metrics);
    for (const auto& [key, value] : c.values) EXPECT_EQ(values.at(key), value) << key;
  }
}

TEST(TestMetrics, SwayBeforeTheJumpIsNotItsOnset) {
  // A bump above and a dip below the threshold 0.7 s before a countermovement jump.
  testing::DesignedJump design;
  const TestMetrics plain = computeTestMetrics(*testing::designedStore(design), TestKind::Power);
  design.sway = {{design.start - 700, 60, 40.0}, {design.start - 620, 60, -40.0}};
  const TestMetrics swayed = computeTestMetrics(*testing::designedStore(design), TestKind::Power);
  const auto before = printed(plain), after = printed(swayed);
  ASSERT_LT(std::stod(after.at("onsetThreshold_N")), 40.0) << "the sway must reach past the threshold";
  EXPECT_EQ(after.at("jumpType"), "CMJ");
  EXPECT_EQ(after.at("onsetIndex"), before.at("onsetIndex"));
  EXPECT_EQ(after.at("onsetIndex"), std::to_string(design.start - 30));
  EXPECT_EQ(after.at("jumpHeightTakeoffVelocity_cm"), before.at("jumpHeightTakeoffVelocity_cm"));
}

TEST(TestMetrics, ForceRepetitionsRateOfForceDevelopmentAndImpulse) {
  // 2 N per count. A ramp of 1 count per ms from 71 counts (400 ms), ended by exactly 70 counts; a plateau
  // of 100 ms as high as the ramp's peak; a run still going at the end, which is no repetition.
  auto store = makeStore({{100, 0}}, TestKind::Force);
  int32_t n = 100;
  for (int32_t k = 0; k < 400; ++k) store->channels.vertical[n++] = 71 + k;
  for (const Segment& s : std::vector<Segment>{{1, 70}, {200, 0}, {100, 470}, {100, 0}, {99, 300}})
    for (int32_t i = 0; i < s.samples; ++i) store->channels.vertical[n++] = s.vertical;
  store->sampleCount = n;
  store->calibration.coefficientVertical = 2.0f;

  const TestMetrics metrics = computeTestMetrics(*store, TestKind::Force);
  ASSERT_EQ(metrics.repetitions.size(), 2u);
  const auto values = printed(metrics);
  const std::map<std::string, std::string> expected = {
      {"sampleCount", "1000"},         {"repetitionCount", "2"},      {"bestRepetition", "1"},
      {"peakForce_N", "940.0"},        {"timeToPeak_ms", "399"},      {"rfd0to50_N_s", "2000"},
      {"rfd0to250_N_s", "2000"},       {"impulse0to100_Ns", "24.20"}, {"impulse0to200_Ns", "68.40"},
      {"impulse0to300_Ns", "132.60"},  {"meanForce_N", "541.0"},      {"averagePeakForce_N", "940.0"},
      {"averageMeanForce_N", "740.5"}, {"rep1.onsetIndex", "100"},    {"rep1.endIndex", "499"},
      {"rep2.onsetIndex", "701"},      {"rep2.endIndex", "800"},      {"rep2.timeToPeak_ms", "0"},
      {"rep2.rfd0to50_N_s", "0"},      {"rep2.rfd0to100_N_s", "n/a"}, {"rep2.impulse0to100_Ns", "n/a"},
  };
  for (const auto& [key, value] : expected) EXPECT_EQ(values.at(key), value) << key;

  // Without a repetition only the two counts have values.
  store->sampleCount = 100;
  const TestMetrics none = computeTestMetrics(*store, TestKind::Force);
  EXPECT_TRUE(none.repetitions.empty());
  for (const Metric& m : none.whole)
    EXPECT_EQ(m.present, m.key == "sampleCount" || m.key == "repetitionCount") << m.key;
}

TEST(MetricsReport, RowsUnitsHeadingsAndFeedback) {
  // Two repetitions: the whole-test rows, then each repetition under its heading.
  auto store = makeStore({{10, 0}, {300, 500}, {10, 0}, {40, 400}, {10, 0}}, TestKind::Force);
  DigitalReport report;
  fillMetricsReport(*store, report);
  EXPECT_EQ(report.columns, &metricsColumns);
  const int32_t whole = static_cast<int32_t>(forceMetricKeys().size());
  const int32_t perRepetition = static_cast<int32_t>(repetitionMetricKeys().size());
  ASSERT_EQ(report.rows.rowCount(), whole + 2 * (1 + perRepetition));
  EXPECT_EQ(report.rows.cell(1, 0), "Repetitions");
  EXPECT_EQ(report.rows.cell(1, 1), "2");
  EXPECT_EQ(report.rows.cell(3, 0), "Peak force (best repetition)");
  EXPECT_EQ(report.rows.cell(3, 1), "500.0 N");
  EXPECT_EQ(report.rows.cell(whole, 0), "Repetition 1");
  EXPECT_EQ(report.rows.cell(whole, 1), "");
  EXPECT_EQ(report.rows.cell(whole + 1 + perRepetition, 0), "Repetition 2");
  EXPECT_EQ(report.rows.cell(whole + 1 + perRepetition + 2, 0), "End at");
  EXPECT_EQ(report.rows.cell(whole + 1 + perRepetition + 2, 1), "359 ms");
  EXPECT_EQ(report.rows.cell(whole + 1 + perRepetition + 6, 0), "RFD 0-100 ms");
  EXPECT_EQ(report.rows.cell(whole + 1 + perRepetition + 6, 1), "n/a");

  // A jump: the list and the status bar follow the locale's decimal mark.
  const TestMetrics metrics = computeTestMetrics(*testing::designedStore({}), TestKind::Power);
  auto value = [&metrics](std::string_view key) {
    for (const Metric& m : metrics.whole)
      if (m.key == key) return m.value;
    return 0.0;
  };
  char expected[96];
  std::snprintf(expected, sizeof expected, "Jump %.1f cm (flight %.1f cm), RSI-mod %.2f",
                value("jumpHeightTakeoffVelocity_cm"), value("jumpHeightFlightTime_cm"), value("rsiModified_m_s"));
  EXPECT_EQ(jumpFeedbackText(metrics), expected);
  EXPECT_EQ(jumpFeedbackText(computeTestMetrics(*makeStore({{2000, 981}}), TestKind::Power)), "No take-off found");
  EXPECT_EQ(jumpFeedbackText(computeTestMetrics(*makeStore({{1200, 981}, {300, 0}}), TestKind::Power)),
            "Jump n/a (flight n/a), RSI-mod n/a");
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE.UTF-8 is not available";
  fillMetricsReport(metrics, report);
  const std::string feedback = jumpFeedbackText(metrics);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(report.rows.cell(21, 0), "Jump height (take-off velocity)");
  std::string comma = printed(metrics).at("jumpHeightTakeoffVelocity_cm");
  comma[comma.find('.')] = ',';
  EXPECT_EQ(report.rows.cell(21, 1), comma + " cm");
  std::string commaFeedback = expected;
  for (char& c : commaFeedback) c = c == '.' ? ',' : c;
  EXPECT_EQ(feedback, commaFeedback);
}

}  // namespace
}  // namespace velkora
