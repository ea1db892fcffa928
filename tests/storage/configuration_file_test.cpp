#include "storage/configuration_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "support/temp_dir.h"

namespace velkora {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

struct Settings {
  AppSettings app;
  CalibrationSet calibration;
  GraphSettings graph;
  ConfigurationTarget target() { return {app, calibration, graph}; }
};

// Little-endian helpers written independently of the code under test.
void putI32(std::string& s, int32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}
void putF32(std::string& s, float f) {
  int32_t v;
  std::memcpy(&v, &f, 4);
  putI32(s, v);
}

// A file with every field distinct, built by hand in table order.
std::string handMadeFile() {
  std::string s = "Velkora_V1.0";
  putI32(s, 3);  // port
  putF32(s, 150.5f);
  putF32(s, 2040.25f);
  putF32(s, 1.75f);
  putF32(s, 0.5f);
  putI32(s, 2);  // y1
  putI32(s, 5);  // y2
  for (int i = 0; i < 7; ++i) putI32(s, -100 - i);
  for (int i = 0; i < 7; ++i) putI32(s, 1000 + i);
  for (int i = 0; i < 7; ++i) putI32(s, 10 + i);
  putI32(s, 7);   // forceTestValue
  putI32(s, 35);  // startForce
  putI32(s, 1);   // forceTestMode
  putI32(s, 8);   // powerTestTime
  return s;
}

TEST(ConfigurationFile, DefaultsAreWrittenExactlyAndEveryFieldRoundTrips) {
  Settings defaults;
  std::string expected = "Velkora_V1.0";
  putI32(expected, 0);
  for (float f : {148.0f, 2048.0f, 1.0f, 1.0f}) putF32(expected, f);
  putI32(expected, 0);
  putI32(expected, 3);
  for (int32_t v : {0, -2000, -2000, -3, -50, 0, 0}) putI32(expected, v);
  for (int32_t v : {2000, 2000, 2000, 3, 50, 4000, 0}) putI32(expected, v);
  for (int32_t v : {400, 500, 500, 1, 10, 400, 0}) putI32(expected, v);
  for (int32_t v : {10, 20, 0, 5}) putI32(expected, v);
  ASSERT_EQ(expected.size(), kConfigurationSize);
  EXPECT_EQ(encodeConfiguration(defaults.app, defaults.calibration, defaults.graph), expected);

  TempDir dir;
  const std::string path = dir.file("velkora.cfg");
  writeFile(path, handMadeFile());
  Settings loaded;
  CollectingMessageSink messages;
  ASSERT_TRUE(loadConfiguration(path, loaded.target(), messages));
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(loaded.app.portIndex, 3);
  EXPECT_EQ(loaded.calibration.offsetHorizontal, 2040.25f);
  EXPECT_EQ(loaded.calibration.coefficientVertical, 1.75f);
  EXPECT_EQ(loaded.graph.y2Parameter, 5);
  EXPECT_EQ(loaded.graph.axisMin[6], -106);  // the spare entry is carried through
  EXPECT_EQ(loaded.graph.axisStep[6], 16);
  EXPECT_EQ(loaded.app.forceTestMode, 1);
  EXPECT_EQ(loaded.app.powerTestTime, 8);

  const std::string saved = dir.file("saved.cfg");
  ASSERT_TRUE(saveConfiguration(saved, loaded.app, loaded.calibration, loaded.graph));
  EXPECT_EQ(readFile(saved), handMadeFile());
}

TEST(ConfigurationFile, CurveParameterChoicesOutsideTheAxisTablesFallBackToTheirDefaults) {
  struct Case {
    int32_t y1, y2;
    int32_t expectedY1, expectedY2;
  };
  const Case cases[] = {
      {0, 5, 0, 5},
      {5, 0, 5, 0},
      {6, 2, 0, 2},
      {-1, 4, 0, 4},
      {2, 6, 2, 3},
      {1, -7, 1, 3},
      {INT32_MIN, INT32_MAX, 0, 3},
  };
  for (const Case& c : cases) {
    std::string file = handMadeFile();
    std::string y1, y2;
    putI32(y1, c.y1);
    putI32(y2, c.y2);
    file.replace(32, 4, y1);
    file.replace(36, 4, y2);
    Settings s;
    s.graph.y1Parameter = 1;  // what the program held before the file is no fallback
    s.graph.y2Parameter = 1;
    CollectingMessageSink messages;
    EXPECT_TRUE(applyConfiguration(file, s.target(), messages));
    EXPECT_EQ(s.graph.y1Parameter, c.expectedY1) << c.y1;
    EXPECT_EQ(s.graph.y2Parameter, c.expectedY2) << c.y2;
    EXPECT_EQ(s.graph.axisMin[0], -100) << "the rest of the block is read as it is";
  }
}

TEST(ConfigurationFile, MissingFileKeepsSettingsAndShowsTheOpenError) {
  TempDir dir;
  Settings s;
  s.app.startForce = 77;
  CollectingMessageSink messages;
  EXPECT_FALSE(loadConfiguration(dir.file("velkora.cfg"), s.target(), messages));
  EXPECT_EQ(messages.messages, std::vector<std::string>{"Error opening file 'velkora.cfg' make new calibration!"});
  EXPECT_EQ(s.app.startForce, 77);
  EXPECT_EQ(s.calibration.offsetVertical, 148.0f);
}

TEST(ConfigurationFile, WrongTagWarnsThenReportsIncompatibleAndChangesNothing) {
  std::string measurementTag = handMadeFile();
  measurementTag.replace(0, 12, "Velkora_V1.1");
  for (const std::string& bytes : {measurementTag, std::string("Velkora_V1."), std::string()}) {
    TempDir dir;
    writeFile(dir.file("c"), bytes);
    Settings s;
    CollectingMessageSink messages;
    EXPECT_TRUE(loadConfiguration(dir.file("c"), s.target(), messages)) << "a tag mismatch counts as success";
    EXPECT_EQ(messages.messages, (std::vector<std::string>{"Warning - make new calibration!", "Incompatible data"}));
    EXPECT_EQ(encodeConfiguration(s.app, s.calibration, s.graph),
              encodeConfiguration(AppSettings{}, CalibrationSet{}, GraphSettings{}));
  }
  // With a calibrated plate in memory a wrong tag shows only "Incompatible data".
  Settings calibrated;
  calibrated.calibration.coefficientVertical = 2.0f;
  calibrated.calibration.coefficientHorizontal = 2.0f;
  CollectingMessageSink messages;
  EXPECT_TRUE(applyConfiguration("garbage-garbage", calibrated.target(), messages));
  EXPECT_EQ(messages.messages, std::vector<std::string>{"Incompatible data"});
}

TEST(ConfigurationFile, ShortBlockOverlaysWhatIsThereAndFailsSilently) {
  const std::string full = handMadeFile();
  Settings s;
  CollectingMessageSink messages;
  EXPECT_FALSE(applyConfiguration(std::string_view(full).substr(0, 100), s.target(), messages));
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(s.app.portIndex, 3);
  EXPECT_EQ(s.calibration.coefficientHorizontal, 0.5f);
  // Graph block: 68 of its 92 bytes came from the file (y1, y2, axisMin, axisMax, axisStep[0]).
  EXPECT_EQ(s.graph.y1Parameter, 2);
  EXPECT_EQ(s.graph.axisMin[6], -106);
  EXPECT_EQ(s.graph.axisMax[6], 1006);
  EXPECT_EQ(s.graph.axisStep[0], 10);
  EXPECT_EQ(s.graph.axisStep[1], 500) << "defaults after the bytes that were there";
  EXPECT_EQ(s.app.forceTestValue, 10);
  EXPECT_EQ(s.app.powerTestTime, 5);

  // A partial int inside a block keeps the high bytes of the value it had.
  Settings p;
  p.app.portIndex = 0x01020304;
  std::string twoBytes = "Velkora_V1.0";
  twoBytes += std::string("\x09\x00", 2);
  EXPECT_FALSE(applyConfiguration(twoBytes, p.target(), messages));
  EXPECT_EQ(p.app.portIndex, 0x01020009);

  // Every cut of a valid file between tag and end fails with no message and never crashes.
  for (size_t cut = 12; cut < full.size(); ++cut) {
    Settings c;
    CollectingMessageSink m;
    EXPECT_FALSE(applyConfiguration(std::string_view(full).substr(0, cut), c.target(), m)) << cut;
    EXPECT_TRUE(m.messages.empty()) << cut;
  }
}

TEST(ConfigurationFile, CalibrationWarningBoundsAreSinglePrecisionAndShownOnce) {
  struct Case {
    float vertical;
    float horizontal;
    bool warns;
  };
  const Case cases[] = {
      {1.0f, 1.0f, true},            // both uncalibrated: still one warning
      {0.9999995f, 3.0f, true},      // inside the interval
      {1.00002f, 3.0f, false},       // outside
      {3.0f, 1.000005f, true},       // the horizontal one alone
      {0.999999f, 1.00001f, false},  // the bounds themselves are outside
  };
  for (const Case& c : cases) {
    std::string file = handMadeFile();
    std::string v, h;
    putF32(v, c.vertical);
    putF32(h, c.horizontal);
    file.replace(24, 4, v);
    file.replace(28, 4, h);
    Settings s;
    CollectingMessageSink messages;
    EXPECT_TRUE(applyConfiguration(file, s.target(), messages));
    EXPECT_EQ(messages.messages.size(), c.warns ? 1u : 0u) << c.vertical << ' ' << c.horizontal;
  }
}

TEST(ConfigurationFile, FailedSaveLeavesThePreviousFileAndLongFilesReadOnlyTheirImage) {
  TempDir dir;
  const std::string path = dir.file("velkora.cfg");
  writeFile(path, handMadeFile());
  // A directory in the way of the temporary file's rename makes the save fail.
  Settings s;
  EXPECT_FALSE(saveConfiguration(dir.file("missing-dir/velkora.cfg"), s.app, s.calibration, s.graph));
  std::filesystem::create_directory(dir.file("adir"));
  EXPECT_FALSE(saveConfiguration(dir.file("adir"), s.app, s.calibration, s.graph));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("adir")));
  if (::geteuid() != 0) {
    ::chmod(dir.path().c_str(), 0500);
    EXPECT_FALSE(saveConfiguration(path, s.app, s.calibration, s.graph));
    ::chmod(dir.path().c_str(), 0700);
  }
  EXPECT_EQ(readFile(path), handMadeFile());
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << "no temporary file left";

  writeFile(path, handMadeFile() + std::string(1 << 20, 'x'));
  CollectingMessageSink messages;
  Settings loaded;
  EXPECT_TRUE(loadConfiguration(path, loaded.target(), messages));
  EXPECT_EQ(loaded.app.powerTestTime, 8);
}

}  // namespace
}  // namespace velkora
