// 8-bit texts as fixtures send and receive them, converted to and from UTF-8 strings.
// The tool reads them in the system's 8-bit code page as the platform reports it: Windows-1252
// where that is the code page, ISO-8859-1 otherwise (byte n is U+00nn there, so a text read from
// a fixture round-trips unchanged).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class TAnsiCodePage { Latin1, Windows1252 };

// The code page of the running system.
TAnsiCodePage SystemAnsiCodePage();
// The table for a code page number: 1252 is Windows-1252, every other one is read as ISO-8859-1.
TAnsiCodePage AnsiCodePageFor(std::uint32_t CodePage);

// Each byte becomes one character; a zero byte becomes U+0000.
std::string AnsiToUtf8(const std::uint8_t* Data, std::size_t Len, TAnsiCodePage CodePage);
// Each character that the code page lacks, and each byte of malformed UTF-8, becomes '?'.
std::string Utf8ToAnsi(std::string_view Utf8, TAnsiCodePage CodePage);
