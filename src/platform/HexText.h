#pragma once

#include <cstdint>
#include <string>

namespace hostwend {

enum class HexCase { Lower, Upper };

// A number's lowest `digits` hexadecimal digits, leading zeros kept, with no
// prefix: each caller writes the one its readers expect (0x, \x, \u).
inline std::wstring HexDigits(std::uint64_t number, int digits, HexCase letters)
{
    const wchar_t* const hex = letters == HexCase::Upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring text;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        text.push_back(hex[(number >> shift) & 15]);
    return text;
}

} // namespace hostwend
