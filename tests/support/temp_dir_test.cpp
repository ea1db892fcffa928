#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace velkora::testing {

TEST(TempDir, RemovesItsFilesWhenDone) {
  std::filesystem::path where;
  {
    TempDir dir;
    where = dir.path();
    writeFile(dir.file("a"), "xyz");
    EXPECT_EQ(readFile(dir.file("a")), "xyz");
  }
  EXPECT_FALSE(std::filesystem::exists(where));
}

}  // namespace velkora::testing
