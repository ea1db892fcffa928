#pragma once
// Ctrl+C (SIGINT), SIGTERM and SIGHUP ask a running test to stop the way the STOP button does, so
// what was recorded is saved instead of lost with the process.

namespace velkora::cli {

// While a guard lives the three signals only set a flag, so a save that is running when one arrives
// finishes; the previous handlers come back when the guard ends. One guard at a time.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Whether one of the signals arrived since the guard was made.
  static bool requested();
};

}  // namespace velkora::cli
