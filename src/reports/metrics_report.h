#pragma once
// The metrics of a test as a report of two columns, "Metric" and "Value": readable names, values with
// their units and the locale's decimal mark (as in the other reports), "n/a" where a value does not
// exist. A force test lists its whole-test rows first, then each repetition under a heading row
// "Repetition K". Also the short text the status bar shows the moment a power test ends.

#include <string>

#include "acquisition/measurement_store.h"
#include "reports/report_table.h"
#include "reports/test_metrics.h"

namespace velkora {

inline constexpr ReportColumnTable metricsColumns{2, {320, 160}, {900, 400}, {"Metric\n ", "Value\n "}};

// The readable name and unit of a metric key ("Jump height (take-off velocity)", "cm"); the unit is
// empty for counts and texts.
struct MetricLabel {
  std::string_view name;
  std::string_view unit;
};
MetricLabel metricLabel(std::string_view key);

// The value cell: the number as formatMetricValue prints it with the locale's decimal mark, a space and
// the unit; the text of a text metric; "n/a" when absent.
std::string metricValueCell(const Metric& metric);

void fillMetricsReport(const TestMetrics& metrics, DigitalReport& report);

// The metrics of the store's recording as its test kind.
void fillMetricsReport(const MeasurementStore& store, DigitalReport& report);

// "Jump 32.4 cm (flight 31.9 cm), RSI-mod 0.45" with the locale's decimal mark; a value that does not
// exist reads "n/a", and a recording without a take-off gives "No take-off found".
std::string jumpFeedbackText(const TestMetrics& metrics);

}  // namespace velkora
