// The program's own resources: the start sound and the recent-file list kept between runs.

#include <gtest/gtest.h>

#include <QFile>
#include <cstring>

#include "desktop/recent_files.h"
#include "desktop/resources_init.h"
#include "desktop/start_sound.h"
#include "support/temp_dir.h"

namespace velkora {
namespace {

uint32_t le32(const QByteArray& b, int at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}
uint16_t le16(const QByteArray& b, int at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

TEST(Resources, TheStartSoundIsAQuarterSecondOf8BitMonoPcmAt11025Hz) {
  initResources();
  QFile file(QString::fromLatin1(kStartSoundResource));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray wav = file.readAll();
  ASSERT_GE(wav.size(), 44);
  EXPECT_EQ(std::memcmp(wav.constData(), "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(wav.constData() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(le16(wav, 20), 1) << "PCM";
  EXPECT_EQ(le16(wav, 22), 1) << "mono";
  EXPECT_EQ(le32(wav, 24), 11025u);
  EXPECT_EQ(le16(wav, 34), 8) << "bits";
  EXPECT_EQ(std::memcmp(wav.constData() + 36, "data", 4), 0);
  const uint32_t samples = le32(wav, 40);
  EXPECT_EQ(le32(wav, 4), static_cast<uint32_t>(wav.size() - 8));
  EXPECT_NEAR(samples / 11025.0, 0.25, 0.01);
  // Not silence: the samples swing around the 8-bit middle.
  int lowest = 255, highest = 0;
  for (uint32_t i = 0; i < samples; ++i) {
    lowest = std::min<int>(lowest, static_cast<uint8_t>(wav[44 + static_cast<int>(i)]));
    highest = std::max<int>(highest, static_cast<uint8_t>(wav[44 + static_cast<int>(i)]));
  }
  EXPECT_LT(lowest, 80);
  EXPECT_GT(highest, 176);

  StartSound sound;
  EXPECT_TRUE(sound.load());
  StartSound missing;
  EXPECT_FALSE(missing.load(QStringLiteral(":/sounds/none")));
  missing.play();  // nothing to play, nothing happens
}

TEST(Resources, TheRecentFileListKeepsFourNewestFirstAcrossRuns) {
  testing::TempDir dir;
  const QString ini = QString::fromStdString(dir.file("velkora.ini"));
  {
    RecentFileList list(ini);
    for (const char* f : {"/a.vkr", "/b.vkr", "/c.tsr", "/d.vkr", "/e.vkr", "/b.vkr"}) list.add(QString::fromLatin1(f));
    EXPECT_EQ(list.files(), (QStringList{"/b.vkr", "/e.vkr", "/d.vkr", "/c.tsr"}));
    list.remove(QStringLiteral("/d.vkr"));
  }
  RecentFileList again(ini);
  EXPECT_EQ(again.files(), (QStringList{"/b.vkr", "/e.vkr", "/c.tsr"}));
  RecentFileList transient;
  transient.add(QStringLiteral("/x.vkr"));
  EXPECT_EQ(transient.files(), QStringList{"/x.vkr"});
}

}  // namespace
}  // namespace velkora
