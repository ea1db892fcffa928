#include "view/compare_graph.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <optional>

#include "model/utf8.h"
#include "reports/test_metrics.h"
#include "view/graph_ticks.h"
#include "view/library_graph_frame.h"

namespace velkora {
namespace {

constexpr size_t kLabelNameLength = 40;

std::optional<int32_t> wholeMetric(const std::vector<Metric>& metrics, std::string_view key) {
  for (const Metric& m : metrics)
    if (m.key == key && m.present && std::isfinite(m.value)) return static_cast<int32_t>(m.value);
  return std::nullopt;
}

// The curve through per-pixel columns: the first, lowest, highest and last point of the samples in each
// column, the same pixels as every segment with far fewer points.
std::vector<Point> columnPath(const std::vector<Point>& samples) {
  std::vector<Point> path;
  size_t k = 0;
  while (k < samples.size()) {
    size_t end = k;
    Point low = samples[k], high = samples[k];
    size_t lowAt = k, highAt = k;
    while (end < samples.size() && samples[end].x == samples[k].x) {
      if (samples[end].y < low.y) low = samples[end], lowAt = end;
      if (samples[end].y > high.y) high = samples[end], highAt = end;
      ++end;
    }
    const Point order[] = {samples[k], lowAt < highAt ? low : high, lowAt < highAt ? high : low, samples[end - 1]};
    for (const Point& p : order)
      if (path.empty() || !(path.back() == p)) path.push_back(p);
    k = end;
  }
  return path;
}

}  // namespace

CompareCurve compareCurve(const MeasurementStore& store, TestKind kind, std::string label) {
  CompareCurve curve;
  curve.label = std::move(label);
  curve.kind = kind;
  const int32_t n = std::clamp(store.sampleCount.load(std::memory_order_acquire), 0, kMaxSamples);
  curve.force.resize(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) curve.force[static_cast<size_t>(i)] = forceAt(store, i, ForceChannel::Vertical);
  const TestMetrics metrics = computeTestMetrics(store, kind);
  std::optional<int32_t> align;
  if (kind == TestKind::Power)
    align = wholeMetric(metrics.whole, "takeoffIndex");
  else if (!metrics.repetitions.empty())
    align = wholeMetric(metrics.repetitions.front(), "onsetIndex");
  if (align && *align >= 0 && *align < n) {
    curve.alignIndex = *align;
    curve.aligned = true;
  }
  return curve;
}

std::string graphName(std::string_view subjectName) {
  std::string name;
  size_t characters = 0;
  for (size_t k = 0; k < subjectName.size();) {
    if (characters == kLabelNameLength) {
      name += "...";
      break;
    }
    // Characters that would break or turn the line show as spaces; a byte that starts no character
    // counts as one.
    const size_t control = lineBreakingControlLength(subjectName, k);
    char32_t c = 0;
    const size_t length = control > 0 ? control : std::max<size_t>(1, decodeUtf8(subjectName.substr(k), c));
    name.append(control > 0 ? std::string_view(" ") : subjectName.substr(k, length));
    ++characters;
    k += length;
  }
  return name.empty() ? std::string("(no name)") : name;
}

std::string compareLabel(std::string_view subjectName, int64_t testTime) {
  const std::time_t t = static_cast<std::time_t>(testTime);
  std::tm local{};
  char date[32] = "";
  if (localtime_r(&t, &local) != nullptr) std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", &local);
  return graphName(subjectName) + ", " + date;
}

CompareGraphScales drawCompareGraph(DeviceContext& dc, const Rect& area, std::span<const CompareCurve> curves) {
  SavedTools saved(dc);
  if (curves.size() > static_cast<size_t>(kMaxComparedTests)) curves = curves.first(kMaxComparedTests);
  const GraphFrame frame(dc, area);
  CompareGraphScales scales;
  scales.plot = frame.plot();

  bool anyPower = false, anyForce = false, anySamples = false;
  double first = 0.0, last = 0.0, peak = 0.0;
  for (const CompareCurve& c : curves) {
    (c.kind == TestKind::Power ? anyPower : anyForce) = true;
    if (c.force.empty()) continue;
    const double start = -static_cast<double>(c.alignIndex);
    const double end = static_cast<double>(c.force.size()) - 1.0 - c.alignIndex;
    first = anySamples ? std::min(first, start) : start;
    last = anySamples ? std::max(last, end) : end;
    anySamples = true;
    for (float f : c.force)
      if (std::isfinite(f)) peak = std::max(peak, static_cast<double>(f));
  }
  frame.title("Vertical force");
  frame.valueTitle("F vertical (N)");
  frame.timeTitle(anyPower && anyForce ? "time from take-off or first onset (ms)"
                  : anyPower           ? "time from take-off (ms)"
                                       : "time from the first repetition's onset (ms)");
  if (!anySamples) {
    frame.box();
    frame.centreText("no samples");
    return scales;
  }
  if (last <= first) last = first + 1.0;
  const NiceAxis forceAxis = niceAxis(0.0, std::max(peak, 1.0), frame.valueTickLimit());
  const NiceAxis timeAxis = niceAxis(first, last, frame.timeTickLimit());
  scales.firstMs = timeAxis.min;
  scales.lastMs = timeAxis.max;
  scales.maxForce = forceAxis.max;
  const auto x = [&](double ms) { return frame.xAt((ms - timeAxis.min) / (timeAxis.max - timeAxis.min)); };
  const auto y = [&](double force) {
    return frame.yAt((std::clamp(force, forceAxis.min, forceAxis.max) - forceAxis.min) /
                     (forceAxis.max - forceAxis.min));
  };
  frame.valueTicks(forceAxis, y);
  for (int32_t k = 0; k < timeAxis.ticks(); ++k)
    frame.timeTick(x(timeAxis.tick(k)), formatAxisNumber(timeAxis.tick(k), timeAxis.decimals), true);
  {
    // The alignment: time 0.
    SavedTools zero(dc);
    dc.setPen(frame.scaled(Pen{Rgb{120, 120, 120}, 1}));
    dc.line({x(0.0), frame.plot().top}, {x(0.0), frame.plot().bottom});
  }
  frame.box();

  std::vector<std::string> labels;
  std::vector<Rgb> colors;
  std::vector<Point> samples;
  for (size_t k = 0; k < curves.size(); ++k) {
    const CompareCurve& c = curves[k];
    const Rgb color = kCompareColors[k];
    labels.push_back(c.aligned ? c.label : c.label + " (not aligned)");
    colors.push_back(color);
    samples.clear();
    samples.reserve(c.force.size());
    for (size_t i = 0; i < c.force.size(); ++i) {
      const double f = std::isfinite(c.force[i]) ? c.force[i] : 0.0;
      samples.push_back({x(static_cast<double>(i) - c.alignIndex), y(f)});
    }
    if (samples.empty()) continue;
    dc.setPen(frame.scaled(Pen{color, 1}));
    dc.polyline(columnPath(samples));
  }
  frame.legend(labels, colors);
  return scales;
}

}  // namespace velkora
