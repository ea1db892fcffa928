#pragma once
// A simulated force plate: a small physical model of what stands on the plate, turned into the
// plate's own 4-byte frames, 1000 per second. It stands in for the USB plate under --simulate and in
// tests and benchmarks.
//
// Without a scenario ("--simulate" alone, or "--simulate=,fast") the plate plays the simulated
// subject (simulated_subject.h), which follows what each start is for. With scenarios, it plays them
// one per link start, in turn (see parseSimulation for the syntax):
//   empty                  the unloaded plate
//   stand[:MASS]           a subject of MASS kg standing quietly (75)
//   pushes[:COUNT[:PEAK[:DURATION[:HORIZONTAL[:PAUSE]]]]]
//                          COUNT pushes (3), each a half sine of PEAK newtons vertical (800) and
//                          HORIZONTAL newtons horizontal (100), DURATION ms long (400), with PAUSE ms
//                          of unloaded plate before each push (600); unloaded afterwards
//   jump[:MASS[:FLIGHT[:QUIET]]]
//                          a countermovement jump of a MASS kg subject (75): QUIET ms of standing
//                          (2500), unweighting, braking and propulsion, a flight of FLIGHT ms (450),
//                          landing, standing
//   mass[:KG]              a calibration mass of KG kg (20) resting on the plate
//   hmass[:KG]             a calibration mass of KG kg pulling horizontally
//   calibration[:KG]       the three calibration steps in turn: empty/mass:KG/hmass:KG
//   silent                 the plate is there but sends nothing
//   absent                 no plate: the link cannot start
//   unplug[:MS[:MASS]]     a standing subject (75) whose plate is unplugged after MS ms (1000)

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/link_purpose.h"
#include "acquisition/plate_transport.h"
#include "acquisition/simulated_subject.h"

namespace velkora {

inline constexpr double kSimulatedGravity = 9.81;
inline constexpr std::string_view kDefaultScenario = "jump";

enum class ScenarioKind : int32_t { Empty, Stand, Pushes, Jump, Mass, HorizontalMass, Silent, Absent, Unplug };

struct Scenario {
  ScenarioKind kind = ScenarioKind::Empty;
  double mass = 75.0;          // kg: subject (stand, jump, unplug) or calibration mass (mass, hmass)
  int32_t count = 3;           // pushes
  double peak = 800.0;         // N, vertical peak of a push
  int32_t duration = 400;      // ms of one push
  double horizontal = 100.0;   // N, horizontal peak of a push
  int32_t pause = 600;         // ms of unloaded plate before each push
  int32_t flight = 450;        // ms in the air
  int32_t quiet = 2500;        // ms of quiet standing before the jump
  int32_t unplugAfter = 1000;  // ms of frames before the plate goes away
};

// The plate itself: how forces become counts.
struct PlateModel {
  int32_t offsetVertical = 148;      // counts of the unloaded plate
  int32_t offsetHorizontal = 2048;   // the horizontal channel is bipolar, centred at mid-scale
  double coefficientVertical = 1.0;  // newtons per count, as the default calibration assumes
  double coefficientHorizontal = 1.0;
  int32_t noiseCounts = 1;  // deterministic noise of each channel, +- counts
};

struct SimulationPlan {
  std::vector<Scenario> scenarios;  // taken in turn, one per link start, cycling
  bool fast = false;                // test clock: frames as fast as the reader takes them
  // No scenario was named: the simulated subject follows each start's purpose; a start without one
  // plays `scenarios` (the default scenario).
  bool followsPurpose = false;
};

// Parses "ITEM[/ITEM...][,fast]" where ITEM is "NAME[:NUMBER...]" as listed above; empty text is the
// default scenario and a plan that follows the purpose of each start. On failure returns false with a
// one-line reason in `error`.
bool parseSimulation(std::string_view text, SimulationPlan& plan, std::string& error);

// What --simulate takes, for the help of both programs: the syntax of SCENARIO, broken into lines
// of at most `width` characters that all start at the column `indent` reaches (the caller writes
// the first line's indent itself), without a final line break.
std::string scenarioHelpText(size_t width, std::string_view indent);

// One scenario played on the model: forces and counts as pure functions of the time in ms.
class SimulatedPlate {
 public:
  explicit SimulatedPlate(const Scenario& scenario, const PlateModel& model = {});

  const Scenario& scenario() const { return scenario_; }
  // Forces in newtons at millisecond `ms` since the scenario began (no noise).
  void forces(int64_t ms, double& vertical, double& horizontal) const;
  // Raw 12-bit counts of the frame sent at millisecond `ms`, noise included.
  void counts(int64_t ms, int32_t& vertical, int32_t& horizontal) const;
  // Writes `frames` frames starting at millisecond `firstMs` into out[0 .. 4 * frames).
  void fillFrames(int64_t firstMs, size_t frames, uint8_t* out) const;

