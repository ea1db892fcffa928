#pragma once
// A closed range of whole numbers, the one type every bounded field and parameter uses: the dialogs'
// fields, the test parameters, the command line's options.

#include <cstdint>

namespace velkora {

struct Range {
  int32_t min;
  int32_t max;
  constexpr bool contains(int64_t value) const { return value >= min && value <= max; }
};

}  // namespace velkora
