#pragma once
// The comparison graph of the subject library: the vertical force of two to four tests over each other
// in distinct colours, with a legend (subject and date). Each curve is aligned at its take-off (power
// tests) or at the onset of its first repetition (force tests); the time axis counts from there.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/measurement_store.h"
#include "view/device_context.h"

namespace velkora {

inline constexpr int32_t kMinComparedTests = 2;
inline constexpr int32_t kMaxComparedTests = 4;
inline constexpr std::array<Rgb, kMaxComparedTests> kCompareColors = {Rgb{0, 0, 255}, Rgb{220, 0, 0}, Rgb{0, 150, 0},
                                                                      Rgb{230, 120, 0}};

struct CompareCurve {
  std::string label;         // the legend's line
  std::vector<float> force;  // vertical force in newtons, one value per millisecond
  int32_t alignIndex = 0;    // the sample at time 0
  bool aligned = false;      // false: no take-off or onset was found; the curve starts at 0
  TestKind kind = TestKind::Force;
};

// The curve of a loaded test (its jump analysis run for a power test): the take-off or first onset as
// the metrics find them.
CompareCurve compareCurve(const MeasurementStore& store, TestKind kind, std::string label);

// A subject's name as a graph shows it on one line: controls, line separators and bidirectional
// controls as spaces, cut to 40 characters (with "..."), "(no name)" for an empty one.
std::string graphName(std::string_view subjectName);

// The legend's text of a test: graphName and the date in local time, "YYYY-MM-DD HH:MM"; "(not
// aligned)" is added by the drawing where it applies.
std::string compareLabel(std::string_view subjectName, int64_t testTime);

struct CompareGraphScales {
  Rect plot;
  double firstMs = 0.0;  // time at plot.left, relative to the alignment
  double lastMs = 0.0;
  double maxForce = 0.0;  // at plot.top; 0 N at plot.bottom
};

// Draws the curves (the first kMaxComparedTests of them) into `area`; leaves the tools as it found them.
CompareGraphScales drawCompareGraph(DeviceContext& dc, const Rect& area, std::span<const CompareCurve> curves);

}  // namespace velkora
