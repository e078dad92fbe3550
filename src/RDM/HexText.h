// Hexadecimal parameter texts: "0x1a2", "1A2" and "01a2" all give the bytes 01 A2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The text split into the two-character pairs that become bytes: upper-cased, without a leading
// "0X", with a "0" put in front of an odd count. Each pair is UTF-8.
std::vector<std::string> HexPairs(const std::string& Utf8);

// The byte of one pair. Throws EConvertError "'0X<pair>' is not a valid integer value" for a pair
// that is no hexadecimal number.
std::uint8_t HexPairToByte(const std::string& Pair);
