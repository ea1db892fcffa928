#include "acquisition/simulated_plate.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <thread>

#include "acquisition/frame_decoder.h"
#include "model/number_text.h"

namespace velkora {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int64_t kSwayPeriod = 1000;      // ms; the weighing's 2000 samples span whole periods
constexpr double kSwayShare = 0.005;       // of the body weight
constexpr int64_t kUnweighting = 300;      // ms
constexpr double kUnweightingDepth = 0.6;  // of the body weight
constexpr int64_t kPush = 400;             // ms of braking and propulsion
constexpr double kPushFloor = 60.0;        // N: the feet leave the plate at once, not by a slow fade
constexpr int64_t kLanding = 200;          // ms
constexpr double kHorizontalShare = 0.05;  // of the vertical excess; forward and back again, no net impulse
constexpr int64_t kRealTimeChunk = 10;     // ms of frames handed out together in real time

// Standing sway: whole periods only, so that it carries no net impulse.
double sway(double weight, int64_t t, int64_t until) {
  if (t >= until) return 0.0;
  return weight * kSwayShare * std::sin(2.0 * kPi * static_cast<double>(t % kSwayPeriod) / kSwayPeriod);
}

int32_t noise(int64_t ms, int32_t channel, int32_t amplitude) {
  if (amplitude <= 0) return 0;
  // splitmix64 of the time: the same frame always carries the same noise.
  uint64_t z = static_cast<uint64_t>(ms) * 2 + static_cast<uint64_t>(channel) + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<int32_t>(z % static_cast<uint64_t>(2 * amplitude + 1)) - amplitude;
}

int32_t toCounts(double force, double coefficient, int32_t offset, int32_t noiseCounts) {
  const auto counts = static_cast<int64_t>(std::lround(force / coefficient)) + offset + noiseCounts;
  return static_cast<int32_t>(std::clamp<int64_t>(counts, 0, 4095));
}

double unweightingForce(double weight, int64_t t) {
  return weight * (1.0 - kUnweightingDepth * std::sin(kPi * static_cast<double>(t) / kUnweighting));
}

// ---- scenario text ----

struct Parameter {
  const char* name;
  double min;
  double max;
  bool integer;
};

bool takeParameters(std::string_view item, const std::vector<std::string_view>& args,
                    std::initializer_list<Parameter> params, std::initializer_list<double*> targets,
                    std::string& error) {
  if (args.size() > params.size()) {
    error = "too many values in '" + std::string(item) + "'";
    return false;
  }
  auto param = params.begin();
  auto target = targets.begin();
  for (std::string_view arg : args) {
    double value = 0.0;
    if (!parseNumber(arg, value) || value < param->min || value > param->max ||
        (param->integer && value != std::floor(value))) {
      char range[96];
      std::snprintf(range, sizeof range, "%s %s from %g to %g", param->name, param->integer ? "an integer" : "a number",
                    param->min, param->max);
      error = "in '" + std::string(item) + "': " + range;
      return false;
    }
    **target = value;
    ++param;
    ++target;
  }
  return true;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t begin = 0;
  while (true) {
    const size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
    if (end == std::string_view::npos) return parts;
    begin = end + 1;
  }
}

bool parseItem(std::string_view item, std::vector<Scenario>& out, std::string& error) {
  std::vector<std::string_view> parts = split(item, ':');
  const std::string_view name = parts.front();
  parts.erase(parts.begin());
  Scenario s;
  double mass = s.mass, count = s.count, peak = s.peak, duration = s.duration, horizontal = s.horizontal,
         pause = s.pause, flight = s.flight, quiet = s.quiet, unplug = s.unplugAfter;
  bool ok = true;
  if (name == "empty" || name == "silent" || name == "absent") {
    s.kind = name == "empty" ? ScenarioKind::Empty : name == "silent" ? ScenarioKind::Silent : ScenarioKind::Absent;
    ok = takeParameters(item, parts, {}, {}, error);
  } else if (name == "stand") {
    s.kind = ScenarioKind::Stand;
    ok = takeParameters(item, parts, {{"MASS", 1, 400, false}}, {&mass}, error);
  } else if (name == "pushes") {
    s.kind = ScenarioKind::Pushes;
    ok = takeParameters(item, parts,
                        {{"COUNT", 1, 100, true},
                         {"PEAK", 1, 3900, false},
                         {"DURATION", 2, 10000, true},
                         {"HORIZONTAL", -2000, 2000, false},
                         {"PAUSE", 1, 60000, true}},
                        {&count, &peak, &duration, &horizontal, &pause}, error);
  } else if (name == "jump") {
    s.kind = ScenarioKind::Jump;
    ok = takeParameters(item, parts, {{"MASS", 20, 200, false}, {"FLIGHT", 50, 1000, true}, {"QUIET", 0, 60000, true}},
                        {&mass, &flight, &quiet}, error);
  } else if (name == "mass" || name == "hmass" || name == "calibration") {
    mass = 20.0;
    ok = takeParameters(item, parts, {{"KG", 1, 200, false}}, {&mass}, error);
    s.mass = mass;
    if (ok && name == "calibration") {
      Scenario step = s;
      step.kind = ScenarioKind::Empty;
      out.push_back(step);
      step.kind = ScenarioKind::Mass;
      out.push_back(step);
      step.kind = ScenarioKind::HorizontalMass;
      out.push_back(step);
      return true;
    }
    s.kind = name == "mass" ? ScenarioKind::Mass : ScenarioKind::HorizontalMass;
  } else if (name == "unplug") {
    s.kind = ScenarioKind::Unplug;
    ok = takeParameters(item, parts, {{"MS", 0, 600000, true}, {"MASS", 1, 400, false}}, {&unplug, &mass}, error);
  } else {
    error = "unknown scenario '" + std::string(name) +
            "' (empty, stand, pushes, jump, mass, hmass, calibration, silent, absent, unplug)";
    return false;
  }
  if (!ok) return false;
  s.mass = mass;
  s.count = static_cast<int32_t>(count);
  s.peak = peak;
  s.duration = static_cast<int32_t>(duration);
  s.horizontal = horizontal;
  s.pause = static_cast<int32_t>(pause);
  s.flight = static_cast<int32_t>(flight);
  s.quiet = static_cast<int32_t>(quiet);
  s.unplugAfter = static_cast<int32_t>(unplug);
  out.push_back(s);
  return true;
}

}  // namespace

