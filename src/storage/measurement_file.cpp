#include "storage/measurement_file.h"

#include <algorithm>

#include "storage/archive_string.h"
#include "storage/binary_io.h"

namespace velkora {
namespace {

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::string_view tail = text.substr(text.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    const char c = tail[i] >= 'A' && tail[i] <= 'Z' ? static_cast<char>(tail[i] - 'A' + 'a') : tail[i];
    if (c != suffix[i]) return false;
  }
  return true;
}

}  // namespace

TestKind testKindForPath(std::string_view path) {
  return endsWithIgnoringCase(path, kPowerFileExtension) ? TestKind::Power : TestKind::Force;
}

bool isMeasurementFileName(std::string_view path) {
  return endsWithIgnoringCase(path, kPowerFileExtension) || endsWithIgnoringCase(path, kForceFileExtension);
}

namespace {

// Far above any file the program writes (about 0.5 MB); a longer file is read only this far.
constexpr size_t kMaxFileBytes = size_t(64) << 20;

constexpr size_t kPairBytes = 8;
constexpr size_t kRowBytes = 16;

DecodeStatus decodeSubject(ByteReader& in, SubjectInfo& subject) {
  if (!readArchiveString(in, subject.name)) return DecodeStatus::Truncated;
  if (!in.i32(subject.sex) || !in.i32(subject.height) || !in.i32(subject.weight)) return DecodeStatus::Truncated;
  for (std::string* comment : {&subject.comment1, &subject.comment2, &subject.comment3})
    if (!readArchiveString(in, *comment)) return DecodeStatus::Truncated;
  return DecodeStatus::Ok;
}

}  // namespace

std::string encodeMeasurement(const MeasurementStore& store, const SubjectInfo& subject) {
  const int32_t n = std::clamp(store.sampleCount.load(std::memory_order_acquire), 0, kMaxSamples);
  const int32_t m = store.repetitions.rows();

  std::string bytes;
  bytes.reserve(256 + subject.name.size() + subject.comment1.size() + subject.comment2.size() +
                subject.comment3.size() + (static_cast<size_t>(n) + 1) * kPairBytes + m * kRowBytes);
  ByteWriter out(bytes);
  writeArchiveString(out, kMeasurementTag);
  writeArchiveString(out, subject.name);
  out.i32(subject.sex);
  out.i32(subject.height);
  out.i32(subject.weight);
  writeArchiveString(out, subject.comment1);
  writeArchiveString(out, subject.comment2);
  writeArchiveString(out, subject.comment3);
  out.f32(store.bodyWeight);
  out.f32(store.calibration.offsetVertical);
  out.f32(store.calibration.offsetHorizontal);
  out.f32(store.calibration.coefficientVertical);
  out.f32(store.calibration.coefficientHorizontal);
  out.i32(n);
  for (int32_t i = 0; i < n; ++i) {
    out.i32(store.channels.vertical[i]);
    out.i32(store.channels.horizontal[i]);
  }
  // The spare pair: there is no channel entry past a full recording.
  out.i32(n < kMaxSamples ? store.channels.vertical[n] : 0);
  out.i32(n < kMaxSamples ? store.channels.horizontal[n] : 0);
  out.i32(m);
  for (int32_t j = 0; j < m; ++j) {
    out.i32(store.repetitions.peakVertical[j]);
    out.i32(store.repetitions.meanVertical[j]);
    out.i32(store.repetitions.peakHorizontal[j]);
    out.i32(store.repetitions.meanHorizontal[j]);
  }
  out.i32(store.testTime);
  return bytes;
}