  // The first sample of the jump's landing.
  int64_t touchDownMs() const { return takeOff_ + scenario_.flight; }

 private:
  void jumpForces(int64_t ms, double& vertical, double& horizontal) const;
  double pushForce(int64_t t, double amplitude) const;

  Scenario scenario_;
  PlateModel model_;
  double weight_ = 0.0;         // N
  double pushAmplitude_ = 0.0;  // N, sized so the take-off speed gives the configured flight
  double landingAmplitude_ = 0.0;
  int64_t takeOff_ = 0;
};

enum class SimulationClock { RealTime, Test };

// The simulated plate's cable: unplugging takes the plate away at once, also from a transport that
// is reading (its next read reports Disconnected); plugging it back in serves the next start only.
class SimulatedPlug {
 public:
  void unplug() {
    plugged_.store(false, std::memory_order_release);
    unplugs_.fetch_add(1, std::memory_order_acq_rel);
  }
  void plugIn() { plugged_.store(true, std::memory_order_release); }
  bool plugged() const { return plugged_.load(std::memory_order_acquire); }
  // Counts the unplugs, so a transport opened before one knows its plate went away.
  uint64_t unplugs() const { return unplugs_.load(std::memory_order_acquire); }

 private:
  std::atomic<bool> plugged_{true};
  std::atomic<uint64_t> unplugs_{0};
};

// The simulated plate as a transport: in real time the frames become due one per millisecond from
// the open and are handed out in chunks of about 10 ms; under the test clock every read gets as many
// frames as fit.
class SimulatedPlateTransport final : public PlateTransport {
 public:
  // `plug`, when given, is the cable the user may pull while the transport runs.
  SimulatedPlateTransport(const Scenario& scenario, SimulationClock clock, const PlateModel& model = {},
                          std::shared_ptr<const SimulatedPlug> plug = nullptr)
      : plate_(scenario, model), clock_(clock), plug_(std::move(plug)) {}

  TransportStatus open() override;
  ReadResult read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) override;
  void close() override { open_ = false; }
  void wake() override;
  bool probe() override { return plate_.scenario().kind != ScenarioKind::Absent && (!plug_ || plug_->plugged()); }

  const Scenario& scenario() const { return plate_.scenario(); }

 private:
  SimulatedPlate plate_;
  SimulationClock clock_;
  std::shared_ptr<const SimulatedPlug> plug_;
  uint64_t unplugsAtOpen_ = 0;
  bool open_ = false;
  int64_t nextMs_ = 0;
  std::chrono::steady_clock::time_point start_{};
  // A read waits for its frames here; wake() ends the wait.
  std::mutex wakeMutex_;
  std::condition_variable wakeUp_;
  bool woken_ = false;

  // Waits until `until` or a wake(); false when woken.
  bool waitUntil(std::chrono::steady_clock::time_point until);
};

// The USB plate replaced by the simulation; serial ports still go to `serial`. The purpose, the
// subject and the plug are set from the thread that starts links; unplugging may happen at any time.
class SimulatedTransportFactory final : public TransportFactory {
 public:
  SimulatedTransportFactory(SimulationPlan plan, TransportFactory& serial, const PlateModel& model = {})
      : plan_(std::move(plan)), serial_(serial), model_(model) {}
  std::unique_ptr<PlateTransport> usbTransport() override;
  std::unique_ptr<PlateTransport> serialTransport(int32_t portIndex) override {
    return serial_.serialTransport(portIndex);
  }
  const SimulationPlan& plan() const { return plan_; }

  // What the next start is for; the subject follows it when the plan names no scenario.
  void setPurpose(const LinkPurpose& purpose) { purpose_ = purpose; }
  const SimulatedSubject& subject() const { return subject_; }
  // Takes effect at the next start; false, with nothing changed, when a value is outside its range.
  bool setSubject(const SimulatedSubject& subject);
  // The scenario the next start would play.
  Scenario nextScenario() const;

  void unplug() { plug_->unplug(); }
  void plugIn() { plug_->plugIn(); }
  bool plugged() const { return plug_->plugged(); }

 private:
  SimulationPlan plan_;
  TransportFactory& serial_;
  PlateModel model_;
  size_t next_ = 0;
  LinkPurpose purpose_;
  SimulatedSubject subject_;
  std::shared_ptr<SimulatedPlug> plug_ = std::make_shared<SimulatedPlug>();
};

}  // namespace velkora