std::string scenarioHelpText(size_t width, std::string_view indent) {
  static constexpr std::string_view kText =
      "Without SCENARIO the simulated subject does what each test asks. SCENARIO is "
      "ITEM[/ITEM...][,fast], one item per start of the plate, with items empty, stand[:KG], "
      "pushes[:COUNT[:PEAK_N[:MS[:HORIZONTAL_N[:PAUSE_MS]]]]], jump[:KG[:FLIGHT_MS[:QUIET_MS]]], mass[:KG], "
      "hmass[:KG], calibration[:KG], silent, absent, unplug[:MS[:KG]]; \",fast\" sends the frames as fast as "
      "they are read.";
  std::string out;
  // The first line follows the caller's own text, which takes the indent's width too.
  size_t lineLength = indent.size();
  size_t start = 0;
  while (start < kText.size()) {
    size_t end = kText.find(' ', start);
    if (end == std::string_view::npos) end = kText.size();
    const std::string_view word = kText.substr(start, end - start);
    if (lineLength > indent.size() && lineLength + 1 + word.size() > width) {
      out += '\n';
      out += indent;
      lineLength = indent.size();
    } else if (lineLength > indent.size()) {
      out += ' ';
      ++lineLength;
    }
    out += word;
    lineLength += word.size();
    start = end + 1;
  }
  return out;
}

bool parseSimulation(std::string_view text, SimulationPlan& plan, std::string& error) {
  SimulationPlan result;
  if (text.size() >= 5 && text.substr(text.size() - 5) == ",fast") {
    result.fast = true;
    text.remove_suffix(5);
  }
  if (text.empty()) {
    result.followsPurpose = true;
    text = kDefaultScenario;
  }
  for (std::string_view item : split(text, '/')) {
    if (item.empty()) {
      error = "empty scenario in the list";
      return false;
    }
    if (!parseItem(item, result.scenarios, error)) return false;
  }
  plan = std::move(result);
  return true;
}

// ---- the model ----

