#pragma once
// Strings in measurement files: a length prefix followed by the characters, no terminator.
//
// Prefix: one byte when the length is below 255; otherwise 0xFF and a uint16 below 0xFFFE; otherwise
// 0xFF, 0xFFFF and a uint32 below 0xFFFFFFFF; otherwise 0xFF, 0xFFFF, 0xFFFFFFFF and a uint64.
// Wide form: 0xFF, the uint16 0xFFFE, then a prefix of the same scheme counting UTF-16LE units.
//
// The program keeps text in UTF-8. Plain ASCII is written as one-byte characters; anything else in
// the wide form so no character is lost. One-byte strings from files are Windows-1252 text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "storage/binary_io.h"

namespace velkora {

// Appends the length prefix alone (used for the one-byte and, after the wide marker, the wide form).
void writeArchiveLength(ByteWriter& out, uint64_t length);

// Appends `utf8` in the archive encoding. Invalid UTF-8 sequences are written as U+FFFD.
void writeArchiveString(ByteWriter& out, std::string_view utf8);

// Reads one string and converts it to UTF-8. Returns false when the bytes end before the string does;
// a length longer than the bytes left is detected before anything is allocated.
bool readArchiveString(ByteReader& in, std::string& utf8);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become the C1 controls of the same value, as Windows itself maps them.
std::string cp1252ToUtf8(std::string_view bytes);

// `count` UTF-16LE code units to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(const uint8_t* units, size_t count);

// UTF-8 to UTF-16 code units (surrogate pairs above U+FFFF); invalid sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);

}  // namespace velkora
