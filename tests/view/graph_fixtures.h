#pragma once
// Stores and helpers for the graph tests: samples in whole newtons (coefficients 1.0), and readers of
// what a recording device context saw.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/measurement_store.h"
#include "view/recording_device_context.h"

namespace velkora::testing {

// A force-test recording of `count` samples whose forces come from the two functions of the index.
inline std::unique_ptr<MeasurementStore> makeGraphStore(int32_t count, const std::function<int32_t(int32_t)>& vertical,
                                                        const std::function<int32_t(int32_t)>& horizontal,
                                                        TestKind kind = TestKind::Force) {
  auto store = std::make_unique<MeasurementStore>();
  for (int32_t i = 0; i < count; ++i) {
    store->channels.vertical[i] = vertical(i);
    store->channels.horizontal[i] = horizontal(i);
  }
  store->calibration = CalibrationSet{0.0f, 0.0f, 1.0f, 1.0f};
  store->sampleCount = count;
  store->testKind = kind;
  store->recordingAvailable = 1;
  store->testTime = 1700000000;
  return store;
}

// Texts drawn in rectangles whose top is `top`, in drawing order.
inline std::vector<DrawCall> textsWithTop(const RecordingDeviceContext& dc, int32_t top) {
  std::vector<DrawCall> found;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Text))
    if (call.rect.top == top) found.push_back(call);
  return found;
}

inline std::vector<std::string> textsOf(const std::vector<DrawCall>& calls) {
  std::vector<std::string> texts;
  for (const DrawCall& call : calls) texts.push_back(call.text);
  return texts;
}

// The single lines drawn horizontally from x `from` to x `to`, in drawing order.
inline std::vector<DrawCall> horizontalLines(const RecordingDeviceContext& dc, int32_t from, int32_t to) {
  std::vector<DrawCall> found;
  for (const DrawCall& call : dc.ofKind(DrawCall::Kind::Line)) {
    const Point& a = call.points[0];
    const Point& b = call.points[1];
    if (a.y == b.y && a.x == from && b.x == to) found.push_back(call);
  }
  return found;
}

}  // namespace velkora::testing
