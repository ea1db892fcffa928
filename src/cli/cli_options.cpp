#include "cli/cli_options.h"

#include "cli/cli_files.h"
#include "model/number_text.h"

namespace velkora::cli {

CLI::Validator wholeNumber(long long min, long long max) {
  const std::string range = std::to_string(min) + " to " + std::to_string(max);
  return CLI::Validator(
      [min, max, range](std::string& text) -> std::string {
        long long value = 0;
        if (!parseNumber(text, value) || value < min || value > max) return "needs a whole number from " + range;
        text = std::to_string(value);
        return {};
      },
      "", "whole number from " + range);
}

CLI::Validator nonEmpty() {
  return CLI::Validator([](std::string& text) -> std::string { return text.empty() ? "needs a value" : ""; }, "",
                        "not empty");
}

CLI::Option* addFileArgument(CLI::App& command, std::string& path) {
  return command.add_option("FILE", path, "the measurement file")->required()->type_name("")->check(nonEmpty());
}

CLI::Option* addKindOption(CLI::App& command, std::optional<TestKind>& kind) {
  return command
      .add_option_function<std::string>(
          "--kind", [&kind](const std::string& text) { kind = parseTestKind(text); },
          "read the file as a force or a power test, whatever its name ends in")
      ->check(CLI::IsMember({"force", "power"}).description(""))
      ->type_name("force|power");
}

}  // namespace velkora::cli
