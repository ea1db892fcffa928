#include "cli/stop_signals.h"

#include <signal.h>

#include <atomic>
#include <cstddef>
#include <iterator>

namespace velkora::cli {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> stopRequested{0};
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction previousActions[std::size(kStopSignals)];
bool installed[std::size(kStopSignals)] = {};

extern "C" void onStopSignal(int) { stopRequested.store(1, std::memory_order_relaxed); }

}  // namespace

StopSignals::StopSignals() {
  stopRequested.store(0);
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESTART;  // reads and writes carry on where the signal found them
  for (size_t i = 0; i < std::size(kStopSignals); ++i)
    installed[i] = ::sigaction(kStopSignals[i], &action, &previousActions[i]) == 0;
}

StopSignals::~StopSignals() {
  for (size_t i = 0; i < std::size(kStopSignals); ++i)
    if (installed[i]) ::sigaction(kStopSignals[i], &previousActions[i], nullptr);
}

bool StopSignals::requested() { return stopRequested.load(std::memory_order_relaxed) != 0; }

}  // namespace velkora::cli
