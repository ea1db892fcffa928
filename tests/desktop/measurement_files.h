#pragma once
// Measurement files written by the core for the ui tests.

#include <cmath>
#include <memory>
#include <string>

#include "acquisition/measurement_store.h"
#include "model/messages.h"
#include "model/subject_info.h"
#include "reports/jump_analysis.h"
#include "storage/measurement_file.h"

namespace velkora::testing {

// A force recording of `samples` samples whose forces vary from sample to sample, with three
// repetitions in its table.
inline std::unique_ptr<MeasurementStore> forceRecording(int32_t samples) {
  auto store = std::make_unique<MeasurementStore>();
  for (int32_t i = 0; i < samples; ++i) {
    store->channels.vertical[i] = 400 + static_cast<int32_t>(300 * std::sin(i / 50.0));
    store->channels.horizontal[i] = static_cast<int32_t>(80 * std::cos(i / 30.0));
  }
  store->sampleCount = samples;
  store->calibration.coefficientVertical = 1.25f;
  store->calibration.coefficientHorizontal = 0.75f;
  store->testTime = 1360000000;
  store->repetitions.count = 3;
  const int32_t peaks[3] = {812, 905, 777};
  for (int r = 0; r < 3; ++r) {
    store->repetitions.peakVertical[r] = peaks[r];
    store->repetitions.meanVertical[r] = peaks[r] / 2;
    store->repetitions.peakHorizontal[r] = 100 + r;
    store->repetitions.meanHorizontal[r] = 50 - r;
  }
  store->testKind = TestKind::Force;
  store->recordingAvailable = 1;
  return store;
}

// A power recording: standing, a dip, a push, a flight and a landing, 75 kg.
inline std::unique_ptr<MeasurementStore> powerRecording() {
  auto store = std::make_unique<MeasurementStore>();
  const int32_t n = 3000;
  for (int32_t i = 0; i < n; ++i) {
    int32_t v = 736;
    if (i >= 1000 && i < 1300) v = 400;
    if (i >= 1300 && i < 1600) v = 1500;
    if (i >= 1600 && i < 2000) v = 0;
    if (i >= 2000 && i < 2100) v = 2000;
    store->channels.vertical[i] = v;
    store->channels.horizontal[i] = 5;
  }
  store->sampleCount = n;
  store->bodyWeight = 75.0f;
  store->testTime = 1360000000;
  store->testKind = TestKind::Power;
  store->recordingAvailable = 1;
  return store;
}

inline std::string saveRecording(MeasurementStore& store, const std::string& path, const std::string& name = "Ana") {
  SubjectInfo subject;
  subject.name = name;
  subject.sex = 1;
  subject.weight = 75;
  subject.height = 180;
  subject.comment1 = "first";
  CollectingMessageSink messages;
  writeMeasurementFile(path, store, subject, messages);
  return path;
}

}  // namespace velkora::testing
