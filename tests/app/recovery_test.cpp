#include "app/recovery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/program_records.h"
#include "storage/measurement_file.h"
#include "support/temp_dir.h"

namespace velkora {
namespace {

TEST(Recovery, NamesCarryTheLocalTimeTheKindAndASuffixWhenTaken) {
  std::tm t{};
  t.tm_year = 2025 - 1900;
  t.tm_mon = 2;
  t.tm_mday = 4;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 7;
  struct Case {
    TestKind kind;
    int32_t attempt;
    const char* name;
  };
  const Case cases[] = {{TestKind::Force, 0, "recovered-20250304-090507.vkr"},
                        {TestKind::Power, 0, "recovered-20250304-090507.tsr"},
                        {TestKind::Force, 1, "recovered-20250304-090507-2.vkr"},
                        {TestKind::Power, 9, "recovered-20250304-090507-10.tsr"}};
  for (const Case& c : cases) EXPECT_EQ(recoveryFileName(t, c.kind, c.attempt), c.name);
}

// Two takes ended in the same second get two files, each the whole take; the next start hears of
// both once.
TEST(Recovery, AnUnsavedTakeIsSavedToANewFileAndNamedOnceAtTheNextStart) {
  testing::TempDir dir;
  auto records = std::make_unique<ProgramRecords>();
  records->paths.configPath = dir.file("velkora.cfg");
  records->paths.dataFolder = dir.file("DATA");
  MeasurementStore& store = records->store;
  const std::time_t now = 1741079107;

  EXPECT_EQ(saveRecoveryTake(records->shared(), now), "") << "nothing recorded, nothing to save";
  store.recordingAvailable = 1;
  store.sampleCount = 3;
  store.channels.vertical[2] = 1234;
  store.saved = 1;
  EXPECT_EQ(saveRecoveryTake(records->shared(), now), "") << "a saved take stays where it is";
  EXPECT_FALSE(std::filesystem::exists(dir.file("DATA")));

  std::vector<std::string> saved;
  for (int32_t take = 0; take < 2; ++take) {
    store.saved = 0;
    store.testKind = TestKind::Power;
    const std::string path = saveRecoveryTake(records->shared(), now);
    ASSERT_FALSE(path.empty()) << take;
    EXPECT_EQ(store.saved.load(), 1);
    saved.push_back(path);
    auto read = std::make_unique<MeasurementRecord>();
    ASSERT_EQ(decodeMeasurement(testing::readFile(path), *read), DecodeStatus::Ok) << path;
    EXPECT_EQ(read->sampleCount, 3);
    EXPECT_EQ(read->samples.vertical[2], 1234);
  }
  std::tm local{};
  ASSERT_NE(::localtime_r(&now, &local), nullptr);
  EXPECT_EQ(saved, (std::vector<std::string>{dir.file("DATA/" + recoveryFileName(local, TestKind::Power)),
                                             dir.file("DATA/" + recoveryFileName(local, TestKind::Power, 1))}));
  EXPECT_EQ(takeRecoveredFiles(records->paths), saved);
  EXPECT_TRUE(takeRecoveredFiles(records->paths).empty()) << "named once";

  // A data folder that cannot be made: nothing saved, the reason given, the take still unsaved.
  store.saved = 0;
  records->paths.dataFolder = "/proc/velkora-data";
  std::error_code error;
  EXPECT_EQ(saveRecoveryTake(records->shared(), now, &error), "");
  EXPECT_TRUE(error);
  EXPECT_EQ(store.saved.load(), 0);
}

}  // namespace
}  // namespace velkora
