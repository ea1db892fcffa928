#include "library/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace velkora {
namespace {

TEST(Sha256, StandardVectors) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrst"
       "u",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& c : cases) EXPECT_EQ(contentHash(c.message), c.digest) << c.message.size() << " bytes";
}

TEST(Sha256, AnySplitOfTheBytesGivesTheSameDigest) {
  // Lengths around the padding boundaries (55, 56, 63, 64 bytes) and every split point of each.
  std::string bytes;
  for (int k = 0; k < 200; ++k) bytes.push_back(static_cast<char>((k * 37 + 11) & 0xFF));
  for (size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
    const std::string message = bytes.substr(0, length);
    const std::string whole = contentHash(message);
    for (size_t split = 0; split <= length; ++split) {
      Sha256 sha;
      sha.update(std::string_view(message).substr(0, split));
      sha.update(std::string_view(message).substr(split));
      ASSERT_EQ(toHex(sha.finish()), whole) << "length " << length << " split " << split;
    }
  }
}

}  // namespace
}  // namespace velkora
