#include "acquisition/plate_system.h"

namespace velkora {
namespace {

std::unique_ptr<SimulatedTransportFactory> makeSimulation(const SimulationOption& simulation,
                                                          TransportFactory& system) {
  if (!simulation.given) return nullptr;
  return std::make_unique<SimulatedTransportFactory>(simulation.plan, system);
}

}  // namespace

PlateSystem::PlateSystem(const CalibrationSet& currentCalibration, RepetitionTable& repetitions,
                         TransportFactory& transports)
    : transports_(transports), recorder_(currentCalibration, repetitions), link_(decoder_, recorder_, transports_) {}

PlateSystem::PlateSystem(const CalibrationSet& currentCalibration, RepetitionTable& repetitions,
                         const SimulationOption& simulation, std::unique_ptr<TransportFactory> system)
    : system_(std::move(system)),
      simulated_(makeSimulation(simulation, *system_)),
      transports_(simulated_ ? static_cast<TransportFactory&>(*simulated_) : *system_),
      recorder_(currentCalibration, repetitions),
      link_(decoder_, recorder_, transports_) {}

bool PlateSystem::start(Recording& recording, const LinkPurpose& purpose, const std::function<void()>& afterOpen) {
  if (link_.running()) return false;
  recording.transport = transport_;
  if (simulated_) simulated_->setPurpose(purpose);
  if (link_.startLink(recording, afterOpen)) return true;
  // The link counts a start that failed after choosing its transport as running; nothing runs, so
  // clear that at once rather than refuse every later start.
  link_.stopLink();
  return false;
}

void PlateSystem::stopFor(const Recording& recording) {
  if (runningFor(recording)) link_.stopLink();
}

}  // namespace velkora
