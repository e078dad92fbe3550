#include "AnsiText.h"

#include "Platform.h"
#include "Utf8.h"

#include <array>
#include <string_view>
#include <utility>

namespace {

constexpr std::uint32_t SystemCodePage = 0; // the system's ANSI code page, as the system names it

// Windows-1252 differs from ISO-8859-1 only in 0x80-0x9F. The five bytes it leaves undefined
// map to the C1 control of the same number, as Windows converts them.
constexpr std::array<char32_t, 32> Windows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t ByteToCodePoint(std::uint8_t B, TAnsiCodePage CodePage) {
    if (CodePage == TAnsiCodePage::Windows1252 && B >= 0x80 && B <= 0x9F)
        return Windows1252High[B - 0x80];
    return B;
}

// Returns false when the code page has no byte for the character.
bool CodePointToByte(char32_t C, TAnsiCodePage CodePage, std::uint8_t& B) {
    if (CodePage == TAnsiCodePage::Windows1252) {
        for (std::size_t I = 0; I < Windows1252High.size(); ++I) {
            if (Windows1252High[I] == C) {
                B = static_cast<std::uint8_t>(0x80 + I);
                return true;
            }
        }
        if (C >= 0x80 && C <= 0x9F)
            return false;
    }
    if (C > 0xFF)
        return false;
    B = static_cast<std::uint8_t>(C);
    return true;
}

} // namespace

TAnsiCodePage AnsiCodePageFor(std::uint32_t CodePage) {
    constexpr std::uint32_t Windows1252CodePage = 1252;
    return CodePage == Windows1252CodePage ? TAnsiCodePage::Windows1252 : TAnsiCodePage::Latin1;
}

namespace {

// The tool's own table for the system's code page, where the system does not convert.
TAnsiCodePage TableForTheSystem() {
    return AnsiCodePageFor(Platform::AnsiCodePage());
}

} // namespace

TAnsiCodePage SystemAnsiCodePage() {
    static const TAnsiCodePage CodePage =
        Platform::CodePageToUtf8(SystemCodePage, "a") ? TAnsiCodePage::System : TableForTheSystem();
    return CodePage;
}

std::string AnsiToUtf8(const std::uint8_t* Data, std::size_t Len, TAnsiCodePage CodePage) {
    if (CodePage == TAnsiCodePage::System) {
        const std::string_view Bytes(reinterpret_cast<const char*>(Data), Len);
        if (auto Converted = Platform::CodePageToUtf8(SystemCodePage, Bytes))
            return std::move(*Converted);
        CodePage = TableForTheSystem();
    }
    std::string Out;
    Out.reserve(Len);
    for (std::size_t I = 0; I < Len; ++I)
        AppendUtf8(Out, ByteToCodePoint(Data[I], CodePage));
    return Out;
}

std::string Utf8ToAnsi(std::string_view Utf8, TAnsiCodePage CodePage) {
    if (CodePage == TAnsiCodePage::System) {
        if (auto Converted = Platform::Utf8ToCodePage(SystemCodePage, Utf8))
            return std::move(*Converted);
        CodePage = TableForTheSystem();
    }
    std::string Out;
    Out.reserve(Utf8.size());
    std::size_t Pos = 0;
    while (Pos < Utf8.size()) {
        char32_t C = 0;
        std::uint8_t B = '?';
        if (!NextCodePoint(Utf8, Pos, C) || !CodePointToByte(C, CodePage, B))
            B = '?';
        Out.push_back(static_cast<char>(B));
    }
    return Out;
}
