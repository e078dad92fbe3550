// 8-bit texts as fixtures send and receive them, converted to and from UTF-8 strings.
// The tool reads them in the system's 8-bit code page: where the system converts its code page
// itself (Windows, any code page, double-byte ones too) it does so; elsewhere the tool's own table
// for Windows-1252 serves. ISO-8859-1 (byte n is U+00nn) is kept for whoever asks for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum class TAnsiCodePage { Latin1, Windows1252, System };

// How the running system's texts are read: System where the system converts, else the table for
// its code page.
TAnsiCodePage SystemAnsiCodePage();
// The tool's own table for a code page number: 1252 is Windows-1252, every other one is read as
// ISO-8859-1.
TAnsiCodePage AnsiCodePageFor(std::uint32_t CodePage);

// With a table, each byte becomes one character; a zero byte becomes U+0000 in every case.
std::string AnsiToUtf8(const std::uint8_t* Data, std::size_t Len, TAnsiCodePage CodePage);
// Each character that the code page lacks, and each byte of malformed UTF-8, becomes '?'.
std::string Utf8ToAnsi(std::string_view Utf8, TAnsiCodePage CodePage);
