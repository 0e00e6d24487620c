#include "app/ApplyCommand.h"

#include "profile/ConnectionType.h"
#include "profile/ProfileValueCheck.h"
#include "profile/ReadProfileValue.h"
#include "registry/ApplyAddress.h"

#include <array>
#include <optional>
#include <string>

namespace hostwend {
namespace {

constexpr std::wstring_view kResultTitle = L"Hostwend 2.0";
constexpr std::wstring_view kLockTimedOut =
    L"Another Hostwend is applying settings on this computer. Try again when it has finished.";

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

    // One apply at a time on this computer: two would interleave their writes
    // and leave a mixture of two servers behind.
    const std::unique_ptr<ApplyLock> lock = platform.LockApply(kApplyLockWaitMilliseconds);
    if (!lock) {
        platform.MsgBox(kLockTimedOut, kMbCritical, platform.MainWindowCaption());
        return;
    }

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
    platform.MsgBox(AppliedReport(*type, *address), kMbInformation, kResultTitle);
}

} // namespace hostwend