SimulatedPlate::SimulatedPlate(const Scenario& scenario, const PlateModel& model)
    : scenario_(scenario), model_(model), weight_(scenario.mass * kSimulatedGravity) {
  if (scenario_.kind != ScenarioKind::Jump) return;
  takeOff_ = scenario_.quiet + kUnweighting + kPush;

  // The take-off speed that gives the flight time, v = g * T / 2, must come from the net impulse of
  // unweighting and push together: m * v in newton-milliseconds, summed sample by sample as the
  // plate delivers it. The push amplitude is found by bisection (the floor makes it non-linear).
  const double wanted = scenario_.mass * kSimulatedGravity * scenario_.flight / 2.0;
  double unweighting = 0.0;
  for (int64_t t = 0; t < kUnweighting; ++t) unweighting += unweightingForce(weight_, t) - weight_;
  auto netImpulse = [&](double amplitude) {
    double sum = unweighting;
    for (int64_t t = 0; t < kPush; ++t) sum += pushForce(t, amplitude) - weight_;
    return sum;
  };
  double low = 0.0;
  double high = 50.0 * weight_;
  for (int i = 0; i < 64; ++i) {
    const double mid = 0.5 * (low + high);
    (netImpulse(mid) < wanted ? low : high) = mid;
  }
  pushAmplitude_ = 0.5 * (low + high);

  // The landing takes the same momentum away again.
  double shape = 0.0;
  for (int64_t t = 0; t < kLanding; ++t) shape += std::sin(kPi * static_cast<double>(t) / kLanding);
  landingAmplitude_ = wanted / shape;
}

double SimulatedPlate::pushForce(int64_t t, double amplitude) const {
  const double x = static_cast<double>(t) / kPush;
  const double force = weight_ * (1.0 - x * x * x * x) + amplitude * std::sin(kPi * x);
  return std::max(force, kPushFloor);
}

void SimulatedPlate::jumpForces(int64_t ms, double& vertical, double& horizontal) const {
  const int64_t quiet = scenario_.quiet;
  horizontal = 0.0;
  if (ms < quiet) {
    vertical = weight_ + sway(weight_, ms, quiet - quiet % kSwayPeriod);
    return;
  }
  int64_t t = ms - quiet;
  if (t < kUnweighting) {
    vertical = unweightingForce(weight_, t);
    return;
  }
  t -= kUnweighting;
  if (t < kPush) {
    vertical = pushForce(t, pushAmplitude_);
    horizontal = kHorizontalShare * pushAmplitude_ * std::sin(2.0 * kPi * static_cast<double>(t) / kPush);
    return;
  }
  t -= kPush;
  if (t < scenario_.flight) {
    vertical = 0.0;
    return;
  }
  t -= scenario_.flight;
  if (t < kLanding) {
    vertical = weight_ + landingAmplitude_ * std::sin(kPi * static_cast<double>(t) / kLanding);
    horizontal = -kHorizontalShare * landingAmplitude_ * std::sin(2.0 * kPi * static_cast<double>(t) / kLanding);
    return;
  }
  t -= kLanding;
  vertical = weight_ + sway(weight_, t, INT64_MAX);
}

void SimulatedPlate::forces(int64_t ms, double& vertical, double& horizontal) const {
  vertical = 0.0;
  horizontal = 0.0;
  switch (scenario_.kind) {
    case ScenarioKind::Empty:
    case ScenarioKind::Silent:
    case ScenarioKind::Absent:
      return;
    case ScenarioKind::Stand:
    case ScenarioKind::Unplug:
      vertical = weight_ + sway(weight_, ms, INT64_MAX);
      horizontal = 0.4 * sway(weight_, ms + kSwayPeriod / 4, INT64_MAX);
      return;
    case ScenarioKind::Pushes: {
      const int64_t cycle = static_cast<int64_t>(scenario_.pause) + scenario_.duration;
      const int64_t push = ms / cycle;
      const int64_t t = ms % cycle - scenario_.pause;
      if (push >= scenario_.count || t < 0) return;
      const double s = std::sin(kPi * static_cast<double>(t) / scenario_.duration);
      vertical = scenario_.peak * s;
      horizontal = scenario_.horizontal * s;
      return;
    }
    case ScenarioKind::Jump:
      jumpForces(ms, vertical, horizontal);
      return;
    case ScenarioKind::Mass:
      vertical = weight_;
      return;
    case ScenarioKind::HorizontalMass:
      horizontal = weight_;
      return;
  }
}

void SimulatedPlate::counts(int64_t ms, int32_t& vertical, int32_t& horizontal) const {
  double fv = 0.0;
  double fh = 0.0;
  forces(ms, fv, fh);
  vertical = toCounts(fv, model_.coefficientVertical, model_.offsetVertical, noise(ms, 0, model_.noiseCounts));
  horizontal = toCounts(fh, model_.coefficientHorizontal, model_.offsetHorizontal, noise(ms, 1, model_.noiseCounts));
}

