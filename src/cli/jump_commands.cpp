// velkora-cli samples and jump: a recording in physical units and the jump analysis of a power test,
// with '.' as the decimal mark whatever the locale.

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>

#include "app/program_state.h"
#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "reports/jump_analysis.h"

namespace velkora::cli {
namespace {

// Appends snprintf's text of `value` with the locale's decimal mark put back to '.'.
void appendNumber(std::string& out, const char* format, double value, std::string_view point) {
  char buffer[400];
  int len = std::snprintf(buffer, sizeof buffer, format, value);
  if (len < 0) return;
  if (len >= static_cast<int>(sizeof buffer)) len = static_cast<int>(sizeof buffer) - 1;
  std::string_view text(buffer, static_cast<size_t>(len));
  const size_t at = point == "." ? std::string_view::npos : text.find(point);
  if (at == std::string_view::npos) {
    out.append(text);
    return;
  }
  out.append(text.substr(0, at));
  out.push_back('.');
  out.append(text.substr(at + point.size()));
}

std::string_view decimalPoint() {
  const std::lconv* conv = std::localeconv();
  if (conv == nullptr || conv->decimal_point == nullptr || conv->decimal_point[0] == '\0') return ".";
  return conv->decimal_point;
}

// FILE and --kind, the arguments both commands start from.
int parseFileArguments(const std::vector<std::string>& args, std::string_view command, std::string& path,
                       std::optional<TestKind>* kind, std::optional<float>* bodyWeight, CliIo& io) {
  for (size_t i = 0; i < args.size(); ++i) {
    bool invalid = false;
    if (kind != nullptr && takeKindOption(args, i, *kind, invalid)) {
      if (invalid) {
        io.err << "velkora-cli " << command << ": --kind needs force or power\n";
        return kExitUsage;
      }
      continue;
    }
    std::string value;
    bool missing = false;
    if (bodyWeight != nullptr && takeOption(args, i, "--body-weight", value, missing)) {
      float kg = 0.0f;
      const char* last = value.data() + value.size();
      const auto [ptr, ec] = std::from_chars(value.data(), last, kg);
      if (missing || value.empty() || ec != std::errc() || ptr != last || !std::isfinite(kg) || kg < 0) {
        io.err << "velkora-cli " << command << ": --body-weight needs kilograms, a number from 0 on\n";
        return kExitUsage;
      }
      *bodyWeight = kg;
      continue;
    }
    if (args[i].starts_with("--") || !path.empty()) {
      io.err << "velkora-cli " << command << ": unexpected argument '" << args[i] << "'\n";
      return kExitUsage;
    }
    path = args[i];
  }
  if (path.empty()) {
    io.err << "velkora-cli " << command << ": no file given\n";
    return kExitUsage;
  }
  return kExitOk;
}

int runSamples(const std::vector<std::string>& args, CliIo& io) {
  std::string path;
  std::optional<TestKind> kind;
  if (const int code = parseFileArguments(args, "samples", path, &kind, nullptr, io); code != kExitOk) return code;
  MeasurementStore& store = program::measurementStore;
  if (!loadForCli(path, kind, store, program::subjectInfo, io)) return kExitFailure;

  const bool power = store.testKind == TestKind::Power;
  const int32_t n = store.sampleCount.load(std::memory_order_acquire);
  const std::string_view point = decimalPoint();
  std::string text = "index,time_ms,vertical_N,horizontal_N,vector_N";
  if (power) text += ",velocity_m_s,displacement_cm,power_W";
  text += '\n';
  text.reserve(text.size() + static_cast<size_t>(n) * (power ? 96 : 56));
  char index[16];
  for (int32_t i = 0; i < n; ++i) {
    const auto [end, ec] = std::to_chars(index, index + sizeof index, i);
    (void)ec;
    const std::string_view digits(index, static_cast<size_t>(end - index));
    text.append(digits);  // one sample per millisecond: the index is the time
    text += ',';
    text.append(digits);
    for (ForceChannel c : {ForceChannel::Vertical, ForceChannel::Horizontal, ForceChannel::Vector}) {
      text += ',';
      appendNumber(text, "%.3f", forceAt(store, i, c), point);
    }
    if (power) {
      text += ',';
      appendNumber(text, "%.5f", forceAt(store, i, ForceChannel::Velocity), point);
      text += ',';
      appendNumber(text, "%.4f", forceAt(store, i, ForceChannel::Displacement), point);
      text += ',';
      appendNumber(text, "%.2f", forceAt(store, i, ForceChannel::Power), point);
    }
    text += '\n';
  }
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  return kExitOk;
}

int runJump(const std::vector<std::string>& args, CliIo& io) {
  std::string path;
  std::optional<float> bodyWeight;
  if (const int code = parseFileArguments(args, "jump", path, nullptr, &bodyWeight, io); code != kExitOk) return code;
  MeasurementStore& store = program::measurementStore;
  // Whatever its name, the file is read as a power test, which runs the analysis.
  if (!loadForCli(path, TestKind::Power, store, program::subjectInfo, io)) return kExitFailure;
  if (!store.jump.analysed) computeJumpResults(store);

  const JumpHeights h = computeJumpHeights(store, bodyWeight.value_or(store.bodyWeight));
  const PhaseExtremes e = computePhaseExtremes(store);
  const std::string_view point = decimalPoint();
  std::string text;
  auto whole = [&text](const char* key, int32_t value) {
    text += key;
    text += ": ";
    text += std::to_string(value);
    text += '\n';
  };
  auto real = [&text, point](const char* key, float value) {
    text += key;
    text += ": ";
    appendNumber(text, "%.9g", value, point);
    text += '\n';
  };
  whole("peakIndex", store.jump.peakIndex);
  whole("unweightingStart", h.unweightingStart);
  whole("takeOffIndex", h.takeOffIndex);
  whole("windowStart", h.windowStart);
  whole("touchDownIndex", h.touchDownIndex);
  real("takeOffVelocity", h.takeOffVelocity);
  real("heightByImpulse", h.heightByImpulse);
  whole("flightTime", h.flightTime);
  real("heightByFlightTime", h.heightByFlightTime);
  real("takeOffMaxForce", e.takeOffMaxForce);
  real("takeOffMaxVelocity", e.takeOffMaxVelocity);
  real("takeOffMaxPower", e.takeOffMaxPower);
  real("takeOffMinDisplacement", e.takeOffMinDisplacement);
  real("touchDownMaxForce", e.touchDownMaxForce);
  real("touchDownMinVelocity", e.touchDownMinVelocity);
  real("touchDownMinPower", e.touchDownMinPower);
  real("touchDownMaxDisplacement", e.touchDownMaxDisplacement);
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  return kExitOk;
}

const CliRegistration samplesRegistration{
    {"samples", "FILE [--kind force|power]",
     "print the recording in physical units as CSV with '.' as the decimal mark: a header line, then one line "
     "per sample: index,time_ms,vertical_N,horizontal_N,vector_N (forces %.3f), and for a power test also "
     "velocity_m_s (%.5f), displacement_cm (%.4f), power_W (%.2f) from the jump analysis",
     runSamples}};

const CliRegistration jumpRegistration{
    {"jump", "FILE [--body-weight KG]",
     "read FILE as a power test, run the jump analysis and print \"key: value\" lines: peakIndex, "
     "unweightingStart, takeOffIndex, windowStart, touchDownIndex, takeOffVelocity, heightByImpulse, "
     "flightTime, heightByFlightTime and the phase extremes takeOffMaxForce, takeOffMaxVelocity, "
     "takeOffMaxPower, takeOffMinDisplacement, touchDownMaxForce, touchDownMinVelocity, touchDownMinPower, "
     "touchDownMaxDisplacement; numbers %.9g with '.'. The body weight defaults to the file's; without one "
     "(0 kg) the take-off velocity and the height from it are 0",
     runJump}};

}  // namespace
}  // namespace velkora::cli