DecodeStatus decodeMeasurement(std::string_view bytes, MeasurementRecord& record) {
  ByteReader in(bytes);
  std::string tag;
  if (!readArchiveString(in, tag)) return DecodeStatus::Truncated;
  if (tag != kMeasurementTag) return DecodeStatus::WrongTag;

  if (const DecodeStatus s = decodeSubject(in, record.subject); s != DecodeStatus::Ok) return s;
  record.subject.age = 0;

  CalibrationSet& cal = record.calibration;
  if (!in.f32(record.bodyWeight) || !in.f32(cal.offsetVertical) || !in.f32(cal.offsetHorizontal) ||
      !in.f32(cal.coefficientVertical) || !in.f32(cal.coefficientHorizontal))
    return DecodeStatus::Truncated;

  int32_t n;
  if (!in.i32(n)) return DecodeStatus::Truncated;
  if (n < 0 || n > kMaxSamples) return DecodeStatus::OutOfRange;
  const size_t sampleBytes = (static_cast<size_t>(n) + 1) * kPairBytes;
  if (in.remaining() < sampleBytes) return DecodeStatus::Truncated;
  const uint8_t* p = in.current();
  for (int32_t i = 0; i < n; ++i, p += kPairBytes) {
    record.samples.vertical[i] = loadI32(p);
    record.samples.horizontal[i] = loadI32(p + 4);
  }
  record.spareVertical = loadI32(p);
  record.spareHorizontal = loadI32(p + 4);
  record.sampleCount = n;
  in.skip(sampleBytes);

  int32_t m;
  if (!in.i32(m)) return DecodeStatus::Truncated;
  if (m < 0 || m > kMaxRepetitions) return DecodeStatus::OutOfRange;
  for (int32_t j = 0; j < m; ++j) {
    if (!in.i32(record.peakVertical[j]) || !in.i32(record.meanVertical[j]) || !in.i32(record.peakHorizontal[j]) ||
        !in.i32(record.meanHorizontal[j]))
      return DecodeStatus::Truncated;
  }
  record.repetitionCount = m;

  if (!in.i32(record.testTime)) return DecodeStatus::Truncated;
  return DecodeStatus::Ok;
}

void applyMeasurement(const MeasurementRecord& record, MeasurementStore& store, SubjectInfo& subject) {
  const int32_t n = record.sampleCount;
  std::copy_n(record.samples.vertical, n, store.channels.vertical);
  std::copy_n(record.samples.horizontal, n, store.channels.horizontal);
  if (n < kMaxSamples) {
    store.channels.vertical[n] = record.spareVertical;
    store.channels.horizontal[n] = record.spareHorizontal;
  }
  store.sampleCount.store(n, std::memory_order_release);
  store.calibration = record.calibration;

  // Rows before the count that makes them valid.
  RepetitionTable& reps = store.repetitions;
  const int32_t m = record.repetitionCount;
  std::copy_n(record.peakVertical, m, reps.peakVertical);
  std::copy_n(record.meanVertical, m, reps.meanVertical);
  std::copy_n(record.peakHorizontal, m, reps.peakHorizontal);
  std::copy_n(record.meanHorizontal, m, reps.meanHorizontal);
  reps.count.store(m, std::memory_order_release);

  store.bodyWeight = record.bodyWeight;
  store.testTime = record.testTime;

  const int32_t age = subject.age;
  subject = record.subject;
  subject.age = age;

  store.recordingAvailable.store(1, std::memory_order_release);
  store.saved.store(1, std::memory_order_release);
  store.jump.analysed = false;
}

bool writeMeasurementFile(const std::string& path, MeasurementStore& store, const SubjectInfo& subject,
                          MessageSink& messages, std::error_code* error) {
  if (!writeFileAtomically(path, encodeMeasurement(store, subject), error)) {
    messages.showMessage(msg::kFileSaveError);
    return false;
  }
  store.saved.store(1, std::memory_order_release);
  return true;
}

bool readMeasurementFile(const std::string& path, TestKind kind, MeasurementStore& store, SubjectInfo& subject,
                         MessageSink& messages, std::error_code* openError) {
  std::string bytes;
  if (!readWholeFile(path, bytes, kMaxFileBytes, openError)) {
    messages.showMessage(msg::kErrorOpeningFile);
    return false;
  }
  const bool cutByLimit = bytes.size() > kMaxFileBytes;

  auto record = std::make_unique<MeasurementRecord>();
  switch (decodeMeasurement(bytes, *record)) {
    case DecodeStatus::Ok:
      break;
    case DecodeStatus::Truncated:
      // A file too long to read whole is not cut short; it is simply not one of ours.
      messages.showMessage(cutByLimit ? std::string(msg::kIncompatibleData) : formatMessage(msg::kPastEnd, path));
      return false;
    case DecodeStatus::WrongTag:
    case DecodeStatus::OutOfRange:
      messages.showMessage(msg::kIncompatibleData);
      return false;
  }
  applyMeasurement(*record, store, subject);
  store.testKind = kind;
  return true;
}

}  // namespace velkora
