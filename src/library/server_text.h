#pragma once
// Text as a database server's UTF-8 text columns can hold it. PostgreSQL's text type takes neither a
// NUL byte nor bytes that are not UTF-8, yet a subject's name, its comments and a file's path may hold
// both. Each such byte b is written as the one character U+10FF00 + b (from the last private-use plane);
// a character of that very range typed in a name is written byte for byte the same way. Every other
// character stays as it is, so the server shows ordinary names as they are, the text of a search is
// found inside the text it is part of, and reading gives back the bytes exactly.

#include <string>
#include <string_view>

namespace velkora {

// The bytes as UTF-8 text without NUL.
std::string toServerText(std::string_view bytes);

// The bytes toServerText was given. Text that toServerText cannot have written is returned as it is.
std::string fromServerText(std::string_view text);

}  // namespace velkora
