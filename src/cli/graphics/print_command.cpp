// velkora-cli print: the printed pages of a measurement file, as the program prints what its view
// shows (the curve graph, the bar graph or a report), into a PDF on A4, or its first page as a PNG.

#include <CLI/CLI.hpp>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QSizeF>
#include <cmath>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_files.h"
#include "cli/cli_options.h"
#include "cli/curve_choice.h"
#include "cli/graphics/offscreen_gui.h"
#include "cli/graphics/picture_output.h"
#include "model/command_ids.h"
#include "model/settings.h"
#include "painting/graph_files.h"
#include "painting/page_printing.h"
#include "painting/graph_fonts.h"
#include "reports/report_table.h"
#include "view/print_page.h"
#include "view/view_state.h"

namespace velkora::cli {
namespace {

// The first page as a PNG: A4 with its margins of 10 mm, as in the PDF, at this resolution.
constexpr double kPageImageDotsPerInch = 150.0;
constexpr double kPaperWidthMm = 210.0;
constexpr double kPaperHeightMm = 297.0;
constexpr double kMarginMm = 10.0;

int pagePixels(double millimetres) { return static_cast<int>(std::lround(millimetres * kPageImageDotsPerInch / 25.4)); }

QImage firstPageImage(const PrintDocument& document) {
  // The printable area with the right margin beside it: text that a column of the layout pushes past
  // the area stays visible, as it does on paper.
  const QImage printable =
      pageImage(document, 0, kPageImageDotsPerInch, QSizeF(kPaperWidthMm - kMarginMm, kPaperHeightMm - 2 * kMarginMm));
  QImage page(pagePixels(kPaperWidthMm), pagePixels(kPaperHeightMm), QImage::Format_RGB32);
  page.setDotsPerMeterX(printable.dotsPerMeterX());
  page.setDotsPerMeterY(printable.dotsPerMeterY());
  page.fill(Qt::white);
  QPainter painter(&page);
  painter.drawImage(QPoint(pagePixels(kMarginMm), pagePixels(kMarginMm)), printable);
  painter.end();
  return page;
}

struct PrintedView {
  std::string_view name;
  DisplayMode mode;
  int32_t command;         // the program's command that shows it, whose enabling rule applies
  std::string_view needs;  // why that command may be disabled
};

constexpr PrintedView kViews[] = {
    {"curve", DisplayMode::CurveGraph, cmd::kCurveGraph, "the curve graph needs a recording"},
    {"bars", DisplayMode::BarGraph, cmd::kBarGraph, "the bar graph needs a force test with repetitions"},
    {"digital", DisplayMode::DigitalReport, cmd::kDigitalReport, "the digital report needs a recording"},
    {"repetition", DisplayMode::RepetitionReport, cmd::kRepetitionReport,
     "the repetition report needs a recording with repetitions"},
    {"summary", DisplayMode::SummaryReport, cmd::kSummaryReport,
     "the summary report needs a power test (a .tsr file or --kind power)"},
    {"height", DisplayMode::HeightReport, cmd::kHeightReport,
     "the height report needs a power test (a .tsr file or --kind power)"},
};

const PrintedView* findView(std::string_view name) {
  for (const PrintedView& view : kViews)
    if (view.name == name) return &view;
  return nullptr;
}

class PrintCommand final : public CliCommand {
 public:
  void define(CLI::App& command) override;
  int run(CliIo& io, SharedRecords& records) override;

 private:
  // Options that belong to other views; kExitOk when there are none.
  int checkOptionsFitTheView(CliIo& io) const;

