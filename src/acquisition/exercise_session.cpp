#include "acquisition/exercise_session.h"

#include <ctime>

#include "acquisition/exercise_limits.h"
#include "acquisition/power_exercise.h"
#include "acquisition/repetition_rule.h"

namespace velkora {
namespace {

// What resetForNewTest changes, so a start that fails after the reset can put it back.
struct StoreHeader {
  explicit StoreHeader(const MeasurementStore& s)
      : calibration(s.calibration),
        recordingAvailable(s.recordingAvailable.load(std::memory_order_acquire)),
        testTime(s.testTime),
        repetitionCount(s.repetitions.count.load(std::memory_order_acquire)),
        sampleCount(s.sampleCount.load(std::memory_order_acquire)),
        analysed(s.jump.analysed) {}
  void restore(MeasurementStore& s) const {
    s.calibration = calibration;
    s.recordingAvailable.store(recordingAvailable, std::memory_order_release);
    s.testTime = testTime;
    s.repetitions.count.store(repetitionCount, std::memory_order_release);
    s.sampleCount.store(sampleCount, std::memory_order_release);
    s.jump.analysed = analysed;
  }
  CalibrationSet calibration;
  int32_t recordingAvailable;
  int32_t testTime;
  int32_t repetitionCount;
  int32_t sampleCount;
  bool analysed;
};

float newtons(int32_t counts, float coefficient) { return static_cast<float>(counts) * coefficient; }

}  // namespace

int64_t systemClockSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

ExerciseSession::ExerciseSession(PlateSystem& plate, MeasurementStore& store, const CalibrationSet& currentCalibration,
                                 SecondsClock clock)
    : plate_(plate), store_(store), currentCalibration_(currentCalibration), clock_(std::move(clock)) {}

ExerciseSession::~ExerciseSession() { plate_.stopFor(store_.recording); }

StartResult ExerciseSession::startForceTest(const AppSettings& settings) {
  if (!forceTestSettingsValid(settings)) return StartResult::InvalidParameters;
  return start(TestKind::Force, settings, 0.0f);
}

StartResult ExerciseSession::startPowerTest(const AppSettings& settings, float bodyWeightKg) {
  if (!powerTestSettingsValid(settings)) return StartResult::InvalidParameters;
  return start(TestKind::Power, settings, bodyWeightKg);
}

StartResult ExerciseSession::start(TestKind kind, const AppSettings& s, float bodyWeightKg) {
  // The test recording may only be prepared while no reader uses it.
  if (running_ || plate_.running()) return StartResult::CommunicationError;
  Recording& r = store_.recording;
  const bool repetitions = kind == TestKind::Force && s.forceTestMode == kRepetitionMode;
  if (kind == TestKind::Power) {
    r.prepare(s.portIndex, RecordingMode::Timed, s.powerTestTime * 1000, currentCalibration_);
  } else if (repetitions) {
    r.prepare(s.portIndex, RecordingMode::Repetitions, s.forceTestValue, currentCalibration_, true, s.startForce);
  } else {
    r.prepare(s.portIndex, RecordingMode::Timed, s.forceTestValue * 1000, currentCalibration_, true, s.startForce);
  }
  r.samples = &store_.channels;

  const StoreHeader before(store_);
  bool reset = false;
  const LinkPurpose purpose{.use = kind == TestKind::Power ? LinkUse::PowerTest : LinkUse::ForceTest,
                            .repetitions = repetitions ? s.forceTestValue : 0};
  // The reset runs once the transport is open and before the reader starts: no frame of the new test
  // can meet the previous test's counts, and a plate that cannot be opened changes nothing.
  const bool started = plate_.start(r, purpose, [&] {
    store_.resetForNewTest(currentCalibration_, clock_());
    reset = true;
  });
  if (!started) {
    if (reset) before.restore(store_);  // the reader thread could not be started
    return StartResult::CommunicationError;
  }
  store_.testKind = kind;
  if (kind == TestKind::Power) store_.bodyWeight = bodyWeightKg;
  running_ = true;
  kind_ = kind;
  repetitionMode_ = repetitions;
  repetitionsDrawn_ = 0;
  followed_ = 0;
  followedRepetitions_ = 0;
  following_.reset();
  return StartResult::Started;
}

TestTick ExerciseSession::tick() {
  TestTick t;
  const int32_t published = store_.sampleCount.load(std::memory_order_acquire);
  t.sampleCount = published;
  if (!running_) return t;

  Recording& r = store_.recording;
  int32_t count = r.sampleCount.load(std::memory_order_acquire);
  if (r.stopped.load(std::memory_order_acquire) == 1) {
    t.end = finish(TestEnd::Finished);
  } else if (plate_.plateLost()) {
    t.end = finish(TestEnd::PlateLost);
  } else {
    store_.sampleCount.store(count, std::memory_order_release);
  }
  if (t.end != TestEnd::None) count = store_.sampleCount.load(std::memory_order_acquire);
  t.sampleCount = count;
  t.drawFrom = published > 0 ? published - 1 : 0;
  t.drawTo = count - 1;
  t.waitingForStartForce = t.end == TestEnd::None && r.waiting.load(std::memory_order_acquire) != 0;

  if (repetitionMode_) {
    // Rows are complete below the count; it is read after the samples' count, so every repetition
    // that ended in a published sample is in it.
    const int32_t rows = store_.repetitions.rows();
    if (repetitionsDrawn_ < rows) {
      repetitionsDrawn_ = rows;
      t.redrawBars = true;
    }
    t.repetitionsDrawn = repetitionsDrawn_;
    followRepetition(count);
    RepetitionInProgress& live = t.inProgress;
    live.index = repetitionsDrawn_;
    // The followed repetition belongs to this slot only while the recorder has not counted it yet.
    if (followedRepetitions_ == repetitionsDrawn_ && following_.inRepetition) {
      live.peakVertical =
          static_cast<float>(truncateToInt(newtons(following_.peakVertical, currentCalibration_.coefficientVertical)));
      live.peakHorizontal = static_cast<float>(
          truncateToInt(newtons(following_.peakHorizontal, currentCalibration_.coefficientHorizontal)));
    }
    if (count > 0) {
      live.currentVertical = newtons(store_.channels.vertical[count - 1], currentCalibration_.coefficientVertical);
      live.currentHorizontal =
          newtons(store_.channels.horizontal[count - 1], currentCalibration_.coefficientHorizontal);
    }
  }
  return t;
}

void ExerciseSession::followRepetition(int32_t to) {
  for (int32_t i = followed_; i < to; ++i) {
    if (following_.feed(store_.channels.vertical[i], store_.channels.horizontal[i]) == RepetitionStep::Ended) {
      following_.reset();
      ++followedRepetitions_;
    }
  }
  if (to > followed_) followed_ = to;
}

TestEnd ExerciseSession::stop() {
  if (!running_) return TestEnd::None;
  return finish(TestEnd::Stopped);
}

TestEnd ExerciseSession::finish(TestEnd how) {
  Recording& r = store_.recording;
  if (how == TestEnd::Finished) {
    plate_.stopFor(r);
  } else {
    // As STOP: the recorder ignores every further frame. A recording that had reached its limit
    // already is a finished test, whatever ended it.
    int32_t running = 0;
    if (!r.stopped.compare_exchange_strong(running, 1, std::memory_order_acq_rel)) how = TestEnd::Finished;
    plate_.stopFor(r);
  }
  // The reader has ended: every sample below the count is complete and the count is final.
  const int32_t n = r.sampleCount.load(std::memory_order_acquire);
  // The pair after the last sample is the spare one the next save writes: it reads 0, never what an
  // earlier, longer recording left there.
  if (n < kMaxSamples) {
    store_.channels.vertical[n] = 0;
    store_.channels.horizontal[n] = 0;
  }
  store_.sampleCount.store(n, std::memory_order_release);
  store_.recordingAvailable.store(1, std::memory_order_release);
  // A take is never lost without a question: whatever ended it, a recording that holds samples is
  // not saved yet. A stop before the first sample leaves nothing to save, and the flag as it was.
  if (how == TestEnd::Finished || n > 0) store_.saved.store(0, std::memory_order_release);
  // Also a stopped or cut-off jump is smoothed; its analysis is the caller's.
  if (kind_ == TestKind::Power) smoothVertical(store_.channels, n);
  running_ = false;
  return how;
}

float liveCurveValue(const MeasurementStore& store, int32_t index, int32_t parameter, const GraphSettings& graph) {
  if (parameter < 0 || parameter >= kAxisEntries) return 0.0f;
  float v = forceAt(store, index, static_cast<ForceChannel>(parameter));
  const auto max = static_cast<float>(graph.axisMax[parameter]);
  const auto min = static_cast<float>(graph.axisMin[parameter]);
  if (!(v == v)) return min;  // a hostile calibration can make NaN; it is drawn at the axis minimum
  if (v > max) v = max;
  if (v < min) v = min;
  return v;
}

}  // namespace velkora
