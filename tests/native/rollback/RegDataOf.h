#pragma once

#include "rollback/LastApply.h"

#include <string_view>

namespace hostwend::testing {

// Text as a RegQueryValueExW read returns it: UTF-16LE, with its NUL unless told otherwise.
inline RegData Sz(std::wstring_view text, bool nul = true)
{
    RegData data{kRegSz, {}};
    for (wchar_t c : text)
        data.bytes.insert(data.bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    if (nul)
        data.bytes.insert(data.bytes.end(), {0, 0});
    return data;
}
inline RegData Dword(std::uint8_t low) { return {kRegDword, {low, 0, 0, 0}}; }

} // namespace hostwend::testing