  std::string path_;
  const PrintedView* view_ = &kViews[0];
  CLI::Option* intervalOption_ = nullptr;
  int32_t interval_ = 1;
  CurveChoice curve_;
  std::string output_;
  std::optional<TestKind> testKind_;
};

void PrintCommand::define(CLI::App& command) {
  addFileArgument(command, path_);
  command
      .add_option_function<std::string>(
          "--view",
          [this](const std::string& text) {
            if (const PrintedView* view = findView(text)) view_ = view;
          },
          "what the program's view shows when it prints")
      ->required()
      ->type_name("curve|bars|digital|repetition|summary|height")
      ->check(CLI::IsMember({"curve", "bars", "digital", "repetition", "summary", "height"}).description(""));
  intervalOption_ = command
                        .add_option("--interval", interval_,
                                    "digital and repetition reports: rows of K samples (or repetitions); default 1")
                        ->type_name("K")
                        ->transform(wholeNumber(1, INT32_MAX));
  curve_.define(command, RangeRole::Window);
  command
      .add_option("--output", output_, "the PDF to write (every page, A4), or a PNG of the first page (A4 at 150 dpi)")
      ->required()
      ->type_name("OUT.pdf|OUT.png")
      ->check(outputFormats({ImageFileFormat::Pdf, ImageFileFormat::Png}));
  addKindOption(command, testKind_);
}

int PrintCommand::checkOptionsFitTheView(CliIo& io) const {
  const bool intervals = view_->mode == DisplayMode::DigitalReport || view_->mode == DisplayMode::RepetitionReport;
  if (intervalOption_->count() > 0 && !intervals)
    return usageError("print", "--interval needs --view digital or --view repetition", io);
  if (curve_.given() && view_->mode != DisplayMode::CurveGraph)
    return usageError("print", std::string(curve_.firstGivenName()) + " needs --view curve", io);
  return kExitOk;
}

int PrintCommand::run(CliIo& io, SharedRecords& records) {
  if (const int usage = checkOptionsFitTheView(io); usage != kExitOk) return usage;
  if (outputIsInput("print", path_, output_, io)) return kExitFailure;
  MeasurementStore& store = records.store;
  const SubjectInfo& subject = records.subject;
  if (!loadForCli(path_, testKind_, records, io)) return kExitFailure;
  if (!viewCommandEnabled(view_->command, store)) {
    io.err << "velkora-cli print: " << view_->needs << '\n';
    return kExitFailure;
  }

  const GraphSettings settings;  // the axes of a fresh installation
  PrintDocument document{store, settings, subject.name};
  DigitalReport report;
  ViewState state;
  switch (view_->mode) {
    case DisplayMode::CurveGraph: {
      const std::optional<CurveGraphView> curve = curve_.resolve(store, "print", io);
      if (!curve) return kExitUsage;
      document.content = PageContent::CurveGraph;
      document.curve = *curve;
      break;
    }
    case DisplayMode::BarGraph:
      document.content = PageContent::BarGraph;
      document.bars = openedBarView();
      break;
    default:
      // The report as the program's list shows it, at the interval of the report bar's list.
      if (!state.enterReport(view_->mode, store)) {
        io.err << "velkora-cli print: " << view_->needs << '\n';
        return kExitFailure;
      }
      state.intervalChoice = interval_ - 1;
      state.buildReport(store, report);
      document.content = PageContent::Report;
      document.report = &report;
      break;
  }

  if (!outputWritable(output_, io)) return kExitFailure;
  OffscreenGui gui;
  if (!textFontLoads("print", paperFont(), io)) return kExitFailure;
  if (imageFileFormat(output_) == ImageFileFormat::Png)
    return writePngFile(firstPageImage(document), output_, io) ? kExitOk : kExitFailure;
  std::string error;
  if (!writePrintedPdf(output_, document, error)) return writeFailed(error, io);
  return kExitOk;
}

const CliRegistration registration{
    {"print", "print the curve graph, the bar graph or a report into a PDF",
     "Prints FILE as the program prints its view, onto A4 with margins of 10 mm: the title box (\"Orvel Force\n"
     "- Graph report\", ...), the name and date lines, then the cursor readouts and the curve graph (curve),\n"
     "the bar graph with the first repetition highlighted (bars), or the report as a ruled table (digital,\n"
     "repetition, summary, height); a long report continues on further pages with the titles repeated. The\n"
     "curve graph shows the samples A .. B (default the whole recording) with the cursors on the window's\n"
     "ends, parameters as for plot; K is the report's interval (default 1). The bar graph and the repetition\n"
     "report need repetitions, the summary and height reports a power test. Report numbers follow LC_NUMERIC.\n"
     "OUT.pdf holds every page; OUT.png is the first page, A4 at 150 dpi. The output may not be FILE.",
     makeCommand<PrintCommand>}};

}  // namespace
}  // namespace velkora::cli
