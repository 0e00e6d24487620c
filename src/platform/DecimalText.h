#pragma once

#include <cstdint>
#include <string>

namespace hostwend {

// A number in decimal digits. Not std::to_wstring: that brings the C
// library's whole formatted printing into the window program.
inline std::wstring DecimalText(std::uint64_t number)
{
    wchar_t digits[20];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + number % 10);
        number /= 10;
    } while (number != 0);
    std::wstring text;
    while (count > 0)
        text.push_back(digits[--count]);
    return text;
}

} // namespace hostwend
