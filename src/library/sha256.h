#pragma once
// SHA-256 (FIPS 180-4) of byte strings: the content hash that identifies a measurement file's bytes in
// the library, whatever its name or place.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkora {

class Sha256 {
 public:
  using Digest = std::array<uint8_t, 32>;

  Sha256();
  // Feeds more bytes; any split of the same bytes gives the same digest.
  void update(std::string_view bytes);
  // The digest of everything fed; the object must not be fed afterwards.
  Digest finish();

 private:
  void compress(const uint8_t* block);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;  // bytes fed
};

// The digest as 64 lowercase hexadecimal digits.
std::string toHex(const Sha256::Digest& digest);

// The hash the library keeps for a file: SHA-256 of its bytes as lowercase hex.
std::string contentHash(std::string_view bytes);

}  // namespace velkora
