#pragma once

#include "terms/Terms.h"

#include <array>
#include <string>
#include <string_view>

namespace hostwend {

// Everything that differs between the connection types; the texts are the
// ones operators know, spelling and spacing included.
struct ConnectionType {
    ConnectionKind kind;
    std::wstring_view name;  // as the console program takes it: lan, vpn, vsat, others
    std::wstring_view confirmation;
    std::wstring_view addressKey;
    std::wstring_view resultPrefix;
    std::wstring_view resultSuffix;
};

// In the order of ConnectionKind.
inline constexpr std::array<ConnectionType, 4> kConnectionTypes{{
    {ConnectionKind::Lan, L"lan", L"You have selected Lan/Dialup Option, Click on 'Ok' to apply the Changes ",
     L"LanAddress", L"Lan/Dial up IP address ( ", L" ) applied."},
    {ConnectionKind::Vpn, L"vpn", L"You have selected VPN Option, Click on 'Ok' to apply the Changes ",
     L"VPNAddress", L"VPN IP address ( ", L" ) applied. "},
    {ConnectionKind::Vsat, L"vsat", L"You have selected VSAT Option, Click on 'Ok' to apply the Changes ",
     L"VsatAddress", L"VSAT IP address ( ", L" ) applied. "},
    {ConnectionKind::Others, L"others", L"You have selected Others Option, Click on 'Ok' to apply the Changes ",
     L"OthersAddress", L"Other IP address ( ", L" ) applied. "},
}};

// The console's name of a connection type: lan, vpn, ...
inline std::wstring_view ConnectionName(ConnectionKind kind) { return kConnectionTypes[static_cast<std::size_t>(kind)].name; }

// The broadcast port, one value for every connection type.
inline constexpr std::wstring_view kPortKey = L"BcastUDPPort";

// What an apply reports when every value was written.
inline std::wstring AppliedReport(const ConnectionType& type, std::wstring_view address)
{
    return std::wstring(type.resultPrefix) + std::wstring(address) + std::wstring(type.resultSuffix);
}

} // namespace hostwend
