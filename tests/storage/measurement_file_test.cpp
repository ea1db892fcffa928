#include "storage/measurement_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace velkora {
namespace {

using velkora::testing::readFile;
using velkora::testing::TempDir;
using velkora::testing::writeFile;

// A file spelled out field by field, independent of the code under test.
struct HandFile {
  std::string s;
  HandFile& raw(std::initializer_list<int> values) {
    for (int v : values) s.push_back(static_cast<char>(v));
    return *this;
  }
  HandFile& i32(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    return raw({int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF), int(u >> 24)});
  }
  HandFile& f32(float v) {
    int32_t bits;
    std::memcpy(&bits, &v, 4);
    return i32(bits);
  }
  HandFile& text(std::string_view ascii) {  // below 255 characters: one-byte prefix
    s.push_back(static_cast<char>(ascii.size()));
    s.append(ascii);
    return *this;
  }
};

const std::string kName66 = "Katarina Horvat-Lindqvist " + std::string(40, 'x');  // 66 characters

int32_t vertical(int32_t i) { return 10 * i - 20; }
int32_t horizontal(int32_t i) { return -2048 + (i % 4096); }

struct Example {
  std::string tag = "Velkora_V1.1";
  int32_t n = 3;
  int32_t m = 2;
};

std::string handBuiltFile(const Example& e) {
  HandFile f;
  f.text(e.tag).text(kName66).i32(1).i32(182).i32(77).text("left leg").text("").text("after warm-up");
  f.raw({0x00, 0x00, 0x99, 0x42});  // 76.5f
  f.f32(150.5f).f32(2047.0f).f32(0.98f).f32(1.02f);
  f.i32(e.n);
  for (int32_t i = 0; i < e.n; ++i) f.i32(vertical(i)).i32(horizontal(i));
  if (e.n == kMaxSamples)
    f.i32(0).i32(0);
  else
    f.i32(99).i32(-1);  // the spare pair
  f.i32(e.m);
  for (int32_t j = 0; j < e.m; ++j) f.i32(500 + j).i32(400 + j).i32(-30 + j).i32(-10 - j);
  f.i32(1700000000);
  return f.s;
}

// Fills a store and subject with the content of handBuiltFile(n, m).
void fillExample(MeasurementStore& store, SubjectInfo& subject, int32_t n, int32_t m) {
  subject = {kName66, 1, 35, 77, 182, "left leg", "", "after warm-up"};
  store.bodyWeight = 76.5f;
  store.calibration = {150.5f, 2047.0f, 0.98f, 1.02f};
  for (int32_t i = 0; i < n; ++i) {
    store.channels.vertical[i] = vertical(i);
    store.channels.horizontal[i] = horizontal(i);
  }
  if (n < kMaxSamples) {
    store.channels.vertical[n] = 99;
    store.channels.horizontal[n] = -1;
  }
  store.sampleCount = n;
  for (int32_t j = 0; j < m; ++j) {
    store.repetitions.peakVertical[j] = 500 + j;
    store.repetitions.meanVertical[j] = 400 + j;
    store.repetitions.peakHorizontal[j] = -30 + j;
    store.repetitions.meanHorizontal[j] = -10 - j;
  }
  store.repetitions.count = m;
  store.testTime = 1700000000;
}

// Everything a load may touch, for before/after comparisons.
struct Snapshot {
  std::vector<int32_t> vertical, horizontal, rows;
  std::vector<std::string> texts;
  std::vector<int32_t> numbers;
  std::vector<uint32_t> floatBits;
  bool analysed;
  bool operator==(const Snapshot&) const = default;
};

