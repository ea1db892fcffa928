#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "support/cli_runner.h"

namespace velkora::cli {
namespace {

using Result = velkora::testing::CliResult;

Result decode(const std::string& bytes, std::vector<std::string> args = {}) {
  args.insert(args.begin(), "decode");
  return velkora::testing::runCommandLine(args, bytes);
}

TEST(DecodeCommand, PrintsOneLinePerFrameAcrossResynchronisation) {
  // A clean frame, a broken one, a frame after a repeated first byte, and the maximum values.
  const std::string stream(
      "\x05\xC3\x60\x81"
      "\x05\x05\xC3\x60\x81"
      "\x05\x05\x05\xC3\x60\x81"
      "\x3F\xFF\x7F\xBF",
      19);
  Result r = decode(stream);
  EXPECT_EQ(r.code, kExitOk);
  EXPECT_EQ(r.out, "323 2049\n323 2049\n4095 4095\n");

  r = decode(stream, {"--offsets", "148,2048"});
  EXPECT_EQ(r.out, "175 1\n175 1\n3947 2047\n");
  r = decode(std::string("\x00\xC0\x40\x80", 4), {"--offsets=148,2048"});
  EXPECT_EQ(r.out, "-148 -2048\n");

  // A stream longer than one read buffer, cut inside a frame at the end.
  std::string many;
  for (int i = 0; i < 3000; ++i) many += std::string("\x01\xC2\x43\x84", 4);
  many += "\x01\xC2";
  r = decode(many);
  EXPECT_EQ(r.out.size(), 3000u * std::string("66 196\n").size());
  EXPECT_EQ(r.out.substr(0, 7), "66 196\n");
}

TEST(DecodeCommand, RefusesWrongOffsets) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--offsets"}, {"--offsets", "148"}, {"--offsets", "a,b"}, {"--offsets", "1,2,3"}, {"extra"}}) {
    const Result r = decode("", args);
    EXPECT_EQ(r.code, kExitUsage) << ::testing::PrintToString(args);
    EXPECT_FALSE(r.err.empty());
    EXPECT_TRUE(r.out.empty());
  }
}

}  // namespace
}  // namespace velkora::cli
