#pragma once
// Axis titles of the curve graph's parameters 0 to 5 (the force channels and the kinematic channels
// of the same number).

#include <array>
#include <cstdint>
#include <string_view>

namespace velkora {

// Parameter 2 is the vector force for every test, the power test included.
inline constexpr std::array<std::string_view, 6> kGraphParameterTitles = {
    "F vertical(N)", "F horizontal(N)", "Fvector(N)", "v (m/s)", "h (cm)", "P (W)"};

// The title of a parameter; empty for a number outside 0..5.
constexpr std::string_view graphParameterTitle(int32_t parameter) {
  return parameter >= 0 && parameter < static_cast<int32_t>(kGraphParameterTitles.size())
             ? kGraphParameterTitles[static_cast<size_t>(parameter)]
             : std::string_view{};
}

}  // namespace velkora