uint32_t bitsOf(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

Snapshot snapshot(const MeasurementStore& s, const SubjectInfo& subj) {
  Snapshot shot;
  shot.vertical.assign(s.channels.vertical, s.channels.vertical + kMaxSamples);
  shot.horizontal.assign(s.channels.horizontal, s.channels.horizontal + kMaxSamples);
  for (const int32_t* row : {s.repetitions.peakVertical, s.repetitions.meanVertical, s.repetitions.peakHorizontal,
                             s.repetitions.meanHorizontal})
    shot.rows.insert(shot.rows.end(), row, row + kMaxRepetitions);
  shot.texts = {subj.name, subj.comment1, subj.comment2, subj.comment3};
  shot.numbers = {subj.sex,
                  subj.age,
                  subj.weight,
                  subj.height,
                  s.sampleCount.load(),
                  s.testTime,
                  s.repetitions.count.load(),
                  static_cast<int32_t>(s.testKind),
                  s.recordingAvailable.load(),
                  s.saved.load()};
  shot.floatBits = {bitsOf(s.bodyWeight), bitsOf(s.calibration.offsetVertical), bitsOf(s.calibration.offsetHorizontal),
                    bitsOf(s.calibration.coefficientVertical), bitsOf(s.calibration.coefficientHorizontal)};
  shot.analysed = s.jump.analysed;
  return shot;
}

// A store that differs from the example in every field, as a load target.
struct Target {
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  SubjectInfo subject{"Before", 0, 41, 60, 170, "c1", "c2", "c3"};
  CollectingMessageSink messages;
  Target() {
    for (int32_t i = 0; i < kMaxSamples; ++i) {
      store->channels.vertical[i] = -i;
      store->channels.horizontal[i] = i;
    }
    store->sampleCount = 5;
    store->repetitions.count = 4;
    store->repetitions.peakVertical[0] = 1234;
    store->bodyWeight = 55.0f;
    store->testTime = 42;
    store->testKind = TestKind::Power;
    store->recordingAvailable = 0;
    store->saved = 0;
    store->jump.analysed = true;
  }
  bool load(const std::string& path, TestKind kind = TestKind::Force) {
    return readMeasurementFile(path, kind, *store, subject, messages);
  }
};

TEST(MeasurementFile, WritesEveryFieldInOrder) {
  auto store = std::make_unique<MeasurementStore>();
  SubjectInfo subject;
  fillExample(*store, subject, 3, 2);
  const std::string expected = handBuiltFile({});
  EXPECT_EQ(encodeMeasurement(*store, subject), expected);
  ASSERT_GT(expected.size(), 14u);
  EXPECT_EQ(expected.substr(0, 13), "\x0CVelkora_V1.1");
  EXPECT_EQ(expected[13], '\x42') << "66-character name, one-byte prefix";

  TempDir dir;
  store->saved = 0;
  CollectingMessageSink messages;
  ASSERT_TRUE(writeMeasurementFile(dir.file("a.vkr"), *store, subject, messages));
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_EQ(store->saved.load(), 1);
  EXPECT_EQ(readFile(dir.file("a.vkr")), expected);
}

TEST(MeasurementFile, LoadThenSaveReproducesTheFileByteForByte) {
  for (const Example& e : {Example{}, Example{"Velkora_V1.1", 0, 0}, Example{"Velkora_V1.1", kMaxSamples, 25}}) {
    SCOPED_TRACE(e.n);
    TempDir dir;
    const std::string original = handBuiltFile(e);
    EXPECT_EQ(original.size(), 148u + static_cast<size_t>(e.n + 1) * 8 + static_cast<size_t>(e.m) * 16)
        << "N + 1 sample pairs, M rows";
    writeFile(dir.file("in.vkr"), original);

    Target t;
    ASSERT_TRUE(t.load(dir.file("in.vkr")));
    EXPECT_TRUE(t.messages.messages.empty());
    MeasurementStore& s = *t.store;
    EXPECT_EQ(s.sampleCount.load(), e.n);
    EXPECT_EQ(s.repetitions.count.load(), e.m);
    EXPECT_EQ(s.channels.vertical[e.n - 1 < 0 ? 0 : e.n - 1], e.n == 0 ? 99 : vertical(e.n - 1));
    if (e.n < kMaxSamples) {
      EXPECT_EQ(s.channels.horizontal[e.n], -1) << "the spare pair goes to index N";
    }
    if (e.m > 0) {
      EXPECT_EQ(s.repetitions.meanHorizontal[e.m - 1], -10 - (e.m - 1));
    }
    EXPECT_EQ(s.calibration.coefficientVertical, 0.98f);
    EXPECT_EQ(s.bodyWeight, 76.5f);
    EXPECT_EQ(s.testTime, 1700000000);
    EXPECT_EQ(s.testKind, TestKind::Force) << "the kind is the one the file is opened as";
    EXPECT_EQ(s.recordingAvailable.load(), 1);
    EXPECT_EQ(s.saved.load(), 1);
    EXPECT_EQ(t.subject.name, kName66);
    EXPECT_EQ(t.subject.sex, 1);
    EXPECT_EQ(t.subject.height, 182);
    EXPECT_EQ(t.subject.weight, 77);
    EXPECT_EQ(t.subject.comment3, "after warm-up");
    EXPECT_EQ(t.subject.age, 41) << "the age is not in the file";

    ASSERT_TRUE(writeMeasurementFile(dir.file("out.vkr"), s, t.subject, t.messages));
    EXPECT_EQ(readFile(dir.file("out.vkr")), original);
  }
}

TEST(MeasurementFile, SubjectTextsSurviveWhateverTheirCharacters) {
  TempDir dir;
  auto store = std::make_unique<MeasurementStore>();
  SubjectInfo subject{
      "\xC5\xBD"
      "ofie M\xC3\xBCller \xF0\x9F\x8F\x8B",
      -1,
      0,
      0,
      0,
      "plain",
      "\xE2\x82\xAC 5",
      ""};
  CollectingMessageSink messages;
  ASSERT_TRUE(writeMeasurementFile(dir.file("w.vkr"), *store, subject, messages));
  Target t;
  ASSERT_TRUE(t.load(dir.file("w.vkr")));
  EXPECT_EQ(t.subject.name, subject.name);
  EXPECT_EQ(t.subject.comment1, "plain");
  EXPECT_EQ(t.subject.comment2, subject.comment2);
  EXPECT_EQ(t.subject.sex, -1);

  // Files from the Windows program carry one-byte Windows-1252 text.
  HandFile f;
  f.text("Velkora_V1.1").raw({4, 'R', 'e', 'n', 0xE9}).i32(0).i32(0).i32(0).raw({2, 0x80, '5'}).text("").text("");
  f.f32(0).f32(0).f32(0).f32(0).f32(0).i32(0).i32(0).i32(0).i32(0).i32(0);
  writeFile(dir.file("ansi.vkr"), f.s);
  ASSERT_TRUE(t.load(dir.file("ansi.vkr")));
  EXPECT_EQ(t.subject.name, "Ren\xC3\xA9");
  EXPECT_EQ(t.subject.comment1,
            "\xE2\x82\xAC"
            "5");
}

TEST(MeasurementFile, FileCutShortAnywhereChangesNothing) {
  TempDir dir;
  const std::string full = handBuiltFile({});
  const std::string path = dir.file("cut.vkr");
  for (size_t length = 0; length < full.size(); ++length) {
    SCOPED_TRACE(length);
    writeFile(path, full.substr(0, length));
    Target t;
    const Snapshot before = snapshot(*t.store, t.subject);
    EXPECT_FALSE(t.load(path));
    EXPECT_TRUE(snapshot(*t.store, t.subject) == before);
    ASSERT_EQ(t.messages.messages.size(), 1u);
    EXPECT_EQ(t.messages.messages[0], "An attempt was made to access " + path + " past its end.");
  }
}

TEST(MeasurementFile, RejectedFilesChangeNothing) {
  const std::string incompatible(msg::kIncompatibleData);
  const std::string tagAndName = HandFile{}.text("Velkora_V1.1").s;
  struct Case {
    const char* what;
    std::string bytes;
    bool pastEnd;
  };
  const std::vector<Case> cases = {
      {"older tag", handBuiltFile({"Velkora_V1.0"}), false},
      {"tag in other letter case", handBuiltFile({"velkora_v1.1"}), false},
      {"tag with a trailing space", handBuiltFile({"Velkora_V1.1 "}), false},
      {"N = -1", handBuiltFile({"Velkora_V1.1", -1, 2}), false},
      {"N = 61001", handBuiltFile({"Velkora_V1.1", kMaxSamples + 1, 2}), false},
      {"M = 26", handBuiltFile({"Velkora_V1.1", 3, 26}), false},
      {"M = -1", handBuiltFile({"Velkora_V1.1", 3, -1}), false},
      {"name with a length of 2^64 - 2",
       tagAndName + HandFile{}
                        .raw({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                              'A', 'B'})
                        .s,
       true},
      {"wide name with a length of 2^40",
       tagAndName +
           HandFile{}
               .raw({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 1, 0, 0, 'A', 0})
               .s,
       true},
  };
  TempDir dir;
  const std::string path = dir.file("bad.vkr");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(path, c.bytes);
    Target t;
    const Snapshot before = snapshot(*t.store, t.subject);
    EXPECT_FALSE(t.load(path));
    EXPECT_TRUE(snapshot(*t.store, t.subject) == before);
    ASSERT_EQ(t.messages.messages.size(), 1u);
    EXPECT_EQ(t.messages.messages[0], c.pastEnd ? formatMessage(msg::kPastEnd, path) : incompatible);
  }
}

