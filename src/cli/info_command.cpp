// velkora-cli info: what a measurement file holds, as "key: value" lines.

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <ostream>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "cli/text_escape.h"
#include "storage/measurement_file.h"

namespace velkora::cli {
namespace {

// The shortest text that reads back to the same single-precision value, with '.' in every locale.
std::string formatFloat(float value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string sexName(int32_t sex) {
  switch (sex) {
    case -1:
      return "none";
    case 0:
      return "female";
    case 1:
      return "male";
    default:
      return std::to_string(sex);  // files are taken as they are
  }
}

std::string formatStartTime(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  char text[64];
  if (localtime_r(&t, &local) == nullptr || std::strftime(text, sizeof text, "%d.%m.%Y %H:%M:%S", &local) == 0)
    return std::to_string(seconds);
  return text;
}

class InfoCommand final : public CliCommand {
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

int InfoCommand::run(CliIo& io, SharedRecords& records) {
  MeasurementStore& store = records.store;
  SubjectInfo& subject = records.subject;
  if (!loadForCli(path_, kind_, records, io)) return kExitFailure;

  std::ostream& out = io.out;
  out << "name: " << escapeText(subject.name) << '\n'
      << "sex: " << sexName(subject.sex) << '\n'
      << "height: " << subject.height << '\n'
      << "weight: " << subject.weight << '\n'
      << "comment1: " << escapeText(subject.comment1) << '\n'
      << "comment2: " << escapeText(subject.comment2) << '\n'
      << "comment3: " << escapeText(subject.comment3) << '\n'
      << "bodyWeight: " << formatFloat(store.bodyWeight) << '\n'
      << "offsetVertical: " << formatFloat(store.calibration.offsetVertical) << '\n'
      << "offsetHorizontal: " << formatFloat(store.calibration.offsetHorizontal) << '\n'
      << "coefficientVertical: " << formatFloat(store.calibration.coefficientVertical) << '\n'
      << "coefficientHorizontal: " << formatFloat(store.calibration.coefficientHorizontal) << '\n'
      << "sampleCount: " << store.sampleCount.load() << '\n'
      << "repetitionCount: " << store.repetitions.rows() << '\n'
      << "startTime: " << formatStartTime(testTimeSeconds(store.testTime)) << '\n'
      << "testKind: " << testKindName(store.testKind) << '\n';
  out.flush();
  return kExitOk;
}

const CliRegistration registration{
    {"info", "print what a measurement file holds as \"key: value\" lines",
     "Prints name, sex (female, male, none), height, weight, comment1..3, bodyWeight (kg), offsetVertical,\n"
     "offsetHorizontal, coefficientVertical, coefficientHorizontal, sampleCount, repetitionCount, startTime\n"
     "(local time, DD.MM.YYYY HH:MM:SS) and testKind. Numbers use '.' in every locale, in the shortest form\n"
     "that reads back to the same single-precision value. In texts a backslash is shown as \\\\, control\n"
     "characters (C0 and DEL) and bytes that are not UTF-8 as \\xHH, and the C1 controls (U+0080 to U+009F),\n"
     "the bidirectional controls (U+202A to U+202E, U+2066 to U+2069) and the line and paragraph separators\n"
     "as \\uXXXX, so every value stays on its line. A name ending in .tsr (any letter case) is a power test,\n"
     "any other a force test, unless --kind says otherwise.",
     makeCommand<InfoCommand>}};

}  // namespace
}  // namespace velkora::cli
