// velkora-cli readouts: the eleven texts of the curve graph's cursor readout panel for two cursors,
// exactly as the program draws them, so a lab can read impulses and means between two instants in batch.

#include <CLI/CLI.hpp>
#include <array>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "cli/curve_choice.h"
#include "view/curve_graph.h"

namespace velkora::cli {
namespace {

class ReadoutsCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override {
    addFileArgument(command, path_);
    curve_.define(command, RangeRole::Cursors);
    addKindOption(command, testKind_);
  }
  int run(CliIo& io, SharedRecords& records) override;

 private:
  std::string path_;
  CurveChoice curve_;
  std::optional<TestKind> testKind_;
};

int ReadoutsCommand::run(CliIo& io, SharedRecords& records) {
  MeasurementStore& store = records.store;
  if (!loadForCli(path_, testKind_, records, io)) return kExitFailure;
  const std::optional<CurveGraphView> view = curve_.resolve(store, "readouts", io);
  if (!view) return kExitUsage;
  std::string text;
  for (const std::string& line : readoutTexts(store, *view)) {
    text += line;
    text += '\n';
  }
  io.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  io.out.flush();
  return kExitOk;
}

const CliRegistration registration{
    {"readouts", "print the cursor readouts of the curve graph",
     "Prints the eleven texts of the curve graph's readout panel exactly as the program draws them, one per\n"
     "line, in reading order: XL, diff X, XR; Y1L, int Y1, avr Y1, Y1R; Y2L, int Y2, avr Y2, Y2R (values\n"
     "\"%7.1f\", the decimal mark of LC_NUMERIC). int is the sum of the samples from XL to XR, both included,\n"
     "divided by 1000 (N s for a force), avr their mean. XL defaults to 0 and XR to the end of the recording\n"
     "(its sample count, at most 60999); XL must be below XR and both within 0 .. that end. The parameters\n"
     "P (0 F vertical, 1 F horizontal, 2 F vector, 3 v, 4 h, 5 P) default to 0 and 1, for a power test 0\n"
     "and 3. A name ending in .tsr (any letter case) is a power test, any other a force test, unless --kind\n"
     "says otherwise.",
     makeCommand<ReadoutsCommand>}};

}  // namespace
}  // namespace velkora::cli