TEST(MeasurementFile, BytesAfterTheLastFieldAreIgnored) {
  TempDir dir;
  writeFile(dir.file("x.vkr"), handBuiltFile({}) + "trailing");
  Target t;
  t.store->testKind = TestKind::Force;
  EXPECT_TRUE(t.load(dir.file("x.vkr")));
  EXPECT_EQ(t.store->sampleCount.load(), 3);
  EXPECT_FALSE(t.store->jump.analysed) << "an earlier analysis does not describe the loaded data";
}

TEST(MeasurementFile, UnreadablePathsReportErrorOpeningFile) {
  TempDir dir;
  for (const std::string& path : {dir.file("missing.vkr"), dir.path().string()}) {
    SCOPED_TRACE(path);
    Target t;
    const Snapshot before = snapshot(*t.store, t.subject);
    EXPECT_FALSE(t.load(path));
    EXPECT_TRUE(snapshot(*t.store, t.subject) == before);
    EXPECT_EQ(t.messages.messages, std::vector<std::string>{"Error opening file"});
  }
}

TEST(MeasurementFile, FailedSaveKeepsTheOldFileAndTheUnsavedFlag) {
  TempDir dir;
  auto store = std::make_unique<MeasurementStore>();
  SubjectInfo subject;
  fillExample(*store, subject, kMaxSamples, 0);
  store->saved = 0;

  CollectingMessageSink messages;
  EXPECT_FALSE(writeMeasurementFile(dir.file("no/such/dir/a.vkr"), *store, subject, messages));
  EXPECT_EQ(messages.messages, std::vector<std::string>{"File Save Error"});
  EXPECT_EQ(store->saved.load(), 0);

  // A write that fails half-way (the file size limit, which holds even for root) must not touch the
  // file already there nor leave a temporary file behind.
  const std::string path = dir.file("old.vkr");
  writeFile(path, "previous content");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 4096;
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  messages.messages.clear();
  const bool ok = writeMeasurementFile(path, *store, subject, messages);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  EXPECT_EQ(messages.messages, std::vector<std::string>{"File Save Error"});
  EXPECT_EQ(store->saved.load(), 0);
  EXPECT_EQ(readFile(path), "previous content");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(MeasurementFile, StartTimeIsUnsignedSeconds) {
  TempDir dir;
  auto store = std::make_unique<MeasurementStore>();
  store->resetForNewTest(CalibrationSet{}, 3000000000LL);  // 2065
  EXPECT_EQ(testTimeSeconds(store->testTime), 3000000000LL);
  CollectingMessageSink messages;
  ASSERT_TRUE(writeMeasurementFile(dir.file("t.vkr"), *store, SubjectInfo{}, messages));
  Target t;
  ASSERT_TRUE(t.load(dir.file("t.vkr")));
  EXPECT_EQ(testTimeSeconds(t.store->testTime), 3000000000LL);
}

}  // namespace
}  // namespace velkora
