#include "acquisition/calibration_procedure.h"

#include "acquisition/exercise_limits.h"

namespace velkora {

int64_t calibrationWindowSum(const int32_t* channel) {
  int64_t sum = 0;
  for (int32_t i = kCalibrationFirst; i < kCalibrationFirst + kCalibrationUsed; ++i) sum += channel[i];
  return sum;
}

float offsetFromWindowSum(int64_t sum) { return static_cast<float>(static_cast<double>(sum) / kCalibrationUsed); }

float coefficientFromWindowSum(int32_t weightKg, int64_t sum, float currentCoefficient) {
  const auto mean = static_cast<float>(static_cast<double>(sum) / kCalibrationUsed);
  if (mean == 0.0f) return currentCoefficient;  // nothing to divide by: the channel keeps its coefficient
  return static_cast<float>(static_cast<double>(weightKg) * static_cast<double>(9.81f) / static_cast<double>(mean));
}

std::string_view stepStatusText(StepStatus status) {
  switch (status) {
    case StepStatus::NotDone:
      return "Not done";
    case StepStatus::InProgress:
      return "In progress";
    case StepStatus::Done:
      return "Done";
    case StepStatus::Error:
      return "Error";
  }
  return "Not done";
}

void CalibrationProcedure::open() {
  endRun();
  for (int32_t i = 0; i < kCalibrationSteps; ++i) {
    status_[i] = StepStatus::NotDone;
    goEnabled_[i] = true;
    completed_[i] = false;
  }
  okEnabled_ = false;
  stepReached_ = -1;
  pending_.offsetVertical = current_.offsetVertical;
  pending_.offsetHorizontal = current_.offsetHorizontal;
  ticks_ = 0;
}

GoResult CalibrationProcedure::go(CalibrationStep step, int32_t weightKg, const AppSettings& settings) {
  if (!goEnabled(step)) return GoResult::NotOffered;
  const bool weightStep = step != CalibrationStep::Offset;
  if (weightStep && !kCalibrationWeight.contains(weightKg)) return GoResult::WeightOutOfRange;
  // Another step (or anything else) holds the link; the recording is not touched.
  if (plate_.running() || recording_.samples == nullptr) return GoResult::CommunicationError;

  // The offset step records raw counts; the weight steps subtract the pending offsets.
  CalibrationSet offsets;
  offsets.offsetVertical = weightStep ? pending_.offsetVertical : 0.0f;
  offsets.offsetHorizontal = weightStep ? pending_.offsetHorizontal : 0.0f;
  recording_.prepare(settings.portIndex, RecordingMode::Timed, kCalibrationSamples, offsets);
  static constexpr LinkUse kUses[kCalibrationSteps] = {LinkUse::CalibrationOffset, LinkUse::CalibrationVertical,
                                                       LinkUse::CalibrationHorizontal};
  if (!plate_.start(recording_, {kUses[index(step)], weightStep ? weightKg : 0})) return GoResult::CommunicationError;

  running_ = true;
  step_ = step;
  weight_ = weightKg;
  ticks_ = 0;
  status_[index(step)] = StepStatus::InProgress;
  if (weightStep) goEnabled_[index(step)] = false;
  return GoResult::Started;
}

CalibrationTick CalibrationProcedure::tick() {
  CalibrationTick t;
  t.step = step_;
  t.status = status_[index(step_)];
  if (!running_) return t;
  ++ticks_;
  const int32_t count = recording_.sampleCount.load(std::memory_order_acquire);
  t.progress = count;
  if (count >= kCalibrationSamples) {
    // The recorder stores nothing past sample 39, so the window cannot change while it is summed.
    const SampleBuffer& samples = *recording_.samples;
    switch (step_) {
      case CalibrationStep::Offset:
        pending_.offsetVertical = offsetFromWindowSum(calibrationWindowSum(samples.vertical));
        pending_.offsetHorizontal = offsetFromWindowSum(calibrationWindowSum(samples.horizontal));
        goEnabled_[index(CalibrationStep::Offset)] = false;
        goEnabled_[index(CalibrationStep::Vertical)] = true;
        break;
      case CalibrationStep::Vertical:
        pending_.coefficientVertical =
            coefficientFromWindowSum(weight_, calibrationWindowSum(samples.vertical), current_.coefficientVertical);
        break;
      case CalibrationStep::Horizontal:
        pending_.coefficientHorizontal =
            coefficientFromWindowSum(weight_, calibrationWindowSum(samples.horizontal), current_.coefficientHorizontal);
        break;
    }
    completed_[index(step_)] = true;
    stepReached_ = index(step_);
    okEnabled_ = true;
    return endStep(StepStatus::Done);
  }
  // A plate that went away ends the step at once. One that is there but silent gets the step's 50
  // ticks like any that sends too few samples, although its link gave up after a second of silence.
  if (plate_.plateLost() && plate_.lossStatus() != TransportStatus::Timeout) return endStep(StepStatus::Error);
  if (ticks_ > kCalibrationGiveUpTicks) return endStep(StepStatus::Error);
  return t;
}

CalibrationTick CalibrationProcedure::endStep(StepStatus status) {
  endRun();
  status_[index(step_)] = status;
  CalibrationTick t;
  t.step = step_;
  t.progress = 0;
  t.status = status;
  t.ended = true;
  return t;
}

void CalibrationProcedure::endRun() {
  plate_.stopFor(recording_);
  running_ = false;
}

bool CalibrationProcedure::ok(int32_t weightKg) {
  if (!kCalibrationWeight.contains(weightKg)) return false;
  // No reader may use the plate's calibration while it changes.
  plate_.stop();
  running_ = false;
  if (completed(CalibrationStep::Horizontal)) current_.coefficientHorizontal = pending_.coefficientHorizontal;
  if (completed(CalibrationStep::Vertical)) current_.coefficientVertical = pending_.coefficientVertical;
  if (completed(CalibrationStep::Offset)) {
    current_.offsetVertical = pending_.offsetVertical;
    current_.offsetHorizontal = pending_.offsetHorizontal;
  }
  return true;
}

}  // namespace velkora
