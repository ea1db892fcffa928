#pragma once
// Transports and a pseudo-terminal for the plate link tests.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/frame_decoder.h"
#include "acquisition/plate_link.h"
#include "acquisition/plate_transport.h"

namespace velkora::testing {

// Bytes the test hands over at will; reads wait for them up to the timeout.
class FeedTransport final : public PlateTransport {
 public:
  TransportStatus open() override {
    std::lock_guard lock(mutex_);
    ++opens;
    return failFromOpen != 0 && opens >= failFromOpen ? TransportStatus::Io : TransportStatus::Ok;
  }
  ReadResult read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) override {
    std::unique_lock lock(mutex_);
    ready_.wait_for(lock, timeout, [&] { return !bytes_.empty() || hungUp_; });
    if (bytes_.empty()) return {hungUp_ ? TransportStatus::Disconnected : TransportStatus::Timeout, 0};
    size_t n = 0;
    while (n < capacity && !bytes_.empty()) {
      buffer[n++] = bytes_.front();
      bytes_.pop_front();
    }
    return {TransportStatus::Ok, n};
  }
  void close() override {
    std::lock_guard lock(mutex_);
    ++closes;
  }
  void push(const std::vector<uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    ready_.notify_all();
  }
  void hangUp() {
    std::lock_guard lock(mutex_);
    hungUp_ = true;
    ready_.notify_all();
  }

  int failFromOpen = 0;  // the first open (counting from 1) that fails; 0: none does
  int opens = 0;
  int closes = 0;

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<uint8_t> bytes_;
  bool hungUp_ = false;
};

// Serves a fixed byte stream in chunks, then reports the plate gone.
class MemoryTransport final : public PlateTransport {
 public:
  MemoryTransport(const std::vector<uint8_t>& bytes, size_t chunk) : bytes_(bytes), chunk_(chunk) {}
  TransportStatus open() override { return TransportStatus::Ok; }
  ReadResult read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds) override {
    if (position_ >= bytes_.size()) return {TransportStatus::Disconnected, 0};
    const size_t n = std::min({capacity, chunk_, bytes_.size() - position_});
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return {TransportStatus::Ok, n};
  }
  void close() override {}

 private:
  const std::vector<uint8_t>& bytes_;
  size_t chunk_;
  size_t position_ = 0;
};

// Hands out transports made by the test, and remembers what the link asked for.
class ScriptedFactory final : public TransportFactory {
 public:
  std::unique_ptr<PlateTransport> usbTransport() override {
    ++usbRequests;
    return makeUsb();
  }
  std::unique_ptr<PlateTransport> serialTransport(int32_t portIndex) override {
    serialPorts.push_back(portIndex);
    return makeSerial(portIndex);
  }
  std::function<std::unique_ptr<PlateTransport>()> makeUsb;
  std::function<std::unique_ptr<PlateTransport>(int32_t)> makeSerial;
  int usbRequests = 0;
  std::vector<int32_t> serialPorts;
};

// Forwards to a transport the test keeps, so the test can drive it while the link owns the wrapper.
class BorrowedTransport final : public PlateTransport {
 public:
  explicit BorrowedTransport(PlateTransport& target) : target_(target) {}
  TransportStatus open() override { return target_.open(); }
  ReadResult read(uint8_t* b, size_t c, std::chrono::milliseconds t) override { return target_.read(b, c, t); }
  void close() override { target_.close(); }

 private:
  PlateTransport& target_;
};

// The master side of a pseudo-terminal; the slave's path is what the link opens.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
      throw std::runtime_error("no pseudo-terminal");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("ptsname_r failed");
    slavePath_ = name;
  }
  ~PseudoTerminal() { hangUp(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  void write(const uint8_t* bytes, size_t count) {
    while (count > 0) {
      const ssize_t n = ::write(master_, bytes, count);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        throw std::runtime_error("write to the pseudo-terminal failed");
      }
      bytes += n;
      count -= static_cast<size_t>(n);
    }
  }
  void write(const std::vector<uint8_t>& bytes) { write(bytes.data(), bytes.size()); }
  void hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// The frames of `values` (vertical, horizontal) as the plate sends them.
inline std::vector<uint8_t> frameBytes(const std::vector<std::pair<int32_t, int32_t>>& values) {
  std::vector<uint8_t> bytes(values.size() * 4);
  for (size_t i = 0; i < values.size(); ++i) encodeFrame(values[i].first, values[i].second, &bytes[4 * i]);
  return bytes;
}

// Waits (generously: CI machines are slow) until `done` holds; false on time-out.
inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A store, its recorder and decoder, and a link over a factory: what a test session needs.
struct LinkRig {
  explicit LinkRig(TransportFactory& factory) : link(decoder, recorder, factory) {}
  CalibrationSet calibration;
  std::unique_ptr<MeasurementStore> store = std::make_unique<MeasurementStore>();
  SampleRecorder recorder{calibration, store->repetitions};
  FrameDecoder decoder{recorder};
  PlateLink link;
  Recording& rec() { return store->recording; }
};

}  // namespace velkora::testing
