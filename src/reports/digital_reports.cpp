#include "reports/digital_reports.h"

#include <climits>
#include <cstdarg>
#include <cstdio>

#include "reports/cell_format.h"
#include "reports/jump_analysis.h"

namespace velkora {
namespace {

// snprintf into a stack buffer and straight into the report's text, no temporary strings.
__attribute__((format(printf, 2, 3))) void appendFormatted(ReportRows& rows, const char* format, ...) {
  char buffer[128];
  va_list args;
  va_start(args, format);
  int len = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (len < 0) len = 0;
  if (len >= static_cast<int>(sizeof buffer)) len = static_cast<int>(sizeof buffer) - 1;
  rows.appendCell(std::string_view(buffer, static_cast<size_t>(len)));
}

// The interval cells, "%8d%s%8d" of a + 1, " -" and b.
void appendRangeCell(ReportRows& rows, int32_t a, int32_t b) {
  char buffer[48];
  int len = formatIntCell(buffer, static_cast<int64_t>(a) + 1, 8);
  buffer[len++] = ' ';
  buffer[len++] = '-';
  len += formatIntCell(buffer + len, b, 8);
  rows.appendCell(std::string_view(buffer, static_cast<size_t>(len)));
}

// A mean formatted "%6.<decimals>f" (the format given for values the fast path leaves alone).
void appendMean(ReportRows& rows, float value, int decimals, const char* format, std::string_view point) {
  char buffer[64];
  const int len = formatFixedCell(buffer, value, 6, decimals, point);
  if (len < 0) {
    appendFormatted(rows, format, static_cast<double>(value));
    return;
  }
  rows.appendCell(std::string_view(buffer, static_cast<size_t>(len)));
}

// A whole number cut from a mean, "%6d".
void appendWhole(ReportRows& rows, float value) {
  char buffer[32];
  const int len = formatIntCell(buffer, truncateToInt(value), 6);
  rows.appendCell(std::string_view(buffer, static_cast<size_t>(len)));
}

int32_t sampleCountOf(const MeasurementStore& store) {
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  if (n < 0) return 0;
  return n > kMaxSamples ? kMaxSamples : n;
}

// Rows and bytes a report over `items` in steps of `interval` will need, for one reservation.
void resetRows(DigitalReport& report, const ReportColumnTable& table, int32_t items, int32_t interval,
               size_t bytesPerRow) {
  report.columns = &table;
  const size_t rows = items > 0 ? static_cast<size_t>((items - 1) / interval) + 1 : 0;
  report.rows.reset(table.count, rows, rows * bytesPerRow);
}

}  // namespace

void fillIntervalReport(const MeasurementStore& store, int32_t interval, bool byRepetition, DigitalReport& report) {
  if (interval < 1) interval = 1;
  ReportRows& rows = report.rows;
  if (byRepetition) {
    const RepetitionTable& table = store.repetitions;
    const int32_t n = table.rows();
    resetRows(report, repetitionColumns, n, interval, 48);
    for (int32_t a = 0; a < n; a += interval) {
      const int32_t b = n - a > interval ? a + interval : n;
      float peakV = 0.0f, meanV = 0.0f, peakH = 0.0f, meanH = 0.0f;
      for (int32_t i = a; i < b; ++i) {
        peakV += static_cast<float>(table.peakVertical[i]);
        meanV += static_cast<float>(table.meanVertical[i]);
        peakH += static_cast<float>(table.peakHorizontal[i]);
        meanH += static_cast<float>(table.meanHorizontal[i]);
      }
      const int32_t count = b - a;
      appendRangeCell(rows, a, b);
      appendWhole(rows, peakV / count);
      appendWhole(rows, meanV / count);
      appendWhole(rows, peakH / count);
      appendWhole(rows, meanH / count);
    }
    return;
  }

  const int32_t n = sampleCountOf(store);
  const std::string_view point = localeDecimalPoint();
  resetRows(report, forceIntervalColumns, n, interval, 40);
  for (int32_t a = 0; a < n; a += interval) {
    const int32_t b = n - a > interval ? a + interval : n;
    float vertical = 0.0f, horizontal = 0.0f, vector = 0.0f;
    for (int32_t i = a; i < b; ++i) {
      vertical += forceAt(store, i, ForceChannel::Vertical);
      horizontal += forceAt(store, i, ForceChannel::Horizontal);
      vector += forceAt(store, i, ForceChannel::Vector);
    }
    const int32_t count = b - a;
    appendRangeCell(rows, a, b);
    appendMean(rows, vertical / count, 1, "%6.1f", point);
    appendMean(rows, horizontal / count, 1, "%6.1f", point);
    appendMean(rows, vector / count, 1, "%6.1f", point);
  }
}

void fillPowerReport(const MeasurementStore& store, int32_t interval, DigitalReport& report) {
  if (interval < 1) interval = 1;
  ReportRows& rows = report.rows;
  const int32_t n = sampleCountOf(store);
  const std::string_view point = localeDecimalPoint();
  resetRows(report, powerIntervalColumns, n, interval, 48);
  for (int32_t a = 0; a < n; a += interval) {
    const int32_t b = n - a > interval ? a + interval : n;
    float vertical = 0.0f, horizontal = 0.0f, acceleration = 0.0f, velocity = 0.0f, displacement = 0.0f, power = 0.0f;
    for (int32_t i = a; i < b; ++i) {
      vertical += forceAt(store, i, ForceChannel::Vertical);
      horizontal += forceAt(store, i, ForceChannel::Horizontal);
      acceleration += accelerationAt(store, i);
      velocity += forceAt(store, i, ForceChannel::Velocity);
      displacement += forceAt(store, i, ForceChannel::Displacement);
      power += forceAt(store, i, ForceChannel::Power);
    }
    const int32_t count = b - a;
    appendRangeCell(rows, a, b);
    appendWhole(rows, (vertical + horizontal) / count);
    appendMean(rows, acceleration / count, 2, "%6.2f", point);
    appendMean(rows, velocity / count, 4, "%6.4f", point);
    appendMean(rows, displacement / count, 2, "%6.2f", point);
    appendWhole(rows, power / count);
  }
}

void fillSummaryReport(const MeasurementStore& store, DigitalReport& report) {
  const PhaseExtremes e = computePhaseExtremes(store);
  const float W = store.bodyWeight;
  const bool weighed = W > 0;  // without a weighing there is nothing to divide by
  ReportRows& rows = report.rows;
  report.columns = &summaryColumns;
  rows.reset(summaryColumns.count, 6, 256);

  auto perKilogram = [&](float value, const char* unit) {
    if (weighed)
      appendFormatted(rows, "%6.2f%6s", static_cast<double>(value / W), unit);
    else
      rows.appendCell({});
  };

  appendFormatted(rows, "%6s", "Fmax:");
  appendFormatted(rows, "%6d%6s", static_cast<int>(truncateToInt(e.takeOffMaxForce)), "(N)");
  perKilogram(e.takeOffMaxForce, "(N/kg)");
  rows.appendCell({});
  appendFormatted(rows, "%6d%6s", static_cast<int>(truncateToInt(e.touchDownMaxForce)), "(N)");
  perKilogram(e.touchDownMaxForce, "(N/kg)");

  appendFormatted(rows, "%6s", "Pmax:");
  appendFormatted(rows, "%6d%6s", static_cast<int>(truncateToInt(e.takeOffMaxPower)), "(W)");
  perKilogram(e.takeOffMaxPower, "(W/kg)");
  rows.appendCell({});
  appendFormatted(rows, "%6d%6s", static_cast<int>(truncateToInt(e.touchDownMinPower)), "(W)");
  perKilogram(e.touchDownMinPower, "(W/kg)");

  appendFormatted(rows, "%6s", "vmax:");
  appendFormatted(rows, "%6.2f%6s", static_cast<double>(e.takeOffMaxVelocity), "(m/s)");
  rows.appendCell({});
  rows.appendCell({});
  appendFormatted(rows, "%6.2f%6s", static_cast<double>(e.touchDownMinVelocity), "(m/s)");
  rows.appendCell({});

  rows.appendCell(" ");
  for (int c = 1; c < summaryColumns.count; ++c) rows.appendCell({});

  // Both displacements are already centimetres.
  appendFormatted(rows, "%36s", "Center of gravity dip before take off:");
  appendFormatted(rows, "%5.1f%5s", static_cast<double>(e.takeOffMinDisplacement), "(cm)");
  for (int c = 2; c < summaryColumns.count; ++c) rows.appendCell({});

  appendFormatted(rows, "%36s", "Center of gravity lift after take off:");
  appendFormatted(rows, "%5.1f%5s", static_cast<double>(e.touchDownMaxDisplacement), "(cm)");
  for (int c = 2; c < summaryColumns.count; ++c) rows.appendCell({});
}

void fillHeightReport(const MeasurementStore& store, DigitalReport& report) {
  const float W = store.bodyWeight;
  const JumpHeights h = computeJumpHeights(store, W);
  ReportRows& rows = report.rows;
  report.columns = &heightReportColumns;
  rows.reset(heightReportColumns.count, 3, 128);

  appendFormatted(rows, "%6s", "h - TAKE OFF IMPULSE:");
  if (W > 0) {
    appendFormatted(rows, "%6.1f", static_cast<double>(h.heightByImpulse * 100));
    appendFormatted(rows, "%3s", "cm");
  } else {
    rows.appendCell(kNoBodyWeight);
    rows.appendCell({});
  }

  rows.appendCell({});
  rows.appendCell({});
  rows.appendCell({});

  appendFormatted(rows, "%6s", "h - FLIGHT TIME:");
  appendFormatted(rows, "%6.1f", static_cast<double>(h.heightByFlightTime));
  appendFormatted(rows, "%3s", "cm");
}

void fillDigitalReport(const MeasurementStore& store, int32_t interval, DigitalReport& report) {
  if (store.testKind == TestKind::Power)
    fillPowerReport(store, interval, report);
  else
    fillIntervalReport(store, interval, false, report);
}

}  // namespace velkora
