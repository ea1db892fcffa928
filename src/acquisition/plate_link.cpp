#include "acquisition/plate_link.h"

#include <system_error>

namespace velkora {

bool PlateLink::startLink(Recording& recording, const std::function<void()>& afterOpen) {
  if (running()) return false;

  recorder_.setActive(&recording);
  recording.stopped.store(0, std::memory_order_release);
  recording.sampleCount.store(0, std::memory_order_release);
  recording.waiting.store(recording.waitForStart != 0 ? 1 : 0, std::memory_order_release);
  plateLost_.store(false, std::memory_order_release);
  lossStatus_.store(TransportStatus::Ok, std::memory_order_release);
  bytesReceived_.store(0, std::memory_order_relaxed);

  if (recording.transport != 0) {
    serialRunning_.store(true, std::memory_order_release);
    transport_ = transports_.serialTransport(recording.portIndex);
    return openAndRun(afterOpen);
  }
  // The USB plate must be present before the link counts as running.
  std::unique_ptr<PlateTransport> usb = transports_.usbTransport();
  if (!usb->probe()) return false;
  usbRunning_.store(true, std::memory_order_release);
  transport_ = std::move(usb);
  return openAndRun(afterOpen);
}

bool PlateLink::openAndRun(const std::function<void()>& afterOpen) {
  if (transport_->open() != TransportStatus::Ok) return false;
  if (afterOpen) afterOpen();
  stopRequest_.store(false, std::memory_order_release);
  try {
    reader_ = std::thread([this] { readerLoop(); });
  } catch (const std::system_error&) {
    transport_->close();
    return false;
  }
  return true;
}

void PlateLink::stopLink() {
  if (!running()) return;
  if (reader_.joinable()) {
    stopRequest_.store(true, std::memory_order_release);
    if (transport_) transport_->wake();
    reader_.join();
  }
  if (transport_) {
    transport_->close();
    transport_.reset();
  }
  usbRunning_.store(false, std::memory_order_release);
  serialRunning_.store(false, std::memory_order_release);
}

void PlateLink::readerLoop() {
  using Clock = std::chrono::steady_clock;
  const Clock::duration silenceLimit = silenceLimit_;
  Clock::time_point lastByte = Clock::now();
  auto lose = [this](TransportStatus why) {
    // Nothing more will come; the recording keeps what it has and the user is told.
    lossStatus_.store(why, std::memory_order_release);
    plateLost_.store(true, std::memory_order_release);
  };
  while (!stopRequest_.load(std::memory_order_acquire)) {
    const ReadResult got = transport_->read(buffer_, sizeof buffer_, kLinkReadTimeout);
    switch (got.status) {
      case TransportStatus::Ok:
        decoder_.feed(buffer_, got.count);
        bytesReceived_.fetch_add(got.count, std::memory_order_relaxed);
        if (got.count > 0) {
          lastByte = Clock::now();
          break;
        }
        [[fallthrough]];
      case TransportStatus::Timeout:
        // A silent plate is as gone as an unplugged one, whoever is waiting for its samples.
        if (Clock::now() - lastByte >= silenceLimit) {
          lose(TransportStatus::Timeout);
          return;
        }
        break;
      case TransportStatus::NoDevice:
      case TransportStatus::Disconnected:
      case TransportStatus::Io:
        lose(got.status);
        return;
    }
  }
}

}  // namespace velkora
