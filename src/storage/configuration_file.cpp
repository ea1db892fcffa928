#include "storage/configuration_file.h"

#include <algorithm>
#include <cstring>

#include "storage/binary_io.h"

namespace velkora {
namespace {

constexpr size_t kPortBlock = 4;
constexpr size_t kCalibrationBlock = 16;
constexpr size_t kGraphBlock = 92;
constexpr size_t kForceTestBlock = 12;
constexpr size_t kPowerTestBlock = 4;

void encodePort(ByteWriter& w, const AppSettings& app) { w.i32(app.portIndex); }

void encodeCalibration(ByteWriter& w, const CalibrationSet& c) {
  w.f32(c.offsetVertical);
  w.f32(c.offsetHorizontal);
  w.f32(c.coefficientVertical);
  w.f32(c.coefficientHorizontal);
}

void encodeGraph(ByteWriter& w, const GraphSettings& g) {
  w.i32(g.y1Parameter);
  w.i32(g.y2Parameter);
  for (int32_t v : g.axisMin) w.i32(v);
  for (int32_t v : g.axisMax) w.i32(v);
  for (int32_t v : g.axisStep) w.i32(v);
}

void encodeForceTest(ByteWriter& w, const AppSettings& app) {
  w.i32(app.forceTestValue);
  w.i32(app.startForce);
  w.i32(app.forceTestMode);
}

void encodePowerTest(ByteWriter& w, const AppSettings& app) { w.i32(app.powerTestTime); }

void decodePort(const uint8_t* p, AppSettings& app) { app.portIndex = loadI32(p); }

void decodeCalibration(const uint8_t* p, CalibrationSet& c) {
  c.offsetVertical = loadF32(p);
  c.offsetHorizontal = loadF32(p + 4);
  c.coefficientVertical = loadF32(p + 8);
  c.coefficientHorizontal = loadF32(p + 12);
}

void decodeGraph(const uint8_t* p, GraphSettings& g) {
  g.y1Parameter = loadI32(p);
  g.y2Parameter = loadI32(p + 4);
  p += 8;
  for (int32_t& v : g.axisMin) v = loadI32(p), p += 4;
  for (int32_t& v : g.axisMax) v = loadI32(p), p += 4;
  for (int32_t& v : g.axisStep) v = loadI32(p), p += 4;
  // A choice outside the parameters 0..5 would index past the axis tables: back to the default.
  const GraphSettings defaults;
  if (g.y1Parameter < 0 || g.y1Parameter > 5) g.y1Parameter = defaults.y1Parameter;
  if (g.y2Parameter < 0 || g.y2Parameter > 5) g.y2Parameter = defaults.y2Parameter;
}

void decodeForceTest(const uint8_t* p, AppSettings& app) {
  app.forceTestValue = loadI32(p);
  app.startForce = loadI32(p + 4);
  app.forceTestMode = loadI32(p + 8);
}

void decodePowerTest(const uint8_t* p, AppSettings& app) { app.powerTestTime = loadI32(p); }

// Reads one block into the live settings: the bytes present replace the leading bytes of the
// block's current image, the rest of the image keeps the current values. Returns whether the whole
// block was there.
template <typename Encode, typename Decode>
bool readBlock(ByteReader& reader, size_t length, Encode encode, Decode decode) {
  std::string image;
  ByteWriter writer(image);
  encode(writer);
  const size_t present = std::min(length, reader.remaining());
  reader.bytes(image.data(), present);
  decode(reinterpret_cast<const uint8_t*>(image.data()));
  return present == length;
}

}  // namespace

bool looksUncalibrated(float coefficient) { return coefficient > 0.999999f && coefficient < 1.00001f; }

std::string encodeConfiguration(const AppSettings& app, const CalibrationSet& calibration, const GraphSettings& graph) {
  std::string out;
  out.reserve(kConfigurationSize);
  ByteWriter w(out);
  w.bytes(kConfigurationTag.data(), kConfigurationTag.size());
  encodePort(w, app);
  encodeCalibration(w, calibration);
  encodeGraph(w, graph);
  encodeForceTest(w, app);
  encodePowerTest(w, app);
  return out;
}

bool applyConfiguration(std::string_view fileBytes, ConfigurationTarget t, MessageSink& messages) {
  ByteReader reader(fileBytes);
  const bool tagMatches = fileBytes.size() >= kConfigurationTag.size() &&
                          fileBytes.substr(0, kConfigurationTag.size()) == kConfigurationTag;
  if (tagMatches) {
    reader.skip(kConfigurationTag.size());
    // A short block ends the load at once, silently, keeping what was read so far.
    if (!readBlock(
            reader, kPortBlock, [&](ByteWriter& w) { encodePort(w, t.app); },
            [&](const uint8_t* p) { decodePort(p, t.app); }))
      return false;
    if (!readBlock(
            reader, kCalibrationBlock, [&](ByteWriter& w) { encodeCalibration(w, t.calibration); },
            [&](const uint8_t* p) { decodeCalibration(p, t.calibration); }))
      return false;
    if (!readBlock(
            reader, kGraphBlock, [&](ByteWriter& w) { encodeGraph(w, t.graph); },
            [&](const uint8_t* p) { decodeGraph(p, t.graph); }))
      return false;
    if (!readBlock(
            reader, kForceTestBlock, [&](ByteWriter& w) { encodeForceTest(w, t.app); },
            [&](const uint8_t* p) { decodeForceTest(p, t.app); }))
      return false;
    if (!readBlock(
            reader, kPowerTestBlock, [&](ByteWriter& w) { encodePowerTest(w, t.app); },
            [&](const uint8_t* p) { decodePowerTest(p, t.app); }))
      return false;
  }

  if (looksUncalibrated(t.calibration.coefficientVertical) || looksUncalibrated(t.calibration.coefficientHorizontal)) {
    messages.showMessage(msg::kMakeNewCalibration);
  }
  if (!tagMatches) messages.showMessage(msg::kIncompatibleData);
  return true;  // a tag mismatch is reported, not returned
}

bool loadConfiguration(const std::string& path, ConfigurationTarget target, MessageSink& messages,
                       std::error_code* openError) {
  std::string bytes;
  // Only the first 140 bytes mean anything; read a little more than that at most.
  if (!readWholeFile(path, bytes, kConfigurationSize, openError)) {
    messages.showMessage(msg::kConfigOpenError);
    return false;
  }
  if (bytes.size() > kConfigurationSize) bytes.resize(kConfigurationSize);
  return applyConfiguration(bytes, target, messages);
}

bool saveConfiguration(const std::string& path, const AppSettings& app, const CalibrationSet& calibration,
                       const GraphSettings& graph, std::error_code* error) {
  return writeFileAtomically(path, encodeConfiguration(app, calibration, graph), error);
}

}  // namespace velkora
