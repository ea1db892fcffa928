#pragma once
// The plate's wire protocol and the recording of its samples, both run on the link's reader thread:
// constant time per byte, no allocation, no lock, no I/O.
//
// A frame is four bytes; the two top bits of each byte tag its position (00, 11, 01, 10) and the six
// low bits carry half of a 12-bit value: vertical = p0 * 64 + p1, horizontal = p2 * 64 + p3.

#include <cstddef>
#include <cstdint>

#include "acquisition/measurement_store.h"
#include "acquisition/repetition_rule.h"

namespace velkora {

// Applies the active recording's offsets and mode to each frame.
class SampleRecorder {
 public:
  // `currentCalibration` supplies the coefficients of the start trigger and the repetition table;
  // `repetitions` is the store's table, written in Repetitions mode.
  SampleRecorder(const CalibrationSet& currentCalibration, RepetitionTable& repetitions)
      : calibration_(currentCalibration), repetitions_(repetitions) {}

  // Makes `recording` the active one (or none) without touching its state; the link start resets it.
  void setActive(Recording* recording) { active_ = recording; }
  Recording* active() const { return active_; }

  void recordFrame(int32_t vertical, int32_t horizontal);

 private:
  const CalibrationSet& calibration_;
  RepetitionTable& repetitions_;
  Recording* active_ = nullptr;
  RepetitionTracker tracker_;
};

class FrameDecoder {
 public:
  explicit FrameDecoder(SampleRecorder& recorder) : recorder_(recorder) {}

  void feedByte(uint8_t byte) {
    static constexpr uint8_t kTags[4] = {0x00, 0xC0, 0x40, 0x80};
    if ((byte & 0xC0) != kTags[position_]) {
      // The mismatching byte is dropped, not taken as the start of a new frame.
      position_ = 0;
      return;
    }
    payload_[position_] = byte & 0x3F;
    if (++position_ < 4) return;
    position_ = 0;
    recorder_.recordFrame(payload_[0] * 64 + payload_[1], payload_[2] * 64 + payload_[3]);
  }

  void feed(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) feedByte(bytes[i]);
  }

  int position() const { return position_; }

 private:
  SampleRecorder& recorder_;
  int position_ = 0;
  int32_t payload_[4] = {};
};

// Encodes one frame of two raw 12-bit counts into the plate's four bytes.
inline void encodeFrame(int32_t vertical, int32_t horizontal, uint8_t out[4]) {
  out[0] = static_cast<uint8_t>(0x00 | ((vertical >> 6) & 0x3F));
  out[1] = static_cast<uint8_t>(0xC0 | (vertical & 0x3F));
  out[2] = static_cast<uint8_t>(0x40 | ((horizontal >> 6) & 0x3F));
  out[3] = static_cast<uint8_t>(0x80 | (horizontal & 0x3F));
}

}  // namespace velkora
