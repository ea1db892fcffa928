#include "acquisition/simulation_option.h"

#include <gtest/gtest.h>

#include "acquisition/plate_devices.h"

namespace velkora {
namespace {

TEST(SimulationOption, TakesTheOptionAndLeavesEverythingElse) {
  std::vector<std::string> args = {"record",     "--simulate", "--output", "x.vkr", "--simulate=stand:60,fast",
                                   "--simulated"};
  SimulationOption option;
  std::string error;
  ASSERT_TRUE(extractSimulationOption(args, option, error)) << error;
  EXPECT_EQ(args, (std::vector<std::string>{"record", "--output", "x.vkr", "--simulated"}));
  ASSERT_TRUE(option.given);
  ASSERT_EQ(option.plan.scenarios.size(), 1u);
  EXPECT_EQ(option.plan.scenarios[0].kind, ScenarioKind::Stand) << "the last option counts";
  EXPECT_TRUE(option.plan.fast);

  std::vector<std::string> bad = {"--simulate=stand:-3"};
  EXPECT_FALSE(extractSimulationOption(bad, option, error));
  EXPECT_NE(error.find("--simulate"), std::string::npos);

  SimulationOption none;
  std::vector<std::string> plain = {"--output", "a"};
  ASSERT_TRUE(extractSimulationOption(plain, none, error));
  EXPECT_FALSE(none.given);
}

TEST(SimulationOption, FactoryReplacesOnlyTheUsbPlate) {
  SystemTransportFactory system({.sysfsTtyRoot = "/nonexistent", .serialPortPrefix = "/nonexistent/ttyS"});
  SimulationOption option;
  std::string error;
  ASSERT_TRUE(takeSimulationOption("--simulate=empty", option, error));
  auto simulated = makeTransportFactory(option, system);
  EXPECT_TRUE(simulated->usbTransport()->probe());
  EXPECT_EQ(simulated->serialTransport(0)->open(), TransportStatus::NoDevice);
  auto real = makeTransportFactory(SimulationOption{}, system);
  EXPECT_FALSE(real->usbTransport()->probe());
}

}  // namespace
}  // namespace velkora
