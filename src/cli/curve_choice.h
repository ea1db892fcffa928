#pragma once
// The curve graph a velkora-cli command shows of a measurement file: the two plotted parameters and a
// range of samples (the sample window, or the two cursors), as the command line chose them, with what
// the program shows right after opening the file for anything left out. The range can only be checked
// against the recording once the file is loaded.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/measurement_store.h"
#include "cli/cli_command.h"
#include "view/bar_graph.h"
#include "view/curve_graph.h"

namespace velkora::cli {

// The last sample of the full window: the sample count, at most 60999.
int32_t fullWindowEnd(const MeasurementStore& store);

// What a fresh installation shows after opening the file: parameters 0 and 1 for a force test, the
// default 0 and 3 for a power test; the whole recording with the cursors on its ends.
CurveGraphView openedCurveView(const MeasurementStore& store);

// Whether the program offers the bar graph of the recording (a force test with repetitions), and what
// it shows on entering it: the force axis of parameter 0, the first repetition highlighted.
bool barGraphOffered(const MeasurementStore& store);
BarGraphView openedBarView();

// What the two range options set.
enum class RangeRole {
  Window,   // --from/--to: the sample window, with the cursors on its ends
  Cursors,  // --xl/--xr: the cursors within the whole recording
};

class CurveChoice {
 public:
  // Declares --y1 P, --y2 P and the two range options of the role.
  void define(CLI::App& command, RangeRole role);

  // The view for the loaded recording. A range that does not fit it (a first sample not below the
  // last, a sample past the recording's end) is a wrong command line: a message naming the option on
  // io.err and nothing returned.
  std::optional<CurveGraphView> resolve(const MeasurementStore& store, std::string_view command, CliIo& io) const;

  // Whether any of the options was given (commands that draw no curve refuse them).
  bool given() const;
  // The first of the given options, for a message: "--from", "--y1", ...
  std::string firstGivenName() const;

  CLI::Option* y1Option() const { return y1Option_; }
  CLI::Option* y2Option() const { return y2Option_; }
  CLI::Option* firstOption() const { return firstOption_; }
  CLI::Option* lastOption() const { return lastOption_; }

 private:
  RangeRole role_ = RangeRole::Window;
  int32_t y1_ = 0;
  int32_t y2_ = 0;
  int32_t first_ = 0;
  int32_t last_ = 0;
  CLI::Option* y1Option_ = nullptr;
  CLI::Option* y2Option_ = nullptr;
  CLI::Option* firstOption_ = nullptr;
  CLI::Option* lastOption_ = nullptr;
};

// Prints "velkora-cli COMMAND: MESSAGE" and returns kExitUsage: a command line that parsed but does
// not fit the file or the other options.
int usageError(std::string_view command, std::string_view message, CliIo& io);

}  // namespace velkora::cli
