// Arbitrary bytes as a configuration file: never crashes, never reads past the input, and a complete
// file with the right tag yields the same bytes when written again, but for a curve choice outside
// 0..5, which is read as its default.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "storage/binary_io.h"
#include "storage/configuration_file.h"

namespace {

constexpr size_t kCurveChoiceOffset = 32;  // y1Parameter, then y2Parameter

// The file's bytes as the program writes them back: an unusable curve choice becomes its default.
std::string expectedImage(std::string_view file) {
  std::string image(file.substr(0, velkora::kConfigurationSize));
  const velkora::GraphSettings defaults;
  const int32_t fallback[2] = {defaults.y1Parameter, defaults.y2Parameter};
  for (int k = 0; k < 2; ++k) {
    const size_t at = kCurveChoiceOffset + 4 * static_cast<size_t>(k);
    const int32_t value = velkora::loadI32(reinterpret_cast<const uint8_t*>(image.data() + at));
    if (value >= 0 && value <= 5) continue;
    std::string bytes;
    velkora::ByteWriter(bytes).i32(fallback[k]);
    image.replace(at, 4, bytes);
  }
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velkora;
  AppSettings app;
  CalibrationSet calibration;
  GraphSettings graph;
  CollectingMessageSink messages;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool complete = applyConfiguration(bytes, {app, calibration, graph}, messages);
  if (messages.messages.size() > 2) std::abort();
  if (graph.y1Parameter < 0 || graph.y1Parameter > 5 || graph.y2Parameter < 0 || graph.y2Parameter > 5) std::abort();
  if (complete && size >= kConfigurationSize && bytes.substr(0, 12) == kConfigurationTag) {
    if (encodeConfiguration(app, calibration, graph) != expectedImage(bytes)) std::abort();
  }
  return 0;
}
