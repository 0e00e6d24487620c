#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

namespace hostwend {

// The calling thread's last error, or fallback when a failed call left none:
// a 0 would read as success.
inline std::uint32_t LastErrorOr(std::uint32_t fallback)
{
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

// Windows' own words for an error code, in one line without the closing full
// stop; empty when it has none.
inline std::wstring SystemErrorText(std::uint32_t error)
{
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words(text ? text : L"", length);
    LocalFree(text);
    for (wchar_t& c : words)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    while (!words.empty() && (words.back() == L' ' || words.back() == L'.'))
        words.pop_back();
    return words;
}

} // namespace hostwend
