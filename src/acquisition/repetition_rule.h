#pragma once
// What a repetition is, in one place: a run of offset-corrected vertical counts above the threshold,
// ended by the first sample at or below it. The recorder fills the repetition table with it on the
// reader thread; the live bars of a running test follow the published samples with it.

#include <cstdint>

namespace velkora {

inline constexpr int32_t kRepetitionThreshold = 70;  // offset-corrected vertical counts

enum class RepetitionStep : int32_t {
  Outside,  // the sample is outside any repetition
  Inside,   // the sample belongs to the repetition in progress (perhaps its first)
  Ended,    // the sample ended the repetition; its totals stay readable until reset()
};

struct RepetitionTracker {
  bool inRepetition = false;
  int32_t peakVertical = 0;  // counts; both peaks start from 0
  int32_t peakHorizontal = 0;
  int64_t sumVertical = 0;  // 61000 samples of any 32-bit count fit
  int64_t sumHorizontal = 0;
  int32_t samples = 0;

  RepetitionStep feed(int32_t vertical, int32_t horizontal) {
    if (vertical > kRepetitionThreshold) {
      inRepetition = true;
      if (vertical > peakVertical) peakVertical = vertical;
      if (horizontal > peakHorizontal) peakHorizontal = horizontal;
      sumVertical += vertical;
      sumHorizontal += horizontal;
      samples += 1;
      return RepetitionStep::Inside;
    }
    return inRepetition ? RepetitionStep::Ended : RepetitionStep::Outside;
  }

  void reset() { *this = RepetitionTracker{}; }
};

}  // namespace velkora
