#pragma once
// The 140-byte configuration file: a 12-byte version tag, then five blocks that are exact
// little-endian images of the port index, the plate's calibration, the graph settings, the force-test
// parameters and the power-test time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

#include "model/measurement_records.h"
#include "model/messages.h"
#include "model/settings.h"

namespace velkora {

inline constexpr std::string_view kConfigurationTag = "Velkora_V1.0";
inline constexpr std::string_view kConfigurationFileName = "velkora.cfg";
inline constexpr size_t kConfigurationSize = 140;

// The live settings the file is read into and written from.
struct ConfigurationTarget {
  AppSettings& app;
  CalibrationSet& calibration;  // the plate's calibration
  GraphSettings& graph;
};

// The exact file image of the settings.
std::string encodeConfiguration(const AppSettings& app, const CalibrationSet& calibration, const GraphSettings& graph);

// Applies a file's bytes to the live settings with the loader's rules and messages (see
// loadConfiguration). Returns false only when a block was cut short.
bool applyConfiguration(std::string_view fileBytes, ConfigurationTarget target, MessageSink& messages);

// Reads the file into the live settings. A missing file shows the "make new calibration" error and
// keeps every setting. A wrong tag keeps every setting, warns about the calibration when the
// coefficients look uncalibrated and reports "Incompatible data", yet counts as success. A block cut
// short overlays the bytes that are there and fails silently. At most one calibration warning.
// Anything but a regular file counts as a file that cannot be opened; `openError` (optional) receives
// the reason a file could not be opened or read.
bool loadConfiguration(const std::string& path, ConfigurationTarget target, MessageSink& messages,
                       std::error_code* openError = nullptr);

// Writes the file atomically: a failed save leaves the previous file intact. No message on failure;
// `error` (optional) receives the reason.
bool saveConfiguration(const std::string& path, const AppSettings& app, const CalibrationSet& calibration,
                       const GraphSettings& graph, std::error_code* error = nullptr);

// True when a coefficient lies strictly inside the single-precision interval that an uncalibrated
// plate (coefficient 1.0) falls into.
bool looksUncalibrated(float coefficient);

}  // namespace velkora
