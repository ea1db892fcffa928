#pragma once
// Measurement files: the current test and the subject, in one layout for both kinds of test.
//
// Fields in order: tag "Velkora_V1.1" (string), name (string), sex, height, weight (int32), comments
// 1 to 3 (strings), body weight (float32), the recording's calibration (4 x float32), sample count N
// (int32), N + 1 pairs of vertical and horizontal samples (int32), repetition count M (int32), M rows
// of peak and mean vertical and horizontal force (4 x int32), start time (int32). Little-endian.
// The pair at index N is a spare one past the data; a full recording (N = 61000) writes zeros there.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "acquisition/measurement_store.h"
#include "app/messages.h"
#include "storage/subject_info.h"

namespace velkora {

inline constexpr std::string_view kMeasurementTag = "Velkora_V1.1";
inline constexpr std::string_view kForceFileExtension = ".vkr";
inline constexpr std::string_view kForceFileFilter = "Velkora Files (*.vkr)|*.vkr||";
inline constexpr std::string_view kPowerFileExtension = ".tsr";
inline constexpr std::string_view kPowerFileFilter = "Tamsiro Files (*.tsr)|*.tsr||";

// The kind of test a file name says: a name ending in ".tsr" in any letter case is a power test, any
// other a force test.
TestKind testKindForFileName(std::string_view path);

// Everything a file holds, read completely before any of it reaches the program's records.
// Large (two full channels): allocate it on the heap.
struct MeasurementRecord {
  SubjectInfo subject;  // age is not in the file and stays 0 here
  float bodyWeight = 0.0f;
  CalibrationSet calibration;
  int32_t sampleCount = 0;
  SampleBuffer samples;  // entries 0..sampleCount-1
  int32_t spareVertical = 0;
  int32_t spareHorizontal = 0;  // the pair at index sampleCount
  int32_t repetitionCount = 0;
  int32_t peakVertical[kMaxRepetitions] = {};
  int32_t meanVertical[kMaxRepetitions] = {};
  int32_t peakHorizontal[kMaxRepetitions] = {};
  int32_t meanHorizontal[kMaxRepetitions] = {};
  int32_t testTime = 0;
};

enum class DecodeStatus {
  Ok,
  Truncated,   // the bytes end before the last field
  WrongTag,    // not "Velkora_V1.1", exactly
  OutOfRange,  // N outside 0..61000 or M outside 0..25
};

// The file's bytes for the store and the subject. N is taken from the store's sampleCount and M from
// its repetition rows, both kept within the capacity.
std::string encodeMeasurement(const MeasurementStore& store, const SubjectInfo& subject);

// Parses a whole file. Bytes after the last field are ignored. `record` is meaningful only for Ok.
DecodeStatus decodeMeasurement(std::string_view bytes, MeasurementRecord& record);

// Replaces the store's data and the subject (all but the age) with a decoded record and marks the
// store as a saved, available recording whose jump analysis has not run.
void applyMeasurement(const MeasurementRecord& record, MeasurementStore& store, SubjectInfo& subject);

// Writes the file atomically: a failed save leaves any previous file as it was. Shows "File Save
// Error" on failure, with the reason in `error` (optional); on success the store counts as saved.
bool saveMeasurement(const std::string& path, MeasurementStore& store, const SubjectInfo& subject,
                     MessageSink& messages, std::error_code* error = nullptr);

// Reads the whole file and changes the store and the subject only when every field was there and
// valid. `kind` is the kind of test the file is opened as (Open Force or Open Power); it becomes the
// store's test kind only with a successful load, and a power test's jump analysis runs on the data.
// Anything but a regular file shows "Error opening file"; `openError` (optional) receives the reason
// a file could not be opened or read.
bool loadMeasurement(const std::string& path, TestKind kind, MeasurementStore& store, SubjectInfo& subject,
                     MessageSink& messages, std::error_code* openError = nullptr);

}  // namespace velkora
