// Conversions between UTF-8 and the two 8-bit code pages, and which of them the system uses.
#include "AnsiText.h"
#include "Platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string AsString(std::initializer_list<std::uint8_t> Bytes) {
    return std::string(Bytes.begin(), Bytes.end());
}

TEST(AnsiText, EveryByteRoundTripsInBothCodePages) {
    for (const TAnsiCodePage CodePage : {TAnsiCodePage::Latin1, TAnsiCodePage::Windows1252}) {
        std::uint8_t All[256];
        for (int I = 0; I < 256; ++I)
            All[I] = static_cast<std::uint8_t>(I);
        const std::string Utf8 = AnsiToUtf8(All, 256, CodePage);
        EXPECT_EQ(Utf8ToAnsi(Utf8, CodePage), std::string(reinterpret_cast<const char*>(All), 256));
    }
}

struct TConversionCase {
    const char* Name;
    TAnsiCodePage CodePage;
    std::string Utf8;
    std::string Ansi;
};

TEST(AnsiText, CharactersAndTheirBytes) {
    const TConversionCase Cases[] = {
        {"Latin1ByteIsItsCodePoint", TAnsiCodePage::Latin1, "\u0080\u00E9\u00FF",
         AsString({0x80, 0xE9, 0xFF})},
        {"Win1252Euro", TAnsiCodePage::Windows1252, "\u20AC", AsString({0x80})},
        {"Win1252CapitalYDiaeresis", TAnsiCodePage::Windows1252, "\u0178", AsString({0x9F})},
        {"Win1252UndefinedBytePassesThrough", TAnsiCodePage::Windows1252, "\u0081", AsString({0x81})},
        {"Win1252SharesLatin1AboveA0", TAnsiCodePage::Windows1252, "\u00E9", AsString({0xE9})},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(Utf8ToAnsi(C.Utf8, C.CodePage), C.Ansi) << C.Name;
        EXPECT_EQ(AnsiToUtf8(reinterpret_cast<const std::uint8_t*>(C.Ansi.data()), C.Ansi.size(), C.CodePage),
                  C.Utf8)
            << C.Name;
    }
}

TEST(AnsiText, WhatDoesNotFitBecomesQuestionMarks) {
    const TConversionCase Cases[] = {
        {"EuroNotInLatin1", TAnsiCodePage::Latin1, "\u20AC", "?"},
        {"C1ControlNotInWin1252", TAnsiCodePage::Windows1252, "\u0080", "?"},
        {"CJK", TAnsiCodePage::Latin1, "a\u4E2Db", "a?b"},
        {"CharacterBeyondBMPIsOneMark", TAnsiCodePage::Windows1252, "\U0001F600", "?"},
        {"TruncatedSequence", TAnsiCodePage::Latin1, "x\xC3", "x?"},
        {"StrayContinuationByte", TAnsiCodePage::Latin1, "\x80y", "?y"},
        {"OverlongZero", TAnsiCodePage::Latin1, "\xC0\x80", "??"},
        {"EncodedSurrogate", TAnsiCodePage::Latin1, "\xED\xA0\x80", "???"},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Utf8ToAnsi(C.Utf8, C.CodePage), C.Ansi) << C.Name;
}

// Fixture texts are read in the code page of the running system: by the system where it converts,
// else with the Windows-1252 table.
TEST(AnsiText, TheSystemCodePageIsThePlatformsOne) {
    EXPECT_EQ(AnsiCodePageFor(1252), TAnsiCodePage::Windows1252);
    EXPECT_EQ(AnsiCodePageFor(28591), TAnsiCodePage::Latin1);
    EXPECT_EQ(AnsiCodePageFor(1250), TAnsiCodePage::Latin1);
    const bool systemConverts = Platform::CodePageToUtf8(0, "a").has_value();
    EXPECT_EQ(SystemAnsiCodePage(), systemConverts ? TAnsiCodePage::System : TAnsiCodePage::Windows1252);
}

// What a fixture's text shows, read as the running system reads it.
TEST(AnsiText, FixtureTextsInTheSystemCodePage) {
    const std::uint8_t Bytes[] = {'L', 0x80, 0x8A, 0x9F, 0xE9, 0x00, 'x'};
    const std::string Read = AnsiToUtf8(Bytes, sizeof Bytes, TAnsiCodePage::System);
    const std::string_view Ansi(reinterpret_cast<const char*>(Bytes), sizeof Bytes);
    if (auto BySystem = Platform::CodePageToUtf8(0, Ansi)) {
        EXPECT_EQ(Read, *BySystem);
        return; // the system's own code pages are tried in the platform's tests
    }
    // No bytes 0x80-0x9F as control characters, and back again unchanged.
    EXPECT_EQ(Read, std::string("L\u20AC\u0160\u0178\u00E9") + '\0' + "x");
    EXPECT_EQ(Utf8ToAnsi(Read, TAnsiCodePage::System), Ansi);
}

} // namespace
