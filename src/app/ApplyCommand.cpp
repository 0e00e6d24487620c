#include "app/ApplyCommand.h"

#include "profile/ConnectionType.h"
#include "profile/ProfileValueCheck.h"
#include "registry/ApplyAddress.h"

#include <array>
#include <memory>
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

// One apply at a time on this computer: two would interleave their writes and
// leave a mixture of two servers behind. Returns why nothing was written, or
// "" once ApplyAddress has run, with its outcome in applied.
std::wstring ReadAndApplyInTurn(Platform& platform, ProfileState& state, const ConnectionType& type,
                                std::wstring& address, bool& applied)
{
    const std::unique_ptr<ApplyLock> lock = platform.LockApply(kApplyLockWaitMilliseconds);
    if (!lock)
        return std::wstring(kLockTimedOut);
    // Both values are checked before anything is written.
    if (std::wstring refusal = ReadProfileValueRefusal(platform, state, type.addressKey, address); !refusal.empty())
        return refusal;
    std::wstring port;
    if (std::wstring refusal = ReadProfileValueRefusal(platform, state, kPortKey, port); !refusal.empty())
        return refusal;
    applied = ApplyAddress(platform, address, port);  // shows a failed step's message itself
    return {};
}

} // namespace

void CmdApply_Click(Platform& platform, ProfileState& state)
{
    const ConnectionType* type = ChosenType(platform);
    if (!type)
        return;
    if (platform.MsgBox(type->confirmation, kMbInformationOkCancel, platform.MainWindowCaption()) != kIdOk)
        return;

    std::wstring address;
    bool applied = false;
    const std::wstring refusal = ReadAndApplyInTurn(platform, state, *type, address, applied);
    // Boxes come once the lock is released: one left open must never hold up
    // an apply from a deployment tool.
    if (!refusal.empty())
        platform.MsgBox(refusal, kMbCritical, platform.MainWindowCaption());
    // After a failed step its own message is the only one: no "applied".
    else if (applied)
        platform.MsgBox(AppliedReport(*type, address), kMbInformation, kResultTitle);
}

} // namespace hostwend
