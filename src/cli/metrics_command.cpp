// velkora-cli metrics: the metrics coaches read, for one file or a whole batch, as "key: value" blocks
// or as one CSV line per file, with '.' as the decimal mark whatever the locale.

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "cli/library_text.h"
#include "reports/test_metrics.h"

namespace velkora::cli {
namespace {

std::string csvHeader() {
  std::string line = "file,kind";
  for (std::string_view key : powerMetricKeys()) line.append(",power.").append(key);
  for (std::string_view key : forceMetricKeys()) line.append(",force.").append(key);
  line += '\n';
  return line;
}

// The cells of one test kind: its values, or n/a throughout when the file is the other kind or failed.
void appendCsvValues(std::string& out, std::span<const std::string_view> keys, const TestMetrics* metrics) {
  for (size_t i = 0; i < keys.size(); ++i) {
    out += ',';
    if (metrics == nullptr)
      out += "n/a";
    else
      out += formatMetricValue(metrics->whole[i]);
  }
}

void appendLine(std::string& out, std::string_view prefix, std::string_view key, std::string_view value) {
  out.append(prefix).append(key).append(": ").append(value) += '\n';
}

void appendBlock(std::string& out, const TestMetrics& metrics) {
  for (const Metric& m : metrics.whole) appendLine(out, {}, m.key, formatMetricValue(m));
  for (size_t r = 0; r < metrics.repetitions.size(); ++r) {
    const std::string prefix = "rep" + std::to_string(r + 1) + ".";
    for (const Metric& m : metrics.repetitions[r]) appendLine(out, prefix, m.key, formatMetricValue(m));
  }
}

class MetricsCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override {
    command.add_option("FILE", paths_, "the measurement files, analysed in this order")->required()->type_name("");
    command.add_flag("--csv", csv_, "print a header line and one CSV line per file");
    addKindOption(command, kind_);
  }
  int run(CliIo& io, SharedRecords& records) override;

 private:
  std::vector<std::string> paths_;
  bool csv_ = false;
  std::optional<TestKind> kind_;
};

int MetricsCommand::run(CliIo& io, SharedRecords& records) {
  MeasurementStore& store = records.store;
  int code = kExitOk;
  std::string text;
  if (csv_) text = csvHeader();
  std::string message;
  for (size_t f = 0; f < paths_.size(); ++f) {
    const std::string& path = paths_[f];
    // Every file is analysed on its own: one that cannot be read leaves the rest to go on.
    const bool loaded = loadForCli(path, kind_, records, io, &message);
    if (!loaded) code = kExitFailure;
    std::optional<TestMetrics> metrics;
    if (loaded) metrics = computeTestMetrics(store, store.testKind);
    if (csv_) {
      text += csvField(path);
      text += ',';
      text += loaded ? testKindName(metrics->kind) : "error";
      const bool power = loaded && metrics->kind == TestKind::Power;
      appendCsvValues(text, powerMetricKeys(), power ? &*metrics : nullptr);
      appendCsvValues(text, forceMetricKeys(), loaded && !power ? &*metrics : nullptr);
      text += '\n';
    } else {
      if (f > 0) text += '\n';
      appendLine(text, {}, "file", path);
      if (loaded) {
        appendLine(text, {}, "kind", testKindName(metrics->kind));
        appendBlock(text, *metrics);
      } else {
        appendLine(text, {}, "error", message);
      }
    }
    // Written file by file, so a long batch shows its progress and never holds all of its text.
    io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
  }
  io.out.flush();
  return code;
}

const CliRegistration metricsRegistration{
    {"metrics", "print the jump or force metrics of one or more files",
     "Prints for every FILE, in order, a block of \"key: value\" lines (file, kind, then every metric; a force test\n"
     "adds repK.<key> lines per repetition), blocks separated by an empty line; with --csv a header line and one\n"
     "line per file (power.* and force.* columns, n/a for the other kind; per-repetition keys are left out).\n"
     "A value that does not exist for the recording is n/a. Numbers use '.' whatever the locale. A file that\n"
     "cannot be read gets \"error: <message>\" (kind error in the CSV), the message also goes to stderr, and\n"
     "the other files are still analysed; the exit code is then 1. A name ending in .tsr (any letter case) is a\n"
     "power test, any other a force test, unless --kind says otherwise.",
     makeCommand<MetricsCommand>, true}};

}  // namespace
}  // namespace velkora::cli
