#include "cli/cli_files.h"

#include "app/measurement_use_cases.h"
#include "storage/binary_io.h"
#include "storage/measurement_file.h"

namespace velkora::cli {

std::optional<TestKind> parseTestKind(std::string_view text) {
  if (text == "force") return TestKind::Force;
  if (text == "power") return TestKind::Power;
  return std::nullopt;
}

std::string_view testKindName(TestKind kind) { return kind == TestKind::Power ? "power" : "force"; }

void printFileReason(std::ostream& err, std::string_view path, const std::error_code& reason) {
  err << path << ": " << reason.message() << '\n';
}

bool loadForCli(const std::string& path, std::optional<TestKind> kindOverride, SharedRecords& records, CliIo& io,
                std::string* message) {
  StreamMessageSink sink(io.err);
  if (message != nullptr) message->clear();
  sink.keepFirstIn(message);
  std::error_code openError;
  if (openMeasurement(records, path, kindOverride.value_or(testKindForPath(path)), sink, &openError)) return true;
  if (openError) printFileReason(io.err, path, openError);
  return false;
}

bool outputIsInput(std::string_view command, const std::string& input, const std::string& output, CliIo& io) {
  if (!sameExistingFile(input, output)) return false;
  io.err << "velkora-cli " << command << ": the output " << output << " is the file " << input
         << " this command reads; choose another output\n";
  return true;
}

}  // namespace velkora::cli
