#pragma once
// Texts from a file shown on a terminal, one value per line, whatever the file holds.

#include <string>
#include <string_view>

namespace velkora::cli {

// Escapes everything that could break the line or change how a terminal shows what follows: a
// backslash becomes \\, the C0 controls and DEL become \xHH, bytes that are not UTF-8 \xHH too; the C1
// controls (U+0080 to U+009F), the bidirectional embeddings, overrides and isolates (U+202A to U+202E,
// U+2066 to U+2069) and the line and paragraph separators (U+2028, U+2029) become \uXXXX. Everything
// else, plain and accented letters alike, stays as it is.
std::string escapeText(std::string_view utf8);

}  // namespace velkora::cli
