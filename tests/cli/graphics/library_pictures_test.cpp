// velkora-cli library trend --output and library compare: the pictures are the library's graphs as
// the program's own painting draws them, in PNG, SVG and PDF.

#include <gtest/gtest.h>

#include <QImage>
#include <QSvgRenderer>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli_process.h"
#include "painting/graph_files.h"
#include "painting/painting_fixtures.h"
#include "library/library_service.h"
#include "reports/jump_analysis.h"
#include "storage/measurement_file.h"
#include "support/cli_runner.h"
#include "support/measurement_files.h"
#include "support/temp_dir.h"
#include "view/compare_graph.h"
#include "view/trend_graph.h"

namespace velkora::cli {
namespace {

using velkora::testing::CliResult;
using velkora::testing::TempDir;

QImage imageAt(const std::string& path) { return QImage(QString::fromStdString(path)); }

class LibraryPictures : public ::testing::Test {
 protected:
  LibraryPictures() {
    data_ = dir_.file("DATA");
    std::filesystem::create_directory(data_);
    const int flights[] = {380, 455, 410, 430, 470, 445};
    for (int k = 0; k < 6; ++k) {
      const std::string path = data_ + "/jump" + std::to_string(k) + ".tsr";
      EXPECT_TRUE(velkora::testing::writeGeneratedTest(
          path, {"Katarina Horvat", TestKind::Power, 1714550400 + k * 9 * 86400, 5000, 64.0, flights[k]}));
      jumps_.push_back(path);
    }
    push_ = data_ + "/push.vkr";
    EXPECT_TRUE(
        velkora::testing::writeGeneratedTest(push_, {"Jonas Berg", TestKind::Force, 1716000000, 5000, 95.0, 0, 3}));
    library_ = dir_.file("library.sqlite");
  }

  velkora::testing::UtcTime utc_;
  TempDir dir_;
  std::string data_, push_, library_;
  std::vector<std::string> jumps_;
};

TEST_F(LibraryPictures, TrendPictureIsTheTrendGraphOfTheLibrarysValues) {
  ASSERT_EQ(velkora::testing::runCommandLine({"library", "scan", data_, "--library", library_}).code, kExitOk);
  const std::string output = dir_.file("trend.png");
  const CliResult r =
      velkora::testing::runCliProgram({"library", "trend", "--subject", "katarina horvat", "--metric",
                                       "jumpHeightTakeoffVelocity_cm", "--output", output, "--library", library_},
                                      dir_);
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  const QImage picture = imageAt(output);
  ASSERT_EQ(picture.size(), QSize(800, 450));
  velkora::testing::keepImage(picture, QStringLiteral("cli_library_trend.png"));

  // The same graph drawn here from the library's values.
  CollectingMessageSink messages;
  LibraryStatus status;
  auto library = LibraryService::open({library_, {}, true}, messages, status);
  ASSERT_TRUE(library);
  std::vector<LibraryTrendPoint> points;
  ASSERT_TRUE(library->trend("Katarina Horvat", "jumpHeightTakeoffVelocity_cm", points).ok());
  ASSERT_EQ(points.size(), 6u);
  TrendGraph graph;
  graph.title = "Katarina Horvat: jumpHeightTakeoffVelocity_cm";
  for (const LibraryTrendPoint& p : points) graph.points.push_back({p.testTime, p.value});
  graph.decimals = 2;
  const QImage expected = screenImage(QSize(800, 450), 1.0, [&](DeviceContext& dc) {
    drawTrendGraph(dc, {0, 0, 800, 450}, graph);
  });
  EXPECT_TRUE(picture == expected.convertToFormat(picture.format()));

  // SVG and PDF of the same.
  for (const char* name : {"trend.svg", "trend.pdf"}) {
    const CliResult v = velkora::testing::runCommandLine({"library", "trend", "--subject", "Katarina Horvat",
                                                          "--metric", "jumpHeightFlightTime_cm", "--output",
                                                          dir_.file(name), "--library", library_});
    ASSERT_EQ(v.code, kExitOk) << v.err;
  }
  QSvgRenderer svg(QString::fromStdString(dir_.file("trend.svg")));
  EXPECT_TRUE(svg.isValid());
  EXPECT_EQ(velkora::testing::readFile(dir_.file("trend.pdf")).substr(0, 5), "%PDF-");
}

TEST_F(LibraryPictures, ComparePictureDrawsTheTestsAligned) {
  const std::string output = dir_.file("compare.png");
  const std::vector<std::string> files = {jumps_[0], jumps_[4], push_};
  std::vector<std::string> args = {"library", "compare"};
  args.insert(args.end(), files.begin(), files.end());
  args.insert(args.end(), {"--output", output});
  const CliResult r = velkora::testing::runCliProgram(args, dir_);
  ASSERT_EQ(r.code, kExitOk) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  const QImage picture = imageAt(output);
  ASSERT_EQ(picture.size(), QSize(800, 450));
  velkora::testing::keepImage(picture, QStringLiteral("cli_library_compare.png"));

  std::vector<CompareCurve> curves;
  for (const std::string& file : files) {
    auto store = std::make_unique<MeasurementStore>();
    SubjectInfo subject;
    CollectingMessageSink messages;
    ASSERT_TRUE(readMeasurementFile(file, testKindForPath(file), *store, subject, messages));
    curves.push_back(
        compareCurve(*store, store->testKind, compareLabel(subject.name, testTimeSeconds(store->testTime))));
    EXPECT_TRUE(curves.back().aligned) << file;
  }
  const QImage expected = screenImage(QSize(800, 450), 1.0, [&](DeviceContext& dc) {
    drawCompareGraph(dc, {0, 0, 800, 450}, curves);
  });
  EXPECT_TRUE(picture == expected.convertToFormat(picture.format()));

  // The output may not be one of the files compared.
  const CliResult same =
      velkora::testing::runCommandLine({"library", "compare", jumps_[0], push_, "--output", jumps_[0]});
  EXPECT_EQ(same.code, kExitUsage) << "not a picture name";
  const std::string pictureNamed = data_ + "/looks.png";
  std::filesystem::copy_file(push_, pictureNamed);
  const CliResult input =
      velkora::testing::runCommandLine({"library", "compare", jumps_[0], pictureNamed, "--output", pictureNamed});
  EXPECT_EQ(input.code, kExitFailure);
  EXPECT_NE(input.err.find("is the file"), std::string::npos) << input.err;
}

}  // namespace
}  // namespace velkora::cli
