#include "acquisition/weighing_session.h"

#include "acquisition/power_exercise.h"

namespace velkora {

std::string_view weighingStatusText(WeighingStatus status) {
  switch (status) {
    case WeighingStatus::NotDone:
      return "Not done";
    case WeighingStatus::InProgress:
      return "In progress";
    case WeighingStatus::Done:
      return "Done";
    case WeighingStatus::Error:
      return "Error";
  }
  return "Not done";
}

void WeighingSession::open() {
  plate_.stopFor(recording_);
  status_ = WeighingStatus::NotDone;
  ticks_ = 0;
  bodyWeight_ = 0.0f;
}

bool WeighingSession::go(const AppSettings& settings) {
  if (!goEnabled() || plate_.running() || recording_.samples == nullptr) return false;
  recording_.prepare(settings.portIndex, RecordingMode::Timed, kWeighingSamples, calibration_);
  if (!plate_.start(recording_, {LinkUse::Weighing})) return false;
  status_ = WeighingStatus::InProgress;
  ticks_ = 0;
  return true;
}

WeighingTick WeighingSession::tick() {
  WeighingTick t;
  t.status = status_;
  if (status_ != WeighingStatus::InProgress) return t;
  ++ticks_;
  const int32_t count = recording_.sampleCount.load(std::memory_order_acquire);
  t.progress = count;
  if (count >= kWeighingSamples) {
    bodyWeight_ = bodyWeightFromSamples(*recording_.samples, calibration_.coefficientVertical);
    return end(WeighingStatus::Done);
  }
  if (plate_.plateLost()) return end(WeighingStatus::Error);
  if (ticks_ > kWeighingGiveUpTicks) return end(WeighingStatus::Error);
  return t;
}

WeighingTick WeighingSession::end(WeighingStatus status) {
  plate_.stopFor(recording_);
  status_ = status;
  WeighingTick t;
  t.progress = 0;
  t.status = status;
  t.ended = true;
  return t;
}

void WeighingSession::cancel() {
  plate_.stopFor(recording_);
  if (status_ == WeighingStatus::InProgress) status_ = WeighingStatus::NotDone;
}

}  // namespace velkora
