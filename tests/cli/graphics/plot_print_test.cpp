#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/measurement_use_cases.h"
#include "app/program_records.h"
#include "cli/cli_command.h"
#include "cli_process.h"
#include "desktop/measurement_files.h"
#include "painting/graph_files.h"
#include "painting/page_printing.h"
#include "painting/painting_fixtures.h"
#include "reports/digital_reports.h"
#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace velkora::cli {
namespace {

using velkora::testing::CliResult;
using velkora::testing::TempDir;

CliResult run(const std::vector<std::string>& args) { return velkora::testing::runCommandLine(args); }

QImage imageAt(const std::string& path) { return QImage(QString::fromStdString(path)); }

int pdfPages(const std::string& bytes) {
  static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
  return static_cast<int>(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).count(page));
}

// A file as the program opens it, with its subject.
struct Loaded {
  std::unique_ptr<ProgramRecords> records = std::make_unique<ProgramRecords>();
  MeasurementStore* store = &records->store;
  SubjectInfo& subject = records->subject;
};

std::unique_ptr<Loaded> load(const std::string& path, TestKind kind) {
  auto loaded = std::make_unique<Loaded>();
  CollectingMessageSink messages;
  EXPECT_TRUE(openMeasurement(loaded->records->shared(), path, kind, messages)) << path;
  return loaded;
}

class DrawingCommands : public ::testing::Test {
 protected:
  DrawingCommands() {
    auto force = velkora::testing::forceRecording(1000);
    forceFile_ = velkora::testing::saveRecording(*force, dir_.file("pushes.vkr"), "Ann Lee");
    force->repetitions.count = 0;
    noRepetitionsFile_ = velkora::testing::saveRecording(*force, dir_.file("plain.vkr"));
    auto power = velkora::testing::powerRecording();
    powerFile_ = velkora::testing::saveRecording(*power, dir_.file("jump.tsr"));
  }

  velkora::testing::UtcTime utc_;
  TempDir dir_;
  std::string forceFile_, noRepetitionsFile_, powerFile_;
};

