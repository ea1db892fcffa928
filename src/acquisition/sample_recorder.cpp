#include "acquisition/frame_decoder.h"

namespace velkora {
namespace {

// Raw count minus a zero offset. A configuration file may hold any offset, so a difference beyond the
// 32-bit sample range is held at its limit; counts of a sane calibration never come near it, and the
// check costs one never-taken branch per channel on the reader's hot path.
int32_t offsetCorrected(int32_t raw, int32_t offset) {
  int32_t difference;
  if (__builtin_sub_overflow(raw, offset, &difference)) [[unlikely]]
    return offset < 0 ? INT32_MAX : INT32_MIN;
  return difference;
}

// The mean of a repetition's counts, truncated toward zero; it lies within the range of the counts.
int32_t repetitionMean(int64_t sum, int32_t samples) { return static_cast<int32_t>(sum / samples); }

}  // namespace

void SampleRecorder::recordFrame(int32_t vertical, int32_t horizontal) {
  Recording* r = active_;
  if (r == nullptr) return;

  // Only this thread writes the count, so a relaxed read of our own value suffices.
  const int32_t n = r->sampleCount.load(std::memory_order_relaxed);
  if (n >= kMaxSamples) r->stopped.store(1, std::memory_order_release);
  if (r->stopped.load(std::memory_order_acquire) == 1) return;

  const int32_t v = offsetCorrected(vertical, r->offsetVertical);
  const int32_t h = offsetCorrected(horizontal, r->offsetHorizontal);

  if (r->waiting.load(std::memory_order_relaxed) == 1) {
    // The start force is the signed sum of both forces, computed in double and truncated.
    const double force = static_cast<double>(v) * static_cast<double>(calibration_.coefficientVertical) +
                         static_cast<double>(h) * static_cast<double>(calibration_.coefficientHorizontal);
    if (truncateToInt(force) < r->startThreshold) return;
    r->waiting.store(0, std::memory_order_release);
    tracker_.reset();
    return;  // the frame that reached the start force is not stored
  }

  switch (r->mode) {
    case RecordingMode::Live:
      r->liveVertical.store(v, std::memory_order_release);
      r->liveHorizontal.store(h, std::memory_order_release);
      return;
    case RecordingMode::Timed:
      if (n >= r->limit) {
        r->stopped.store(1, std::memory_order_release);
        return;
      }
      break;
    case RecordingMode::Repetitions: {
      const int32_t k = repetitions_.count.load(std::memory_order_relaxed);
      // Never write past the table, whatever limit the recording asked for.
      if (k >= r->limit || k >= kMaxRepetitions) {
        r->stopped.store(1, std::memory_order_release);
        return;
      }
      const bool starting = !tracker_.inRepetition;
      const int32_t peakVertical = tracker_.peakVertical;
      const int32_t peakHorizontal = tracker_.peakHorizontal;
      const RepetitionStep step = tracker_.feed(v, h);
      if (step == RepetitionStep::Inside) {
        if (starting) {
          // A new row starts from zero so it never shows a value left by an earlier test.
          repetitions_.peakVertical[k] = 0;
          repetitions_.peakHorizontal[k] = 0;
        }
        if (tracker_.peakVertical != peakVertical)
          repetitions_.peakVertical[k] = truncateToInt(static_cast<float>(v) * calibration_.coefficientVertical);
        if (tracker_.peakHorizontal != peakHorizontal)
          repetitions_.peakHorizontal[k] = truncateToInt(static_cast<float>(h) * calibration_.coefficientHorizontal);
      } else if (step == RepetitionStep::Ended) {
        int32_t meanV = 0;
        int32_t meanH = 0;
        if (tracker_.samples != 0) {
          meanV = truncateToInt(static_cast<float>(repetitionMean(tracker_.sumVertical, tracker_.samples)) *
                                calibration_.coefficientVertical);
          meanH = truncateToInt(static_cast<float>(repetitionMean(tracker_.sumHorizontal, tracker_.samples)) *
                                calibration_.coefficientHorizontal);
        }
        repetitions_.meanVertical[k] = meanV;
        repetitions_.meanHorizontal[k] = meanH;
        repetitions_.count.store(k + 1, std::memory_order_release);  // row first, then the count
        tracker_.reset();
      }
      break;
    }
    default:
      return;
  }

  r->samples->vertical[n] = v;
  r->samples->horizontal[n] = h;
  r->sampleCount.store(n + 1, std::memory_order_release);
}

}  // namespace velkora
