#include "Utils.h"

std::string ExeFolder() {
    const std::string exe = Platform::ExecutablePath();
    const std::size_t lastDelimiter = exe.find_last_of("/\\");
    if (lastDelimiter == std::string::npos)
        return {};
    return exe.substr(0, lastDelimiter + 1);
}

std::string ModuleFileName(Platform::LibraryHandle module) {
    return Platform::ModuleFileName(module);
}

std::string AnsiArrayToString(const void* p, int maxLen) {
    std::string text;
    if (p == nullptr || maxLen <= 0)
        return text;
    const auto* bytes = static_cast<const unsigned char*>(p);
    for (int i = 0; i < maxLen && bytes[i] != 0; ++i) {
        const unsigned char c = bytes[i];
        if (c < 0x20) {
            text += '?';
        } else if (c < 0x80) {
            text += static_cast<char>(c);
        } else {
            // U+0080..U+00FF in UTF-8: two bytes
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

std::string VersionToString(std::uint32_t version) {
    const unsigned major = (version >> 16) & 0xFF;
    const unsigned minor = (version >> 8) & 0xFF;
    const unsigned build = version & 0xFF;
    std::string text = std::to_string(major) + "." + std::to_string(minor);
    if (build != 0)
        text += " build " + std::to_string(build);
    return text;
}
