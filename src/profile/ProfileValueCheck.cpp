#include "profile/ProfileValueCheck.h"

#include "profile/ConnectionType.h"
#include "profile/ProfileValueWarning.h"

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

ApplyValues ReadApplyValues(ProfileFiles& files, ProfileState& state, std::wstring_view addressKey,
                            std::wstring_view profileName)
{
    ApplyValues values;
    for (auto [key, value] : {std::pair{addressKey, &values.address}, std::pair{kPortKey, &values.port}}) {
        *value = ReadProfileEntry(files, state, key);
        values.refusal = ProfileValueRefusal(key, (*value)->value, (*value)->Length(), profileName);
        if (!values.refusal.empty())
            return values;
    }
    for (std::wstring warning : {ProfileValueWarning(addressKey, values.address->value, profileName),
                                 ProfileValueWarning(kPortKey, values.port->value, profileName)})
        if (!warning.empty())
            values.warnings.push_back(std::move(warning));
    return values;
}

} // namespace hostwend
