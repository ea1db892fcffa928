#pragma once
// The link to the plate: starts a transport for one recording at a time and runs the reader thread
// that feeds every received byte, in order, to the frame decoder. The reader is the only caller of
// the decoder and recorder while it runs. Start and stop are called from one thread (the user
// interface); stopping never waits for data, because every read is bounded by a short timeout.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "acquisition/frame_decoder.h"
#include "acquisition/plate_transport.h"

namespace velkora {

// How long one read may wait; bounds the time stopLink takes.
inline constexpr std::chrono::milliseconds kLinkReadTimeout{10};
// The plate streams 1000 frames a second without pause: a running link that receives no byte for this
// long has lost its plate.
inline constexpr std::chrono::milliseconds kPlateSilenceLimit{1000};

class PlateLink {
 public:
  // The link feeds `decoder`, whose recorder is `recorder`; the recorder's active recording is the
  // one the last start chose. `transports` creates the transport of each start.
  PlateLink(FrameDecoder& decoder, SampleRecorder& recorder, TransportFactory& transports)
      : decoder_(decoder), recorder_(recorder), transports_(transports) {}
  ~PlateLink() { stopLink(); }
  PlateLink(const PlateLink&) = delete;
  PlateLink& operator=(const PlateLink&) = delete;

  // Makes `recording` active and resets it (stopped 0, sampleCount 0, waiting from waitForStart),
  // then opens the transport its `transport` field asks for (0: the USB plate, else the serial port
  // portIndex) and starts the reader. Fails while a link runs, leaving that link untouched. A start
  // that fails after the transport was chosen leaves the link counted as running until stopLink.
  // `afterOpen`, when given, runs on the calling thread once the transport is open and before the
  // reader starts: what it prepares is complete before the first frame reaches the recorder, and it
  // does not run at all when the transport cannot be opened.
  bool startLink(Recording& recording, const std::function<void()>& afterOpen = {});
  // Ends the reader (at most one read timeout plus the join) and closes the transport. Does nothing
  // when no link runs.
  void stopLink();

  bool usbRunning() const { return usbRunning_.load(std::memory_order_acquire); }
  bool serialRunning() const { return serialRunning_.load(std::memory_order_acquire); }
  bool running() const { return usbRunning() || serialRunning(); }

  // True once the reader ended because the plate went away (unplugged, hung up, device error) or fell
  // silent for the silence limit. What was recorded until then stays in the recording. Cleared by the
  // next start.
  bool plateLost() const { return plateLost_.load(std::memory_order_acquire); }
  // Why the plate was lost; Timeout when it fell silent.
  TransportStatus lossStatus() const { return lossStatus_.load(std::memory_order_acquire); }
  // How long a running link may receive nothing before the plate counts as lost (kPlateSilenceLimit
  // unless changed); takes effect at the next start.
  void setSilenceLimit(std::chrono::milliseconds limit) { silenceLimit_ = limit; }
  // Bytes the reader has passed to the decoder since the last start.
  uint64_t bytesReceived() const { return bytesReceived_.load(std::memory_order_relaxed); }

 private:
  bool openAndRun(const std::function<void()>& afterOpen);
  void readerLoop();

  FrameDecoder& decoder_;
  SampleRecorder& recorder_;
  TransportFactory& transports_;
  std::unique_ptr<PlateTransport> transport_;
  std::thread reader_;
  std::atomic<bool> stopRequest_{false};
  std::atomic<bool> usbRunning_{false};
  std::atomic<bool> serialRunning_{false};
  std::atomic<bool> plateLost_{false};
  std::atomic<TransportStatus> lossStatus_{TransportStatus::Ok};
  std::atomic<uint64_t> bytesReceived_{0};
  std::chrono::milliseconds silenceLimit_{kPlateSilenceLimit};  // read by the reader, set while stopped
  uint8_t buffer_[1024];  // the reader's chunk; lives with the link so no read allocates
};

}  // namespace velkora
