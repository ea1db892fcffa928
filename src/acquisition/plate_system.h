#pragma once
// The program's one plate link with its decoder, recorder and transports. The test session, the
// check readout, the weighing and the calibration all start their recordings through it, so only one
// link runs at a time across all of them. The transports are chosen once, at start-up: the plate's
// own, or the simulated plate under --simulate.

#include <functional>
#include <memory>

#include "acquisition/frame_decoder.h"
#include "acquisition/link_purpose.h"
#include "acquisition/plate_link.h"
#include "acquisition/simulation_option.h"

namespace velkora {

class PlateSystem {
 public:
  // Over transports the caller keeps (tests).
  PlateSystem(const CalibrationSet& currentCalibration, RepetitionTable& repetitions, TransportFactory& transports);
  // The program's: `system` serves the plate and the serial ports; with `simulation.given` the
  // simulated plate takes the USB plate's place.
  PlateSystem(const CalibrationSet& currentCalibration, RepetitionTable& repetitions,
              const SimulationOption& simulation, std::unique_ptr<TransportFactory> system);
  ~PlateSystem() { link_.stopLink(); }
  PlateSystem(const PlateSystem&) = delete;
  PlateSystem& operator=(const PlateSystem&) = delete;

  // Starts the link for `recording`, prepared by the caller. Refused, with nothing touched, while a
  // link runs. `afterOpen` runs once the transport is open and before the reader starts (see
  // PlateLink::startLink). A start that fails leaves no link running.
  bool start(Recording& recording, const LinkPurpose& purpose, const std::function<void()>& afterOpen = {});
  // Stops the link, whoever started it.
  void stop() { link_.stopLink(); }
  // Stops the link only when it runs for `recording`: a session never ends another's link.
  void stopFor(const Recording& recording);
  bool running() const { return link_.running(); }
  bool runningFor(const Recording& recording) const { return running() && recorder_.active() == &recording; }
  // The running link's plate went away (see PlateLink::plateLost).
  bool plateLost() const { return link_.plateLost(); }
  // Why it was lost: Timeout when it is there but fell silent.
  TransportStatus lossStatus() const { return link_.lossStatus(); }

  // 0: every start uses the USB plate, as the program does; 1: the serial port of each recording's
  // portIndex instead (velkora-cli --port).
  void setTransport(int32_t transport) { transport_ = transport; }
  int32_t transport() const { return transport_; }

  // The simulated plate under --simulate, for its settings; null with the real plate.
  SimulatedTransportFactory* simulation() { return simulated_.get(); }
  bool simulated() const { return simulated_ != nullptr; }

  PlateLink& link() { return link_; }

 private:
  std::unique_ptr<TransportFactory> system_;
  std::unique_ptr<SimulatedTransportFactory> simulated_;
  TransportFactory& transports_;
  SampleRecorder recorder_;
  FrameDecoder decoder_{recorder_};
  PlateLink link_;
  int32_t transport_ = 0;
};

}  // namespace velkora
