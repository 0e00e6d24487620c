#include "profile/ProfileValueCheck.h"

#include "profile/ProfileState.h"

namespace hostwend {

std::wstring ProfileValueRefusal(std::wstring_view key, std::wstring_view value, std::int16_t profileLength,
                                 std::wstring_view profileName)
{
    if (profileLength >= static_cast<std::int16_t>(kProfileBufferLength - 1))
        return std::wstring(key) + L" in " + std::wstring(profileName) + L" is too long";
    if (value.find_first_not_of(L' ') == std::wstring_view::npos)
        return std::wstring(key) + L" missing in " + std::wstring(profileName);
    return {};
}

} // namespace hostwend
