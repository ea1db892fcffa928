// velkora-cli decode: the plate byte stream on stdin, one "V H" line per decoded frame.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <istream>
#include <ostream>
#include <string>

#include "acquisition/frame_decoder.h"
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "model/number_text.h"

namespace velkora::cli {
namespace {

void printFrame(std::ostream& out, int32_t v, int32_t h) {
  char line[32];
  const int len = std::snprintf(line, sizeof line, "%d %d\n", static_cast<int>(v), static_cast<int>(h));
  out.write(line, len);
}

// "V,H": two whole numbers within +-100000.
bool parseOffsets(const std::string& text, int32_t& v, int32_t& h) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return false;
  long long a = 0;
  long long b = 0;
  if (!parseNumber(std::string_view(text).substr(0, comma), a) ||
      !parseNumber(std::string_view(text).substr(comma + 1), b))
    return false;
  if (a < -100000 || a > 100000 || b < -100000 || b > 100000) return false;
  v = static_cast<int32_t>(a);
  h = static_cast<int32_t>(b);
  return true;
}

class DecodeCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override {
    command
        .add_option("--offsets", offsets_,
                    "subtract these counts from the vertical and the horizontal value (default 0,0)")
        ->type_name("V,H")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
              int32_t v = 0;
              int32_t h = 0;
              return parseOffsets(text, v, h) ? "" : "needs two whole numbers V,H from -100000 to 100000";
            },
            "", "offsets"));
  }
  int run(CliIo& io, SharedRecords&) override;

 private:
  std::string offsets_ = "0,0";
};

int DecodeCommand::run(CliIo& io, SharedRecords&) {
  int32_t offV = 0;
  int32_t offH = 0;
  parseOffsets(offsets_, offV, offH);  // checked while parsing

  // The program's own decoder and recorder do the work: a Live recording with the given offsets
  // keeps each frame's corrected counts, which we print as they arrive.
  CalibrationSet calibration;
  RepetitionTable repetitions;
  Recording live;
  live.mode = RecordingMode::Live;
  live.offsetVertical = offV;
  live.offsetHorizontal = offH;
  SampleRecorder recorder(calibration, repetitions);
  recorder.setActive(&live);

  // A byte completes a frame exactly when the decoder expects position 3 and the tag matches; the
  // live values then hold that frame's corrected counts.
  FrameDecoder decoder(recorder);
  char buffer[4096];
  while (io.in) {
    io.in.read(buffer, sizeof buffer);
    const std::streamsize got = io.in.gcount();
    for (std::streamsize i = 0; i < got; ++i) {
      const uint8_t byte = static_cast<uint8_t>(buffer[i]);
      const bool completes = decoder.position() == 3 && (byte & 0xC0) == 0x80;
      decoder.feedByte(byte);
      if (completes)
        printFrame(io.out, live.liveVertical.load(std::memory_order_relaxed),
                   live.liveHorizontal.load(std::memory_order_relaxed));
    }
  }
  io.out.flush();
  return kExitOk;
}

const CliRegistration registration{{"decode", "decode a plate byte stream from standard input",
                                    "Reads the plate's bytes from standard input and prints one line \"V H\" per "
                                    "decoded frame:\nthe raw counts, or the counts minus the offsets.",
                                    makeCommand<DecodeCommand>}};

}  // namespace
}  // namespace velkora::cli
