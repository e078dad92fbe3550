#include "HexText.h"

#include "RDM_Lib.h"
#include "Utf8.h"

#include <string_view>

std::vector<std::string> HexPairs(const std::string& Utf8) {
    // Characters, not bytes: a multi-byte character counts once, as it does for the user.
    std::u32string Text;
    std::size_t Pos = 0;
    while (Pos < Utf8.size()) {
        char32_t C = 0;
        if (!NextCodePoint(Utf8, Pos, C))
            C = 0xFFFD;
        if (C >= U'a' && C <= U'z')
            C -= U'a' - U'A';
        Text.push_back(C);
    }
    if (Text.starts_with(U"0X"))
        Text.erase(0, 2);
    if (Text.size() % 2 != 0)
        Text.insert(Text.begin(), U'0');

    std::vector<std::string> Pairs;
    Pairs.reserve(Text.size() / 2);
    for (std::size_t I = 0; I < Text.size(); I += 2) {
        std::string Pair;
        AppendUtf8(Pair, Text[I]);
        AppendUtf8(Pair, Text[I + 1]);
        Pairs.push_back(std::move(Pair));
    }
    return Pairs;
}

namespace {
int HexDigit(char C) {
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    return -1;
}
} // namespace

std::uint8_t HexPairToByte(const std::string& Pair) {
    const int Hi = Pair.size() == 2 ? HexDigit(Pair[0]) : -1;
    const int Lo = Pair.size() == 2 ? HexDigit(Pair[1]) : -1;
    if (Hi < 0 || Lo < 0)
        throw EConvertError("'0X" + Pair + "' is not a valid integer value");
    return static_cast<std::uint8_t>(Hi * 16 + Lo);
}
