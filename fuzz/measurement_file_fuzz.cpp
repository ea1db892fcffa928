// Arbitrary bytes as a measurement file: never crashes, never reads past the input, never allocates
// more than the input can justify, and whatever it accepts is written back in a form that reads the
// same again (the second write equals the first).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "storage/measurement_file.h"

namespace {

using namespace velkora;

// Reused between inputs: the record and the store hold full channels.
struct Buffers {
  std::unique_ptr<MeasurementRecord> record = std::make_unique<MeasurementRecord>();
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  SubjectInfo subject;
};

std::string rewrite(std::string_view bytes, Buffers& b) {
  if (decodeMeasurement(bytes, *b.record) != DecodeStatus::Ok) std::abort();
  applyMeasurement(*b.record, *b.store, b.subject);
  return encodeMeasurement(*b.store, b.subject);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Buffers buffers;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (decodeMeasurement(bytes, *buffers.record) != DecodeStatus::Ok) return 0;
  const std::string first = rewrite(bytes, buffers);
  if (first.size() > size + 2 * size + 64) std::abort();  // wide text at most doubles, prefixes grow a little
  const std::string second = rewrite(first, buffers);
  if (second != first) std::abort();
  return 0;
}
