#pragma once
// Shared pieces of the libFuzzer targets.
#include <cstdint>
#include <cstdlib>
#include <string>

inline void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// Bytes as UTF-16 code units (little-endian pairs), as the Windows build sees wide text; an odd
// last byte is a unit of its own.
inline std::wstring WideFromBytes(const std::string& bytes)
{
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        unsigned unit = static_cast<unsigned char>(bytes[i]);
        if (i + 1 < bytes.size())
            unit |= static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        text += static_cast<wchar_t>(unit);
    }
    return text;
}
