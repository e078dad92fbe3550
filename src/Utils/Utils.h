// Small helpers shared by the cable layer and the window: where the executable lies, which file a
// loaded library came from, fixed 8-bit character arrays as text, and the version number as text.
#pragma once

#include "Platform.h"

#include <cstdint>
#include <string>

// Folder of the running executable, ending in a path delimiter (empty when it cannot be told).
std::string ExeFolder();

// Full file name of a loaded library (UTF-8); empty when unknown.
std::string ModuleFileName(Platform::LibraryHandle module);

// Reads up to maxLen 8-bit characters from p, stopping at a NUL byte. Bytes below 0x20 become "?",
// every other byte the character with the same code (0x80..0xFF are U+0080..U+00FF). UTF-8 result.
std::string AnsiArrayToString(const void* p, int maxLen);

// "major.minor", plus " build N" when the build number is not 0. Packed as bits 16-23 major,
// 8-15 minor, 0-7 build; bits 24-31 are ignored.
std::string VersionToString(std::uint32_t version);
