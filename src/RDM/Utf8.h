// Minimal UTF-8 reading and writing for the text conversions of this library.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reads the character at Pos and advances Pos past it. For malformed input (a stray or missing
// continuation byte, an overlong form, a surrogate, a value above U+10FFFF) it advances by one
// byte and returns false.
bool NextCodePoint(std::string_view Text, std::size_t& Pos, char32_t& CodePoint);

void AppendUtf8(std::string& Out, char32_t CodePoint);
