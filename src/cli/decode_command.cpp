// velkora-cli decode: the plate byte stream on stdin, one "V H" line per decoded frame.

#include <cstdio>
#include <istream>
#include <ostream>
#include <string>

#include "acquisition/frame_decoder.h"
#include "cli/cli_command.h"

namespace velkora::cli {
namespace {

void printFrame(std::ostream& out, int32_t v, int32_t h) {
  char line[32];
  const int len = std::snprintf(line, sizeof line, "%d %d\n", static_cast<int>(v), static_cast<int>(h));
  out.write(line, len);
}

bool parseOffsets(const std::string& text, int32_t& v, int32_t& h) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return false;
  long long a = 0;
  long long b = 0;
  if (!parseInt(std::string_view(text).substr(0, comma), a) || !parseInt(std::string_view(text).substr(comma + 1), b))
    return false;
  if (a < -100000 || a > 100000 || b < -100000 || b > 100000) return false;
  v = static_cast<int32_t>(a);
  h = static_cast<int32_t>(b);
  return true;
}

int runDecode(const std::vector<std::string>& args, CliIo& io) {
  int32_t offV = 0;
  int32_t offH = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string value;
    bool missing = false;
    if (takeOption(args, i, "--offsets", value, missing)) {
      if (missing || !parseOffsets(value, offV, offH)) {
        io.err << "velkora-cli decode: --offsets needs two integers V,H\n";
        return kExitUsage;
      }
      continue;
    }
    io.err << "velkora-cli decode: unexpected argument '" << args[i] << "'\n";
    return kExitUsage;
  }

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

const CliRegistration registration{{"decode", "[--offsets V,H] < BYTES",
                                    "decode a plate byte stream from standard input: one line \"V H\" per frame, "
                                    "raw counts or counts minus the offsets",
                                    runDecode}};

}  // namespace
}  // namespace velkora::cli
