#pragma once

#include "platform/Desk.h"

#include <array>
#include <string>
#include <string_view>

namespace hostwend {

// Everything that differs between the connection types; the texts are the
// ones operators know, spelling and spacing included.
struct ConnectionType {
    OptionButton option;
    std::wstring_view name;  // as the console program takes it: lan, vpn, vsat, others
    std::wstring_view confirmation;
    std::wstring_view addressKey;
    std::wstring_view resultPrefix;
    std::wstring_view resultSuffix;
};

// In the order the option buttons are tested.
inline constexpr std::array<ConnectionType, 4> kConnectionTypes{{
    {OptionButton::OptLan, L"lan", L"You have selected Lan/Dialup Option, Click on 'Ok' to apply the Changes ",
     L"LanAddress", L"Lan/Dial up IP address ( ", L" ) applied."},
    {OptionButton::OptVPN, L"vpn", L"You have selected VPN Option, Click on 'Ok' to apply the Changes ",
     L"VPNAddress", L"VPN IP address ( ", L" ) applied. "},
    {OptionButton::OptVsat, L"vsat", L"You have selected VSAT Option, Click on 'Ok' to apply the Changes ",
     L"VsatAddress", L"VSAT IP address ( ", L" ) applied. "},
    {OptionButton::OptOthers, L"others", L"You have selected Others Option, Click on 'Ok' to apply the Changes ",
     L"OthersAddress", L"Other IP address ( ", L" ) applied. "},
}};

// The console's name of the type an option button stands for: lan, vpn, ...
inline std::wstring_view ConnectionName(OptionButton option)
{
    for (const ConnectionType& type : kConnectionTypes)
        if (type.option == option)
            return type.name;
    return {};
}

// Which of the two programs runs an apply: both put it on record.
enum class ApplyProgram { Window, Console };

// The broadcast port, one value for every connection type.
inline constexpr std::wstring_view kPortKey = L"BcastUDPPort";

// What an apply reports when every value was written.
inline std::wstring AppliedReport(const ConnectionType& type, std::wstring_view address)
{
    return std::wstring(type.resultPrefix) + std::wstring(address) + std::wstring(type.resultSuffix);
}

} // namespace hostwend