// The picture of `plot` is the program's drawing of the view the options describe: the whole recording
// or the window A .. B with the cursors on its ends, the parameters of a freshly opened file or the
// ones chosen, the bar graph with the first repetition highlighted.
TEST_F(DrawingCommands, PlotDrawsTheViewTheOptionsDescribe) {
  const struct {
    const char* name;
    std::string file;
    TestKind kind;
    std::vector<std::string> options;
    bool bars;
    int32_t y1, y2, from, to;
    QSize size;
  } cases[] = {
      {"force defaults", forceFile_, TestKind::Force, {}, false, 0, 1, 0, 1000, QSize(740, 400)},
      {"power defaults", powerFile_, TestKind::Power, {}, false, 0, 3, 0, 3000, QSize(740, 400)},
      {"window and parameters",
       forceFile_,
       TestKind::Force,
       {"--from", "200", "--to", "900", "--y1", "2", "--y2", "0", "--size", "1000x600"},
       false,
       2,
       0,
       200,
       900,
       QSize(1000, 600)},
      {"only the end", powerFile_, TestKind::Power, {"--to=1700", "--y2", "1"}, false, 0, 1, 0, 1700, QSize(740, 400)},
      {"bars", forceFile_, TestKind::Force, {"--bars", "--size", "800x450"}, true, 0, 0, 0, 0, QSize(800, 450)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string output = dir_.file("plot.png");
    std::vector<std::string> args = {"plot", c.file, "--output", output};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliResult r = run(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(r.out + r.err, "");

    const auto loaded = load(c.file, c.kind);
    const GraphSettings settings;
    const std::string expectedPath = dir_.file("expected.png");
    std::string error;
    if (c.bars) {
      ASSERT_TRUE(writeBarGraphFile(expectedPath, c.size, *loaded->store, loaded->subject.name, settings,
                                    BarGraphView{}, error))
          << error;
    } else {
      CurveGraphView view;
      view.y1Shown = c.y1;
      view.y2Shown = c.y2;
      view.windowStart = view.cursorLeft = c.from;
      view.windowEnd = view.cursorRight = c.to;
      ASSERT_TRUE(
          writeCurveGraphFile(expectedPath, c.size, *loaded->store, loaded->subject.name, settings, view, error))
          << error;
    }
    const QImage picture = imageAt(output);
    EXPECT_EQ(picture.size(), c.size);
    EXPECT_TRUE(picture == imageAt(expectedPath));
  }
}

// The real program, as a user runs it (no display, no Qt settings), draws a known recording the same
// as the committed picture: a countermovement jump of the simulated plate from 1 s to 4 s, vertical
// force and velocity. Set VELKORA_UPDATE_REFERENCE=1 to write the picture anew after an intended change
// of the drawing, and look at it before committing.
TEST_F(DrawingCommands, PlotOfAKnownFileMatchesTheReferencePicture) {
  auto jump = velkora::testing::simulatedStore(velkora::testing::jumpScenario(), 5000, TestKind::Power);
  jump->bodyWeight = 75.0f;
  const std::string file = velkora::testing::saveRecording(*jump, dir_.file("known.tsr"), "Ann Lee");
  const std::string output = dir_.file("known.png");
  const CliResult r =
      velkora::testing::runCliProgram({"plot", file, "--from", "1000", "--to", "4000", "--output", output}, dir_);
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  const QImage picture = imageAt(output);
  ASSERT_EQ(picture.size(), QSize(740, 400));
  velkora::testing::keepImage(picture, QStringLiteral("cli_plot_known.png"));

  const QString reference = QStringLiteral(VELKORA_SOURCE_DIR "/tests/cli/graphics/reference/plot_jump.png");
  if (std::getenv("VELKORA_UPDATE_REFERENCE") != nullptr) picture.save(reference);
  const QImage expected(reference);
  ASSERT_FALSE(expected.isNull()) << "missing " << reference.toStdString();
  const velkora::testing::ImageDifference difference = velkora::testing::compareImages(picture, expected, 48);
  // Font engines may place a few text pixels differently; curves, axes and labels may not move.
  EXPECT_LE(difference.differing, 200);
}

TEST_F(DrawingCommands, PlotWritesReadableSvgAndOnePagePdf) {
  const std::string svg = dir_.file("graph.svg");
  CliResult r = run({"plot", forceFile_, "--output", svg, "--from", "100", "--to", "600"});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  QSvgRenderer renderer(QString::fromStdString(svg));
  ASSERT_TRUE(renderer.isValid());
  EXPECT_EQ(renderer.viewBox(), QRect(0, 0, 740, 400));
  const std::string text = velkora::testing::readFile(svg);
  for (const char* shown : {"TIME (ms)", "Name: Ann Lee", "XL: 100", "XR: 600", "F vertical(N)", "F horizontal(N)"})
    EXPECT_NE(text.find(shown), std::string::npos) << shown;
  // Rendered, it carries the blue and red curves (antialiased by the renderer).
  QImage rendered(740, 400, QImage::Format_RGB32);
  rendered.fill(Qt::white);
  QPainter painter(&rendered);
  renderer.render(&painter, QRectF(0, 0, 740, 400));
  painter.end();
  int blue = 0, red = 0;
  for (int y = 150; y < 350; ++y)
    for (int x = 61; x < 680; ++x) {
      const QRgb pixel = rendered.pixel(x, y);
      blue += qBlue(pixel) > qRed(pixel) + 100 && qBlue(pixel) > qGreen(pixel) + 100;
      red += qRed(pixel) > qBlue(pixel) + 100 && qRed(pixel) > qGreen(pixel) + 100;
    }
  EXPECT_GT(blue, 300);
  EXPECT_GT(red, 300);
  velkora::testing::keepImage(rendered, QStringLiteral("cli_plot_svg.png"));

  const std::string pdf = dir_.file("bars.PDF");
  r = run({"plot", forceFile_, "--bars", "--output", pdf});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const std::string bytes = velkora::testing::readFile(pdf);
  EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
  EXPECT_EQ(pdfPages(bytes), 1);
}

TEST_F(DrawingCommands, PrintPutsEveryViewOnAsManyPagesAsItNeeds) {
  const struct {
    std::string file;
    std::vector<std::string> options;
    int pages;
  } cases[] = {
      // A4 less 10 mm margins holds 27 rows a page.
      {forceFile_, {"--view", "digital"}, (1000 + 26) / 27},
      {forceFile_, {"--view", "digital", "--interval", "100"}, 1},
      {forceFile_, {"--view", "digital", "--interval=30"}, 2},  // 34 rows
      {forceFile_, {"--view", "repetition"}, 1},
      {forceFile_, {"--view", "curve", "--from", "10", "--to", "20"}, 1},
      {forceFile_, {"--view", "bars"}, 1},
      {powerFile_, {"--view", "digital"}, (3000 + 26) / 27},
      {powerFile_, {"--view", "summary"}, 1},
      {powerFile_, {"--view", "height"}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.options));
    const std::string output = dir_.file("printed.pdf");
    std::vector<std::string> args = {"print", c.file, "--output", output};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const CliResult r = run(args);
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(pdfPages(velkora::testing::readFile(output)), c.pages);
  }
}

TEST_F(DrawingCommands, PrintToPngIsTheFirstPageAsPrinted) {
  const std::string output = dir_.file("page.png");
  const CliResult r = run({"print", powerFile_, "--view", "digital", "--interval", "10", "--output", output});
  ASSERT_EQ(r.code, kExitOk) << r.err;
  const auto loaded = load(powerFile_, TestKind::Power);
  DigitalReport report;
  fillDigitalReport(*loaded->store, 10, report);
  GraphSettings settings;
  PrintDocument document{*loaded->store, settings, loaded->subject.name, PageContent::Report};
  document.report = &report;
  const QImage page = imageAt(output);
  // A4 at 150 dpi with the printable area 10 mm (59 pixels) in from the top and the left, as printed.
  ASSERT_EQ(page.size(), QSize(1240, 1754));
  const QImage printable = pageImage(document, 0, 150);
  EXPECT_TRUE(page.copy(QRect(QPoint(59, 59), printable.size())) == printable.convertToFormat(page.format()));
  EXPECT_EQ(velkora::testing::inkPixels(page, QRect(0, 0, 1240, 59)), 0);
  EXPECT_EQ(velkora::testing::inkPixels(page, QRect(0, 0, 59, 1754)), 0);
  EXPECT_EQ(velkora::testing::inkPixels(page, QRect(0, 59 + 1636, 1240, 59)), 0);
  velkora::testing::keepImage(page, QStringLiteral("cli_print_page.png"));
}

TEST_F(DrawingCommands, WrongCommandLinesAndFailuresLeaveTheOutputAlone) {
  const std::string existing = dir_.file("kept.png");
  velkora::testing::writeFile(existing, "previous");
  const std::string pdf = dir_.file("kept.pdf");
  velkora::testing::writeFile(pdf, "previous");
  const struct {
    std::vector<std::string> args;
    int code;
    std::string said;  // in the message
  } cases[] = {
      {{"plot", forceFile_, "--output", dir_.file("graph.jpg")}, kExitUsage, "--output"},
      {{"plot", forceFile_}, kExitUsage, "--output"},
      {{"plot", forceFile_, "--output", existing, "--size", "0x400"}, kExitUsage, "--size"},
      {{"plot", forceFile_, "--output", existing, "--size", "740"}, kExitUsage, "--size"},
      {{"plot", forceFile_, "--output", existing, "--size", "16385x400"}, kExitUsage, "--size"},
      {{"plot", forceFile_, "--output", existing, "--bars", "--from", "1"}, kExitUsage, "--bars"},
      {{"plot", forceFile_, "--output", existing, "--from", "5", "--to", "5"},
       kExitUsage,
       "--from 5 must be below --to 5"},
      {{"plot", forceFile_, "--output", existing, "--to", "1001"}, kExitUsage, "--to 1001"},
      {{"plot", forceFile_, "--output", existing, "--y1", "6"}, kExitUsage, "--y1"},
      {{"plot", forceFile_, "--output", existing, "--kind", "jump"}, kExitUsage, "--kind"},
      {{"print", forceFile_, "--output", pdf}, kExitUsage, "--view"},
      {{"print", forceFile_, "--output", pdf, "--view", "graph"}, kExitUsage, "--view"},
      {{"print", forceFile_, "--output", pdf, "--view", "curve", "--interval", "2"}, kExitUsage, "--interval"},
      {{"print", forceFile_, "--output", pdf, "--view", "summary", "--interval", "2"}, kExitUsage, "--interval"},
      {{"print", forceFile_, "--output", pdf, "--view", "digital", "--from", "2"}, kExitUsage, "--from"},
      {{"print", forceFile_, "--output", pdf, "--view", "bars", "--y2", "2"}, kExitUsage, "--y2"},
      {{"print", forceFile_, "--output", pdf, "--view", "digital", "--interval", "0"}, kExitUsage, "--interval"},
      {{"print", forceFile_, "--output", dir_.file("page.svg"), "--view", "digital"}, kExitUsage, "--output"},
      {{"print", forceFile_, "--output", pdf, "--view", "curve", "--xl", "2"}, kExitUsage, "--xl"},
      // Failures: the program's message, or the path and the reason.
      {{"plot", powerFile_, "--bars", "--output", existing},
       kExitFailure,
       "the bar graph needs a force test with repetitions"},
      {{"plot", noRepetitionsFile_, "--bars", "--output", existing},
       kExitFailure,
       "needs a force test with repetitions"},
      {{"print", forceFile_, "--view", "summary", "--output", pdf},
       kExitFailure,
       "the summary report needs a power test"},
      {{"print", noRepetitionsFile_, "--view", "repetition", "--output", pdf},
       kExitFailure,
       "the repetition report needs a recording with repetitions"},
      {{"plot", forceFile_, "--output", dir_.file("missing/graph.png")},
       kExitFailure,
       "File Save Error\n" + dir_.file("missing/graph.png") + ": No such file or directory\n"},
      {{"print", forceFile_, "--view", "digital", "--output", dir_.file("missing/page.png")},
       kExitFailure,
       "File Save Error\n" + dir_.file("missing/page.png") + ": No such file or directory\n"},
      {{"plot", dir_.file("none.vkr"), "--output", existing},
       kExitFailure,
       "Error opening file\n" + dir_.file("none.vkr") + ": No such file or directory\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliResult r = run(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(velkora::testing::readFile(existing), "previous");
  EXPECT_EQ(velkora::testing::readFile(pdf), "previous");

  // Never over the file it reads.
  const std::string copy = dir_.file("self.png");
  velkora::testing::writeFile(copy, velkora::testing::readFile(forceFile_));
  const CliResult self = run({"plot", copy, "--kind", "force", "--output", copy});
  EXPECT_EQ(self.code, kExitFailure);
  EXPECT_NE(self.err.find("is the file"), std::string::npos) << self.err;
  EXPECT_EQ(velkora::testing::readFile(copy), velkora::testing::readFile(forceFile_));
}

// Without a font (here a fontconfig that knows none) Qt draws no text: the commands fail instead of
// writing pages and pictures without a word on them.
TEST_F(DrawingCommands, WithoutAFontNothingIsDrawnAndTheCommandFails) {
  const std::string config = dir_.file("fonts.conf");
  velkora::testing::writeFile(config, "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
  TempDir out;
  const struct {
    std::vector<std::string> args;
    std::string command;
  } cases[] = {
      {{"print", forceFile_, "--view", "repetition", "--output", out.file("page.pdf")}, "print"},
      {{"print", powerFile_, "--view", "curve", "--output", out.file("page.png")}, "print"},
      {{"plot", forceFile_, "--output", out.file("graph.svg")}, "plot"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const CliResult r = velkora::testing::runCliProgram(c.args, dir_, {"FONTCONFIG_FILE=" + config});
    EXPECT_EQ(r.code, kExitFailure) << r.err;
    EXPECT_NE(r.err.find("velkora-cli " + c.command + ": no font could be loaded to draw the text"), std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(out.path())) << "nothing written";
  }
  // The same command with the fonts of the system draws.
  EXPECT_EQ(velkora::testing::runCliProgram(cases[0].args, dir_).code, kExitOk);
}

TEST_F(DrawingCommands, HelpListsEveryOption) {
  const struct {
    const char* command;
    std::vector<const char*> options;
  } cases[] = {
      {"plot",
       {"FILE", "--output OUT.png|OUT.svg|OUT.pdf", "--from A", "--to B", "--y1 P", "--y2 P", "--bars", "--size WxH",
        "--kind force|power"}},
      {"print",
       {"FILE", "--view curve|bars|digital|repetition|summary|height", "--interval K", "--from A", "--to B", "--y1 P",
        "--y2 P", "--output OUT.pdf|OUT.png", "--kind force|power"}},
  };
  for (const auto& c : cases) {
    const CliResult r = run({c.command, "--help"});
    EXPECT_EQ(r.code, kExitOk);
    for (const char* option : c.options) EXPECT_NE(r.out.find(option), std::string::npos) << c.command << " " << option;
  }
}

}  // namespace
}  // namespace velkora::cli
