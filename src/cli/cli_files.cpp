#include "cli/cli_files.h"

#include "storage/measurement_file.h"

namespace velkora::cli {

std::optional<TestKind> parseTestKind(std::string_view text) {
  if (text == "force") return TestKind::Force;
  if (text == "power") return TestKind::Power;
  return std::nullopt;
}

std::string_view testKindName(TestKind kind) { return kind == TestKind::Power ? "power" : "force"; }

TestKind testKindForPath(std::string_view path) {
  const std::string_view ext = kPowerFileExtension;
  if (path.size() < ext.size()) return TestKind::Force;
  const std::string_view tail = path.substr(path.size() - ext.size());
  return tail == ext ? TestKind::Power : TestKind::Force;
}

bool takeKindOption(const std::vector<std::string>& args, size_t& i, std::optional<TestKind>& kind, bool& invalid) {
  std::string value;
  bool missing = false;
  if (!takeOption(args, i, "--kind", value, missing)) return false;
  const std::optional<TestKind> parsed = missing ? std::nullopt : parseTestKind(value);
  invalid = !parsed.has_value();
  if (parsed) kind = parsed;
  return true;
}

bool loadForCli(const std::string& path, std::optional<TestKind> kindOverride, MeasurementStore& store,
                SubjectInfo& subject, CliIo& io) {
  StreamMessageSink sink(io.err);
  return loadMeasurement(path, kindOverride.value_or(testKindForPath(path)), store, subject, sink);
}

}  // namespace velkora::cli
