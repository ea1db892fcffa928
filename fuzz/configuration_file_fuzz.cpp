// Arbitrary bytes as a configuration file: never crashes, never reads past the input, and a complete
// file with the right tag always yields the same bytes when written again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "storage/configuration_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velkora;
  AppSettings app;
  CalibrationSet calibration;
  GraphSettings graph;
  CollectingMessageSink messages;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool complete = applyConfiguration(bytes, {app, calibration, graph}, messages);
  if (messages.messages.size() > 2) std::abort();
  if (complete && size >= kConfigurationSize && bytes.substr(0, 12) == kConfigurationTag) {
    if (encodeConfiguration(app, calibration, graph) != bytes.substr(0, kConfigurationSize)) std::abort();
  }
  return 0;
}
