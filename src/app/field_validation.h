#pragma once
// The rules of the dialogs' fields: how a typed integer is read, the ranges and length limits of
// the fields, and the prompt each failure shows. The dialogs check their fields in a fixed order and
// stop at the first one that fails.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/range.h"

namespace velkora {

// The Subject dialog's number fields.
inline constexpr Range kAgeRange{0, 130};
inline constexpr Range kWeightRange{0, 200};
inline constexpr Range kHeightRange{0, 300};

// Reads an integer as the dialogs accept it: optional blanks, an optional sign, at least one digit,
// optional blanks, nothing else, and within the 32-bit range.
std::optional<int32_t> parseIntegerField(std::string_view text);

// Each check returns the prompt to show, or nothing when the field is good; `value` is set then.
std::optional<std::string> checkInteger(std::string_view text, int32_t& value);
std::optional<std::string> checkIntegerInRange(std::string_view text, Range range, int32_t& value);
std::optional<std::string> checkTextLength(std::string_view utf8, int32_t maxCharacters);

// The first axis row (0-based) whose minimum is not below its maximum, or -1 when every row has a
// range: the graph scales divide by the difference.
int32_t firstAxisRowWithoutRange(const int32_t* minimums, const int32_t* maximums, int32_t rows);

}  // namespace velkora
