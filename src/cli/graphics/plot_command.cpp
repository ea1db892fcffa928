// velkora-cli plot: the curve graph or the repetition bar graph of a measurement file as the program's
// screen shows it, into a PNG, SVG or PDF picture, drawn by the program's own graph code.

#include <CLI/CLI.hpp>
#include <QSize>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "cli/curve_choice.h"
#include "cli/graphics/offscreen_gui.h"
#include "cli/graphics/picture_output.h"
#include "model/settings.h"
#include "painting/graph_files.h"
#include "painting/graph_fonts.h"
#include "view/bar_graph.h"
#include "view/screen_layout.h"

namespace velkora::cli {
namespace {

class PlotCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override;
  int run(CliIo& io, SharedRecords& records) override;

 private:
  std::string path_;
  std::string output_;
  CurveChoice curve_;
  bool bars_ = false;
  QSize size_{kBaseViewWidth, kBaseViewHeight};
  std::optional<TestKind> testKind_;
};

void PlotCommand::define(CLI::App& command) {
  addFileArgument(command, path_);
  command.add_option("--output", output_, "the picture to write; its extension chooses the format")
      ->required()
      ->type_name("OUT.png|OUT.svg|OUT.pdf")
      ->check(outputFormats({ImageFileFormat::Png, ImageFileFormat::Svg, ImageFileFormat::Pdf}));
  curve_.define(command, RangeRole::Window);
  CLI::Option* bars = command.add_flag("--bars", bars_, "the repetition bar graph instead of the curve graph");
  for (CLI::Option* curveOption : {curve_.firstOption(), curve_.lastOption(), curve_.y1Option(), curve_.y2Option()})
    bars->excludes(curveOption);
  command
      .add_option_function<std::string>(
          "--size", [this](const std::string& text) { parsePictureSize(text, size_); },
          "the screen size in pixels (default 740x400; a larger view widens the graph)")
      ->type_name("WxH")
      ->check(pictureSize());
  addKindOption(command, testKind_);
}

int PlotCommand::run(CliIo& io, SharedRecords& records) {
  if (outputIsInput("plot", path_, output_, io)) return kExitFailure;
  MeasurementStore& store = records.store;
  const SubjectInfo& subject = records.subject;
  if (!loadForCli(path_, testKind_, records, io)) return kExitFailure;
  const GraphSettings settings;  // the axes of a fresh installation

  if (bars_) {
    if (!barGraphOffered(store)) {
      io.err << "velkora-cli plot: the bar graph needs a force test with repetitions\n";
      return kExitFailure;
    }
    const BarGraphView view = openedBarView();
    if (!outputWritable(output_, io)) return kExitFailure;
    OffscreenGui gui;
    if (!textFontLoads("plot", screenFont(), io)) return kExitFailure;
    std::string error;
    if (!writeBarGraphFile(output_, size_, store, subject.name, settings, view, error)) return writeFailed(error, io);
    return kExitOk;
  }

  const std::optional<CurveGraphView> view = curve_.resolve(store, "plot", io);
  if (!view) return kExitUsage;
  if (!outputWritable(output_, io)) return kExitFailure;
  OffscreenGui gui;
  if (!textFontLoads("plot", screenFont(), io)) return kExitFailure;
  std::string error;
  if (!writeCurveGraphFile(output_, size_, store, subject.name, settings, *view, error)) return writeFailed(error, io);
  return kExitOk;
}

const CliRegistration registration{
    {"plot", "draw the curve graph or the bar graph into a PNG, SVG or PDF picture",
     "Draws what the program's screen shows of FILE into a picture of WxH pixels: the header with the name and\n"
     "the date, the cursor readouts and the curve graph, or with --bars the repetition bar graph with the\n"
     "first repetition highlighted. The curve graph shows the samples A .. B (default the whole recording)\n"
     "with the cursors XL and XR on the window's ends; A must be below B and both within 0 .. the end of the\n"
     "recording (its sample count, at most 60999). The parameters P (0 F vertical, 1 F horizontal, 2 F\n"
     "vector, 3 v, 4 h, 5 P) default to 0 and 1, for a power test 0 and 3; the axes are those of a fresh\n"
     "installation; a power test shows the phases of its jump (onset, braking, propulsion, take-off,\n"
     "touch-down, end of the landing) as shaded bands with labelled lines. The bar graph needs a force test\n"
     "with repetitions. The extension of OUT chooses PNG, SVG\n"
     "or PDF (one page of the picture's size); the file is replaced only when complete and may not be FILE.",
     makeCommand<PlotCommand>}};

}  // namespace
}  // namespace velkora::cli
