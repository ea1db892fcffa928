#pragma once
// Stores for the report tests, filled sample by sample in whole newtons (coefficients 1.0).

#include <memory>
#include <vector>

#include "acquisition/measurement_store.h"

namespace velkora::testing {

struct Segment {
  int32_t samples;
  int32_t vertical;
  int32_t horizontal = 0;
};

inline std::unique_ptr<MeasurementStore> makeStore(const std::vector<Segment>& segments,
                                                   TestKind kind = TestKind::Power, float bodyWeight = 0.0f) {
  auto store = std::make_unique<MeasurementStore>();
  int32_t n = 0;
  for (const Segment& s : segments) {
    for (int32_t i = 0; i < s.samples; ++i, ++n) {
      store->channels.vertical[n] = s.vertical;
      store->channels.horizontal[n] = s.horizontal;
    }
  }
  store->sampleCount = n;
  store->testKind = kind;
  store->bodyWeight = bodyWeight;
  store->recordingAvailable = 1;
  return store;
}

}  // namespace velkora::testing
