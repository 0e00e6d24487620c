#include "profile/ProfileValueCheck.h"

#include "profile/ReadProfileValue.h"

namespace hostwend {

std::wstring ProfileValueRefusal(std::wstring_view key, std::wstring_view value, std::int16_t profileLength)
{
    if (profileLength >= static_cast<std::int16_t>(kProfileBufferLength - 1))
        return std::wstring(key) + L" in HWD.ini is too long";
    if (value.find_first_not_of(L' ') == std::wstring_view::npos)
        return std::wstring(key) + L" missing in HWD.ini";
    return {};
}

std::wstring ReadProfileValueRefusal(Platform& platform, ProfileState& state, std::wstring_view key,
                                     std::wstring& value)
{
    value = ReadProfileValue(platform, state, key);
    return ProfileValueRefusal(key, value, state.ProfileLength);
}

} // namespace hostwend
