#pragma once
// A large made-up library for the performance checks: many subjects with names from many scripts, each
// with tests spread over years, a third of them force tests with three repetitions, every metric a real
// test has stored. The tests go straight to the backend; no measurement file stands behind them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "library/library_records.h"
#include "library/subject_identity.h"
#include "reports/test_metrics.h"

namespace velkora::testing {

// Subject k's name: 900 first and last name pairs, then numbered again.
inline std::string syntheticSubjectName(int k) {
  static const char* first[] = {"Anna", "Bert",  "Carla", "Dmitri", "Elena", "Felix", "Greta", "Hannes",
                                "Ines", "Jonas", "Katja", "Lukas",  "Maja",  "Nils",  "Olga",  "Pavel",
                                "Rosa", "Sven",  "Tanja", "Uwe",    "Vera",  "Wim",   "Xenia", "Yusuf",
                                "Zoë",  "Åsa",   "Émile", "Jürgen", "Łucja", "Σοφία"};
  static const char* last[] = {"Meier",   "Novak",  "Horvat", "Schmidt", "Berg",   "Costa",    "Dahl",   "Eriksen",
                               "Fischer", "Garcia", "Hansen", "Ivanova", "Jensen", "Kovač",    "Larsen", "Müller",
                               "Nowak",   "Olsen",  "Petrov", "Quinn",   "Rossi",  "Sørensen", "Tanaka", "Urban",
                               "Varga",   "Weber",  "Young",  "Zeller",  "Öztürk", "Ångström"};
  return std::string(first[k % 30]) + " " + last[(k / 30) % 30] + (k >= 900 ? " " + std::to_string(k / 900) : "");
}

// Test k of a library of `subjects` subjects, its file named under `folder`.
inline LibraryTest syntheticLibraryTest(int k, int subjects, const std::string& folder) {
  LibraryTest test;
  const int subject = k % subjects;
  test.kind = k % 3 == 0 ? TestKind::Force : TestKind::Power;
  test.path = folder + "/" + std::to_string(subject) + "/" + std::to_string(k) +
              (test.kind == TestKind::Power ? ".tsr" : ".vkr");
  test.stamp = {40000 + k % 1000, 1700000000LL * 1000000000 + k};
  test.contentHash = std::string(48, 'f') + std::to_string(1000000000000000 + k);
  test.testTime = 1650000000 + static_cast<int64_t>(k / subjects) * 1300000 + subject * 60;
  test.sampleCount = 5000;
  test.bodyWeight = 60.0f + static_cast<float>(subject % 40);
  test.subject.name = syntheticSubjectName(subject);
  test.subject.weight = 60 + subject % 40;
  test.subject.height = 160 + subject % 40;
  test.subjectKey = subjectKey(test.subject.name);
  if (test.kind == TestKind::Power) {
    for (std::string_view key : powerMetricKeys())
      test.metrics.push_back({std::string(key), key == "jumpType" ? MetricFormat::Text : MetricFormat::Fixed2,
                              key == "jumpType" ? std::nullopt : std::optional<double>(20.0 + (k % 997) * 0.01),
                              key == "jumpType" ? std::optional<std::string>("CMJ") : std::nullopt});
  } else {
    for (std::string_view key : forceMetricKeys())
      test.metrics.push_back({std::string(key), MetricFormat::Fixed1, 800.0 + k % 400, std::nullopt});
    for (int rep = 1; rep <= 3; ++rep)
      for (std::string_view key : repetitionMetricKeys())
        test.metrics.push_back({"rep" + std::to_string(rep) + "." + std::string(key), MetricFormat::Fixed1,
                                700.0 + k % 300, std::nullopt});
  }
  return test;
}

}  // namespace velkora::testing