void SimulatedPlate::fillFrames(int64_t firstMs, size_t frames, uint8_t* out) const {
  for (size_t i = 0; i < frames; ++i) {
    int32_t v = 0;
    int32_t h = 0;
    counts(firstMs + static_cast<int64_t>(i), v, h);
    encodeFrame(v, h, out + 4 * i);
  }
}

// ---- the transport ----

TransportStatus SimulatedPlateTransport::open() {
  if (plate_.scenario().kind == ScenarioKind::Absent) return TransportStatus::NoDevice;
  if (plug_ && !plug_->plugged()) return TransportStatus::NoDevice;
  if (open_) return TransportStatus::Io;
  if (plug_) unplugsAtOpen_ = plug_->unplugs();
  open_ = true;
  nextMs_ = 0;
  start_ = std::chrono::steady_clock::now();
  return TransportStatus::Ok;
}

bool SimulatedPlateTransport::waitUntil(std::chrono::steady_clock::time_point until) {
  std::unique_lock lock(wakeMutex_);
  const bool woken = wakeUp_.wait_until(lock, until, [&] { return woken_; });
  woken_ = false;
  return !woken;
}

void SimulatedPlateTransport::wake() {
  {
    std::lock_guard lock(wakeMutex_);
    woken_ = true;
  }
  wakeUp_.notify_all();
}

ReadResult SimulatedPlateTransport::read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) {
  using namespace std::chrono;
  if (!open_) return {TransportStatus::Io, 0};
  if (plug_ && plug_->unplugs() != unplugsAtOpen_) return {TransportStatus::Disconnected, 0};
  const Scenario& s = plate_.scenario();
  if (s.kind == ScenarioKind::Silent) {
    waitUntil(steady_clock::now() + std::min(timeout, milliseconds(50)));
    return {TransportStatus::Timeout, 0};
  }
  int64_t end = INT64_MAX;
  if (s.kind == ScenarioKind::Unplug) {
    end = s.unplugAfter;
    if (nextMs_ >= end) return {TransportStatus::Disconnected, 0};
  }

  int64_t frames = static_cast<int64_t>(capacity / 4);
  if (clock_ == SimulationClock::RealTime) {
    // Frame k is due k milliseconds after the open; wait for a chunk's worth, but never longer
    // than the caller allows.
    auto due = [&] { return duration_cast<milliseconds>(steady_clock::now() - start_).count(); };
    if (due() - nextMs_ < kRealTimeChunk) {
      const auto chunkDue = start_ + milliseconds(nextMs_ + kRealTimeChunk);
      const auto deadline = steady_clock::now() + std::min(timeout, milliseconds(50));
      if (!waitUntil(std::min(chunkDue, deadline))) return {TransportStatus::Timeout, 0};
    }
    frames = std::min(frames, due() - nextMs_);
    if (frames <= 0) return {TransportStatus::Timeout, 0};
  }
  frames = std::min(frames, end - nextMs_);
  plate_.fillFrames(nextMs_, static_cast<size_t>(frames), buffer);
  nextMs_ += frames;
  return {TransportStatus::Ok, static_cast<size_t>(frames) * 4};
}

bool SimulatedTransportFactory::setSubject(const SimulatedSubject& subject) {
  if (!subjectWithinLimits(subject)) return false;
  subject_ = subject;
  return true;
}

Scenario SimulatedTransportFactory::nextScenario() const {
  if (plan_.followsPurpose && purpose_.use != LinkUse::Unspecified) return subjectScenario(subject_, purpose_);
  if (plan_.scenarios.empty()) return Scenario{};
  return plan_.scenarios[next_ % plan_.scenarios.size()];
}

std::unique_ptr<PlateTransport> SimulatedTransportFactory::usbTransport() {
  const Scenario s = nextScenario();
  // A listed scenario is used up by the start; the subject's own choice leaves the list as it is.
  if (!(plan_.followsPurpose && purpose_.use != LinkUse::Unspecified)) ++next_;
  return std::make_unique<SimulatedPlateTransport>(s, plan_.fast ? SimulationClock::Test : SimulationClock::RealTime,
                                                   model_, plug_);
}

}  // namespace velkora
