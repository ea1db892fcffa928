#pragma once
// The lower half of the plate link: something that delivers the plate's bytes. The link owns one
// transport while it runs and reads it on its reader thread; every read is bounded by a short
// timeout so that a stop request is seen promptly even when the plate is silent or unplugged.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace velkora {

enum class TransportStatus : int32_t {
  Ok = 0,            // bytes were read (possibly none for open/close)
  Timeout = 1,       // nothing arrived within the timeout; the plate may simply be silent
  NoDevice = 2,      // the plate or port does not exist
  Disconnected = 3,  // the plate went away (hang-up, unplugged, end of stream)
  Io = 4,            // any other failure of the device
};

std::string_view transportStatusName(TransportStatus status);

struct ReadResult {
  TransportStatus status = TransportStatus::Ok;
  size_t count = 0;  // bytes placed in the buffer; non-zero only with Ok
};

class PlateTransport {
 public:
  virtual ~PlateTransport() = default;

  // Opens the device and prepares it for reading; Ok on success.
  virtual TransportStatus open() = 0;
  // Waits at most `timeout` for bytes and reads up to `capacity` of them. Never allocates.
  virtual ReadResult read(uint8_t* buffer, size_t capacity, std::chrono::milliseconds timeout) = 0;
  // Closes the device; safe to call when it is not open.
  virtual void close() = 0;
  // Makes a read that is waiting now (or the next one) return at once. Called from another thread
  // by the link's stop, so stopping never waits for the read's timeout.
  virtual void wake() {}
  // Whether the device is there: opens it and closes it again at once.
  virtual bool probe() {
    if (open() != TransportStatus::Ok) return false;
    close();
    return true;
  }
};

// Creates the transports a link start asks for; tests and the simulation substitute their own.
class TransportFactory {
 public:
  virtual ~TransportFactory() = default;
  // The plate's own USB interface.
  virtual std::unique_ptr<PlateTransport> usbTransport() = 0;
  // The serial port "COM1".."COM5" for portIndex 0..4; any other index gives a transport that
  // cannot be opened.
  virtual std::unique_ptr<PlateTransport> serialTransport(int32_t portIndex) = 0;
};

}  // namespace velkora
