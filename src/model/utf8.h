#pragma once
// UTF-8 as the program keeps every text: one decoder for everything that reads it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkora {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The well-formed UTF-8 sequence at the start of `text`: its length in bytes, with the code point in
// `codePoint`. 0 for anything malformed (a stray continuation byte, a sequence cut short, an overlong
// form, a surrogate, beyond U+10FFFF), and for empty text.
size_t decodeUtf8(std::string_view text, char32_t& codePoint);

// Appends the UTF-8 form of a code point (the caller passes a valid one).
void appendUtf8(std::string& out, char32_t codePoint);

// The length of a character at `text[i]` that would break or turn a line shown or exported: C0, DEL,
// the C1 controls U+0080..U+009F, the line and paragraph separators U+2028/U+2029, the bidirectional
// embeddings and overrides U+202A..U+202E and the isolates U+2066..U+2069; 0 for any other.
size_t lineBreakingControlLength(std::string_view text, size_t i);

// Whether every byte of `text` belongs to a well-formed UTF-8 sequence.
bool isWellFormedUtf8(std::string_view text);

// Characters (code points) of UTF-8 text; every byte that starts no well-formed sequence counts one.
int32_t utf8Length(std::string_view text);

}  // namespace velkora
