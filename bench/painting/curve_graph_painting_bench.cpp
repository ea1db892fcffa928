// A full redraw of the curve graph of a 61000-sample recording into plotArea on an offscreen raster
// image: drawn per pixel column as the program does, and one line per sample and curve for comparison.
// Also the whole screen (header, readouts, graph) and the 100 ms tick of a running test.
#include <QImage>
#include <QPainter>
#include <memory>

#include "acquisition/simulated_plate.h"
#include "bench_main.h"
#include "painting/qpainter_device_context.h"
#include "view/curve_graph.h"
#include "view/screen_drawing.h"
#include "view/screen_layout.h"

namespace {

using namespace velkora;

// A full recording of the simulated plate: 61 pushes of 1500 N with 600 N horizontal, plate noise.
std::unique_ptr<MeasurementStore> fullRecording() {
  auto store = std::make_unique<MeasurementStore>();
  Scenario pushes;
  pushes.kind = ScenarioKind::Pushes;
  pushes.count = 61;
  pushes.peak = 1500;
  pushes.horizontal = 600;
  pushes.duration = 700;
  pushes.pause = 300;
  const PlateModel model;
  const SimulatedPlate plate(pushes, model);
  for (int32_t i = 0; i < kMaxSamples; ++i) {
    int32_t vertical = 0, horizontal = 0;
    plate.counts(i, vertical, horizontal);
    store->channels.vertical[i] = vertical - model.offsetVertical;
    store->channels.horizontal[i] = horizontal - model.offsetHorizontal;
  }
  store->calibration = CalibrationSet{148.0f, 2048.0f, 1.0f, 1.0f};
  store->sampleCount = kMaxSamples;
  store->recordingAvailable = 1;
  store->testTime = 1700000000;
  return store;
}

CurveGraphView fullWindow() {
  CurveGraphView view;
  view.windowEnd = kMaxSamples - 1;
  view.cursorRight = kMaxSamples - 1;
  return view;
}

void redrawPlot(benchmark::State& state, CurveDrawing drawing) {
  const auto store = fullRecording();
  const GraphSettings settings;
  const CurveGraphView view = fullWindow();
  QImage image(kBaseViewWidth, kBaseViewHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QRect plot(kPlotArea.left - 45, kPlotArea.top - 40, kPlotArea.right - kPlotArea.left + 90,
                   kPlotArea.bottom - kPlotArea.top + 80);
  for (auto _ : state) {
    QPainter painter(&image);
    painter.fillRect(plot, Qt::white);
    QPainterDeviceContext dc(painter);
    const CurveScales scales = drawCurveGraph(dc, kPlotArea, *store, settings, view, drawing);
    benchmark::DoNotOptimize(scales.xScale);
  }
  state.counters["samples"] = kMaxSamples;
}

void BM_CurveGraphRedrawColumns(benchmark::State& state) { redrawPlot(state, CurveDrawing::Columns); }
BENCHMARK(BM_CurveGraphRedrawColumns)->Unit(benchmark::kMillisecond);

void BM_CurveGraphRedrawSegments(benchmark::State& state) { redrawPlot(state, CurveDrawing::Segments); }
BENCHMARK(BM_CurveGraphRedrawSegments)->Unit(benchmark::kMillisecond);

// The view's whole paint at 740 x 400: header, readouts (two sums over 61000 samples) and graph.
void BM_CurveScreenRedraw(benchmark::State& state) {
  const auto store = fullRecording();
  const GraphSettings settings;
  const CurveGraphView view = fullWindow();
  const ScreenLayout layout = screenLayout(kBaseViewWidth, kBaseViewHeight);
  QImage image(kBaseViewWidth, kBaseViewHeight, QImage::Format_RGB32);
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter painter(&image);
    QPainterDeviceContext dc(painter);
    benchmark::DoNotOptimize(drawCurveScreen(dc, layout, *store, "Ann Lee", settings, view).xScale);
  }
}
BENCHMARK(BM_CurveScreenRedraw)->Unit(benchmark::kMillisecond);

// What a 100 ms tick of a running test adds: 100 new samples onto the backing image.
void BM_LiveTick100Samples(benchmark::State& state) {
  const auto store = fullRecording();
  const GraphSettings settings;
  CurveGraphView view = fullWindow();
  view.live = true;
  view.publishedCount = 1;
  QImage image(kBaseViewWidth, kBaseViewHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  CurveScales scales;
  {
    QPainter painter(&image);
    QPainterDeviceContext dc(painter);
    scales = drawCurveGraph(dc, kPlotArea, *store, settings, view);
  }
  int32_t from = 0;
  for (auto _ : state) {
    QPainter painter(&image);
    QPainterDeviceContext dc(painter);
    drawLiveSegments(dc, *store, scales, from, from + 100);
    from = (from + 100) % (kMaxSamples - 200);
  }
}
BENCHMARK(BM_LiveTick100Samples)->Unit(benchmark::kMicrosecond);

}  // namespace

VELKORA_PAINTING_BENCHMARK_MAIN();
