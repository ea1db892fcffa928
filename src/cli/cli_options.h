#pragma once
// Options and arguments that several velkora-cli commands share, and the value checks CLI11 runs on
// them before a command starts.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "acquisition/measurement_store.h"

namespace velkora::cli {

// Accepts a whole number in decimal from `min` to `max` and rewrites it in plain digits, so the
// conversion CLI11 makes afterwards (which would read "010" as octal) sees what the user meant. Give it
// to Option::transform, which lets it rewrite the value (Option::check would hand it a copy).
CLI::Validator wholeNumber(long long min, long long max);

// Refuses an empty value.
CLI::Validator nonEmpty();

// FILE: the measurement file the command reads.
CLI::Option* addFileArgument(CLI::App& command, std::string& path);

// --kind force|power: the kind of test the file is read as, whatever its name says.
CLI::Option* addKindOption(CLI::App& command, std::optional<TestKind>& kind);

}  // namespace velkora::cli
