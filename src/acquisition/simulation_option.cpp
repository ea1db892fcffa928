#include "acquisition/simulation_option.h"

namespace velkora {

bool takeSimulationOption(std::string_view arg, SimulationOption& option, std::string& error) {
  if (arg.substr(0, kSimulateOption.size()) != kSimulateOption) return false;
  std::string_view rest = arg.substr(kSimulateOption.size());
  if (!rest.empty() && rest.front() != '=') return false;  // some other option
  if (!rest.empty()) rest.remove_prefix(1);
  std::string reason;
  SimulationPlan plan;
  if (!parseSimulation(rest, plan, reason)) {
    error = "--simulate: " + reason;
    return true;
  }
  option.given = true;
  option.plan = std::move(plan);
  return true;
}

bool extractSimulationOption(std::vector<std::string>& args, SimulationOption& option, std::string& error) {
  error.clear();
  for (auto it = args.begin(); it != args.end();) {
    if (takeSimulationOption(*it, option, error)) {
      if (!error.empty()) return false;
      it = args.erase(it);
    } else {
      ++it;
    }
  }
  return true;
}

std::unique_ptr<TransportFactory> makeTransportFactory(const SimulationOption& option, TransportFactory& system) {
  if (!option.given) {
    // A thin forwarder, so the caller owns one kind of object either way.
    struct Forward final : TransportFactory {
      explicit Forward(TransportFactory& f) : target(f) {}
      std::unique_ptr<PlateTransport> usbTransport() override { return target.usbTransport(); }
      std::unique_ptr<PlateTransport> serialTransport(int32_t portIndex) override {
        return target.serialTransport(portIndex);
      }
      TransportFactory& target;
    };
    return std::make_unique<Forward>(system);
  }
  return std::make_unique<SimulatedTransportFactory>(option.plan, system);
}

}  // namespace velkora
