#include "app/ApplyCommand.h"

#include "profile/ProfileValueCheck.h"
#include "profile/ReadProfileValue.h"
#include "registry/ApplyAddress.h"

#include <array>
#include <optional>
#include <string>

namespace hostwend {
namespace {

// Everything that differs between the connection types; the texts are the
// ones operators know, spelling and spacing included.
struct ConnectionType {
    OptionButton option;
    std::wstring_view confirmation;
    std::wstring_view addressKey;
    std::wstring_view resultPrefix;
    std::wstring_view resultSuffix;
};

// In the order the option buttons are tested.
constexpr std::array<ConnectionType, 4> kConnectionTypes{{
    {OptionButton::OptLan, L"You have selected Lan/Dialup Option, Click on 'Ok' to apply the Changes ",
     L"LanAddress", L"Lan/Dial up IP address ( ", L" ) applied."},
    {OptionButton::OptVPN, L"You have selected VPN Option, Click on 'Ok' to apply the Changes ", L"VPNAddress",
     L"VPN IP address ( ", L" ) applied. "},
    {OptionButton::OptVsat, L"You have selected VSAT Option, Click on 'Ok' to apply the Changes ",
     L"VsatAddress", L"VSAT IP address ( ", L" ) applied. "},
    {OptionButton::OptOthers, L"You have selected Others Option, Click on 'Ok' to apply the Changes ",
     L"OthersAddress", L"Other IP address ( ", L" ) applied. "},
}};

constexpr std::wstring_view kPortKey = L"BcastUDPPort";
constexpr std::wstring_view kResultTitle = L"Hostwend 2.0";

const ConnectionType* ChosenType(Platform& platform)
{
    for (const ConnectionType& type : kConnectionTypes)
        if (platform.IsOptionSet(type.option))
            return &type;
    return nullptr;
}

// Reads one value and refuses it, with a message, when it must not be applied.
std::optional<std::wstring> ReadUsableValue(Platform& platform, ProfileState& state, std::wstring_view key)
{
    std::wstring value = ReadProfileValue(platform, state, key);
    std::wstring refusal = ProfileValueRefusal(key, value, state.ProfileLength);
    if (refusal.empty())
        return value;
    platform.MsgBox(refusal, kMbCritical, platform.MainWindowCaption());
    return std::nullopt;
}

} // namespace

void CmdApply_Click(Platform& platform, ProfileState& state)
{
    const ConnectionType* type = ChosenType(platform);
    if (!type)
        return;
    if (platform.MsgBox(type->confirmation, kMbInformationOkCancel, platform.MainWindowCaption()) != kIdOk)
        return;

    // Both values are checked before anything is written.
    std::optional<std::wstring> address = ReadUsableValue(platform, state, type->addressKey);
    if (!address)
        return;
    std::optional<std::wstring> port = ReadUsableValue(platform, state, kPortKey);
    if (!port)
        return;

    // After a failed step its own message is the only one: no "applied".
    if (!ApplyAddress(platform, *address, *port))
        return;
    platform.MsgBox(std::wstring(type->resultPrefix) + *address + std::wstring(type->resultSuffix), kMbInformation,
                    kResultTitle);
}

} // namespace hostwend
