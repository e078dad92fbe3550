#include "Utf8.h"

bool NextCodePoint(std::string_view Text, std::size_t& Pos, char32_t& CodePoint) {
    const auto Byte = [&](std::size_t I) { return static_cast<unsigned char>(Text[I]); };
    const unsigned char Lead = Byte(Pos);
    int Extra;
    char32_t Min;
    if (Lead < 0x80) {
        CodePoint = Lead;
        ++Pos;
        return true;
    } else if ((Lead & 0xE0) == 0xC0) {
        Extra = 1, Min = 0x80, CodePoint = Lead & 0x1F;
    } else if ((Lead & 0xF0) == 0xE0) {
        Extra = 2, Min = 0x800, CodePoint = Lead & 0x0F;
    } else if ((Lead & 0xF8) == 0xF0) {
        Extra = 3, Min = 0x10000, CodePoint = Lead & 0x07;
    } else {
        ++Pos;
        return false;
    }
    if (Text.size() - Pos <= static_cast<std::size_t>(Extra)) {
        ++Pos;
        return false;
    }
    for (int I = 1; I <= Extra; ++I) {
        const unsigned char Next = Byte(Pos + I);
        if ((Next & 0xC0) != 0x80) {
            ++Pos;
            return false;
        }
        CodePoint = (CodePoint << 6) | (Next & 0x3F);
    }
    if (CodePoint < Min || CodePoint > 0x10FFFF || (CodePoint >= 0xD800 && CodePoint <= 0xDFFF)) {
        ++Pos;
        return false;
    }
    Pos += Extra + 1;
    return true;
}

void AppendUtf8(std::string& Out, char32_t CodePoint) {
    const auto Put = [&](unsigned V) { Out.push_back(static_cast<char>(V)); };
    if (CodePoint < 0x80) {
        Put(CodePoint);
    } else if (CodePoint < 0x800) {
        Put(0xC0 | (CodePoint >> 6));
        Put(0x80 | (CodePoint & 0x3F));
    } else if (CodePoint < 0x10000) {
        Put(0xE0 | (CodePoint >> 12));
        Put(0x80 | ((CodePoint >> 6) & 0x3F));
        Put(0x80 | (CodePoint & 0x3F));
    } else {
        Put(0xF0 | (CodePoint >> 18));
        Put(0x80 | ((CodePoint >> 12) & 0x3F));
        Put(0x80 | ((CodePoint >> 6) & 0x3F));
        Put(0x80 | (CodePoint & 0x3F));
    }
}
