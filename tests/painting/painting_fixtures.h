#pragma once
// Recordings and image comparisons for the painting tests. Recordings come from the simulated plate's
// pure functions, so every run draws the same picture.

#include <time.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "acquisition/measurement_store.h"
#include "acquisition/simulated_plate.h"

namespace velkora::testing {

// `samples` samples of a scenario as the recorder stores them: counts less the plate's offsets, with
// the plate's own calibration.
inline std::unique_ptr<MeasurementStore> simulatedStore(const Scenario& scenario, int32_t samples, TestKind kind) {
  auto store = std::make_unique<MeasurementStore>();
  const PlateModel model;
  const SimulatedPlate plate(scenario, model);
  for (int32_t i = 0; i < samples; ++i) {
    int32_t vertical = 0, horizontal = 0;
    plate.counts(i, vertical, horizontal);
    store->channels.vertical[i] = vertical - model.offsetVertical;
    store->channels.horizontal[i] = horizontal - model.offsetHorizontal;
  }
  store->calibration =
      CalibrationSet{static_cast<float>(model.offsetVertical), static_cast<float>(model.offsetHorizontal),
                     static_cast<float>(model.coefficientVertical), static_cast<float>(model.coefficientHorizontal)};
  store->sampleCount = samples;
  store->testKind = kind;
  store->recordingAvailable = 1;
  store->testTime = 1700000000;
  return store;
}

inline Scenario jumpScenario() {
  Scenario jump;
  jump.kind = ScenarioKind::Jump;
  return jump;
}

// Many pushes with horizontal force: a busy full-length recording.
inline Scenario pushesScenario(int32_t count) {
  Scenario pushes;
  pushes.kind = ScenarioKind::Pushes;
  pushes.count = count;
  pushes.peak = 1500;
  pushes.horizontal = 600;
  pushes.duration = 700;
  pushes.pause = 300;
  return pushes;
}

// Local time is UTC while it lives, so the date line of a picture is the same on every machine.
class UtcTime {
 public:
  UtcTime() {
    if (const char* tz = std::getenv("TZ")) old_ = tz;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  ~UtcTime() {
    if (old_)
      ::setenv("TZ", old_->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  UtcTime(const UtcTime&) = delete;
  UtcTime& operator=(const UtcTime&) = delete;

 private:
  std::optional<std::string> old_;
};

// Saves an image under $VELKORA_TEST_IMAGES (when set) for a person to look at.
inline void keepImage(const QImage& image, const QString& name) {
  if (const char* dir = std::getenv("VELKORA_TEST_IMAGES")) image.save(QString::fromUtf8(dir) + "/" + name);
}

// Differences between two images of the same size.
struct ImageDifference {
  int64_t differing = 0;    // pixels whose colours differ by more than the tolerance in any channel
  int64_t unexplained = 0;  // of those, pixels whose colour the other image has nowhere within one pixel
};

inline bool closeColours(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

inline ImageDifference compareImages(const QImage& first, const QImage& second, int tolerance) {
  ImageDifference result;
  const QImage a = first.convertToFormat(QImage::Format_RGB32);
  const QImage b = second.convertToFormat(QImage::Format_RGB32);
  if (a.size() != b.size()) {
    result.differing = result.unexplained = static_cast<int64_t>(a.width()) * a.height() + 1;
    return result;
  }
  const auto nearby = [&](const QImage& image, int x, int y, QRgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) {
        const int nx = x + dx, ny = y + dy;
        if (nx >= 0 && ny >= 0 && nx < image.width() && ny < image.height() &&
            closeColours(image.pixel(nx, ny), colour, tolerance))
          return true;
      }
    return false;
  };
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb pa = a.pixel(x, y), pb = b.pixel(x, y);
      if (closeColours(pa, pb, tolerance)) continue;
      ++result.differing;
      if (!nearby(b, x, y, pa) || !nearby(a, x, y, pb)) ++result.unexplained;
    }
  }
  return result;
}

// Pixels of an image that are not white.
inline int64_t inkPixels(const QImage& image, const QRect& area) {
  int64_t ink = 0;
  const QRect inside = area.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x)
      if (image.pixel(x, y) != qRgb(255, 255, 255)) ++ink;
  return ink;
}

}  // namespace velkora::testing
