#pragma once
// Little-endian field-by-field encoding of the binary files, and the atomic save that writes a
// temporary file beside the target and renames it over the target only when everything was written.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>

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

// Why a file could not be read or written: the system's error numbers (std::generic_category) and
// the reasons the system has no number for.
enum class FileError {
  NotRegularFile = 1,
  // The folder exists but its file system makes no files in it (/proc answers "No such file or
  // directory" for every new name).
  FolderTakesNoNewFiles,
};
const std::error_category& fileErrorCategory();
std::error_code make_error_code(FileError error);

// Writes `contents` to a temporary file with a short hidden name (".velkora-" and six characters) in
// the target's folder, flushes it to disk and renames it over the target only when everything was
// written; on any failure the temporary file is removed and the previous file stays as it was.
// A symbolic link stays a link: the file it finally points to is the one replaced. An existing file
// keeps its permission bits and, where the program may set them, its owner and group; a new file gets
// the usual mode under the umask. Refuses a target that is not a regular file or that the program may
// not write. `error` (optional) receives the reason of a failure.
bool writeFileAtomically(const std::string& path, std::string_view contents, std::error_code* error = nullptr);

// Finds out, without changing anything that stays, whether writeFileAtomically(path) can succeed: the
// target (after symbolic links) is a regular file the program may replace, or a name the folder
// accepts for a new file, and the temporary file can be created beside it. False with the reason.
bool checkFileReplaceable(const std::string& path, std::error_code& error);

// Reads a whole file. The file is opened without blocking and refused unless it is a regular file, so
// a FIFO or a device never hangs the caller. Returns false when it cannot be opened or read;
// `contents` is then empty and `error` (optional) has the reason. Files longer than `maxSize` are read
// only up to `maxSize` bytes plus one, so callers can reject them.
bool readWholeFile(const std::string& path, std::string& contents, size_t maxSize = size_t(1) << 30,
                   std::error_code* error = nullptr);

// Whether two paths name the same existing file (after symbolic links, whatever the spelling).
bool sameExistingFile(const std::string& a, const std::string& b);

}  // namespace velkora

template <>
struct std::is_error_code_enum<velkora::FileError> : std::true_type {};
