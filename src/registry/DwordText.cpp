#include "registry/DwordText.h"

namespace hostwend {

// A hand loop rather than a library conversion: those depend on the locale,
// throw, or quietly accept forms such as "12.5" and "0x10" that would put a
// different number into the registry than the operator wrote.
std::optional<std::int32_t> ParseDwordText(std::wstring_view text) noexcept
{
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(L' ') - first + 1);

    bool negative = false;
    if (text.front() == L'-' || text.front() == L'+') {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;

    // Accumulate the magnitude in 64 bits; the limit is one larger on the
    // negative side, and stopping there keeps long inputs from overflowing.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - L'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

} // namespace hostwend
