// velkora-cli info: what a measurement file holds, as "key: value" lines.

#include <charconv>
#include <cstdio>
#include <ctime>
#include <ostream>
#include <string>

#include "app/program_state.h"
#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "storage/measurement_file.h"

namespace velkora::cli {
namespace {

// One value per line whatever the file holds: control characters become \xHH, a backslash \\.
std::string escapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (ch == '\\') {
      out += "\\\\";
    } else if (b < 0x20 || b == 0x7F) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

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

int runInfo(const std::vector<std::string>& args, CliIo& io) {
  std::string path;
  std::optional<TestKind> kind;
  for (size_t i = 0; i < args.size(); ++i) {
    bool invalid = false;
    if (takeKindOption(args, i, kind, invalid)) {
      if (invalid) {
        io.err << "velkora-cli info: --kind needs force or power\n";
        return kExitUsage;
      }
      continue;
    }
    if (args[i].starts_with("--") || !path.empty()) {
      io.err << "velkora-cli info: unexpected argument '" << args[i] << "'\n";
      return kExitUsage;
    }
    path = args[i];
  }
  if (path.empty()) {
    io.err << "velkora-cli info: no file given\n";
    return kExitUsage;
  }

  MeasurementStore& store = program::measurementStore;
  SubjectInfo& subject = program::subjectInfo;
  if (!loadForCli(path, kind, store, subject, io)) return kExitFailure;

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
    {"info", "FILE [--kind force|power]",
     "print what a measurement file holds as \"key: value\" lines: name, sex (female, male, none), height, "
     "weight, comment1..3, bodyWeight (kg), offsetVertical, offsetHorizontal, coefficientVertical, "
     "coefficientHorizontal, sampleCount, repetitionCount, startTime (local time, DD.MM.YYYY HH:MM:SS), "
     "testKind. Numbers use '.' in every locale, in the shortest form that reads back to the same "
     "single-precision value; control characters in texts are shown as \\xHH and a backslash as \\\\. "
     "A .tsr file is a power test, any other a force test, unless --kind says otherwise",
     runInfo}};

}  // namespace
}  // namespace velkora::cli
