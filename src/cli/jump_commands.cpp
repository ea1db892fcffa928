// velkora-cli samples and jump: a recording in physical units and the jump analysis of a power test,
// with '.' as the decimal mark whatever the locale.

#include <CLI/CLI.hpp>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "model/number_text.h"
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

// Kilograms: a finite number from 0 on, read exactly as the program reads a float.
bool parseKilograms(const std::string& text, float& kg) { return parseNumber(text, kg) && kg >= 0; }

class SamplesCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override {
    addFileArgument(command, path_);
    addKindOption(command, kind_);
  }
  int run(CliIo& io, SharedRecords& records) override;

 private:
  std::string path_;
  std::optional<TestKind> kind_;
};

class JumpCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override {
    addFileArgument(command, path_);
    command
        .add_option_function<std::string>(
            "--body-weight",
            [this](const std::string& text) {
              float kg = 0.0f;
              parseKilograms(text, kg);  // checked before
              bodyWeight_ = kg;
            },
            "the subject's body weight instead of the file's")
        ->type_name("KG")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
              float kg = 0.0f;
              return parseKilograms(text, kg) ? "" : "needs kilograms, a number from 0 on";
            },
            "", "kilograms"));
  }
  int run(CliIo& io, SharedRecords& records) override;

 private:
  std::string path_;
  std::optional<float> bodyWeight_;
};

int SamplesCommand::run(CliIo& io, SharedRecords& records) {
  MeasurementStore& store = records.store;
  if (!loadForCli(path_, kind_, records, io)) return kExitFailure;

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

int JumpCommand::run(CliIo& io, SharedRecords& records) {
  MeasurementStore& store = records.store;
  // Whatever its name, the file is read as a power test, which runs the analysis.
  if (!loadForCli(path_, TestKind::Power, records, io)) return kExitFailure;

  const JumpHeights h = computeJumpHeights(store, bodyWeight_.value_or(store.bodyWeight));
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
    {"samples", "print the recording in physical units as CSV",
     "Prints the recording in physical units as CSV with '.' as the decimal mark: a header line, then one line\n"
     "per sample: index,time_ms,vertical_N,horizontal_N,vector_N (forces %.3f), and for a power test also\n"
     "velocity_m_s (%.5f), displacement_cm (%.4f), power_W (%.2f) from the jump analysis. A name ending in\n"
     ".tsr (any letter case) is a power test, any other a force test, unless --kind says otherwise.",
     makeCommand<SamplesCommand>}};

const CliRegistration jumpRegistration{
    {"jump", "print the jump analysis of a power test",
     "Reads FILE as a power test, runs the jump analysis and prints \"key: value\" lines: peakIndex,\n"
     "unweightingStart, takeOffIndex, windowStart, touchDownIndex, takeOffVelocity, heightByImpulse,\n"
     "flightTime, heightByFlightTime and the phase extremes takeOffMaxForce, takeOffMaxVelocity,\n"
     "takeOffMaxPower, takeOffMinDisplacement, touchDownMaxForce, touchDownMinVelocity, touchDownMinPower,\n"
     "touchDownMaxDisplacement; numbers %.9g with '.'. The body weight defaults to the file's; without one\n"
     "(0 kg) the take-off velocity and the height from it are 0.",
     makeCommand<JumpCommand>}};

}  // namespace
}  // namespace velkora::cli
