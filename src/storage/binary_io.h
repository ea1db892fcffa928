#pragma once
// Little-endian field-by-field encoding of the binary files, and the atomic save that writes a
// temporary file beside the target and renames it over the target only when everything was written.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace velkora {

// Appends little-endian values to a byte string.
class ByteWriter {
 public:
  explicit ByteWriter(std::string& out) : out_(out) {}
  void bytes(const void* data, size_t size) { out_.append(static_cast<const char*>(data), size); }
  void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void u16(uint16_t v) {
    const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out_.append(b, 2);
  }
  void u32(uint32_t v) {
    const char b[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                       static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    out_.append(b, 4);
  }
  void u64(uint64_t v) {
    u32(static_cast<uint32_t>(v));
    u32(static_cast<uint32_t>(v >> 32));
  }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }

 private:
  std::string& out_;
};

// Reads little-endian values from a byte range; every read reports whether the bytes were there and
// never reads past the end.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit ByteReader(std::string_view s) : ByteReader(reinterpret_cast<const uint8_t*>(s.data()), s.size()) {}

  size_t remaining() const { return size_ - pos_; }
  size_t position() const { return pos_; }
  bool bytes(void* out, size_t n) {
    if (remaining() < n) return false;
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  bool skip(size_t n) {
    if (remaining() < n) return false;
    pos_ += n;
    return true;
  }
  const uint8_t* current() const { return data_ + pos_; }
  bool u8(uint8_t& v) { return bytes(&v, 1); }
  bool u16(uint16_t& v) {
    uint8_t b[2];
    if (!bytes(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool u32(uint32_t& v) {
    uint8_t b[4];
    if (!bytes(b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
        (static_cast<uint32_t>(b[3]) << 24);
    return true;
  }
  bool u64(uint64_t& v) {
    uint32_t lo, hi;
    if (!u32(lo) || !u32(hi)) return false;
    v = (static_cast<uint64_t>(hi) << 32) | lo;
    return true;
  }
  bool i32(int32_t& v) {
    uint32_t u;
    if (!u32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool f32(float& v) {
    uint32_t u;
    if (!u32(u)) return false;
    std::memcpy(&v, &u, 4);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Decodes little-endian values stored in place (for images read as whole blocks).
inline int32_t loadI32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
inline float loadF32(const uint8_t* p) {
  const uint32_t u = static_cast<uint32_t>(loadI32(p));
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

// Writes `contents` to a temporary file in the target's directory, flushes it to disk and renames it
// over `path`. On any failure the temporary file is removed and the previous file stays intact.
bool writeFileAtomically(const std::string& path, std::string_view contents);

// Reads a whole file. Returns false when it cannot be opened or read; `contents` is then empty.
// Files longer than `maxSize` are read only up to `maxSize` bytes plus one, so callers can reject them.
bool readWholeFile(const std::string& path, std::string& contents, size_t maxSize = size_t(1) << 30);

}  // namespace velkora
