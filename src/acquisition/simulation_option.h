#pragma once
// The option --simulate[=SCENARIO] of the desktop program and velkora-cli: the USB plate is replaced
// by the simulated plate playing SCENARIO (see simulated_plate.h for the syntax).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/simulated_plate.h"

namespace velkora {

inline constexpr std::string_view kSimulateOption = "--simulate";

struct SimulationOption {
  bool given = false;
  SimulationPlan plan;
};

// Whether `arg` is the option "--simulate" or "--simulate=SCENARIO". When it is, parses the
// scenario into `option` and returns true; a malformed scenario leaves `error` non-empty. The
// scenario must follow '='; a separate argument is not taken, so "--simulate FILE" keeps FILE.
bool takeSimulationOption(std::string_view arg, SimulationOption& option, std::string& error);

// Removes every --simulate option from `args` (the last one counts). False with `error` set when a
// scenario is malformed.
bool extractSimulationOption(std::vector<std::string>& args, SimulationOption& option, std::string& error);

// The transports for a run: the system's, or the simulation in place of the USB plate (serial ports
// stay real). `system` must outlive the returned factory.
std::unique_ptr<TransportFactory> makeTransportFactory(const SimulationOption& option, TransportFactory& system);

}  // namespace velkora
