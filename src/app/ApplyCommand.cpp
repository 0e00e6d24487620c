#include "app/ApplyCommand.h"

#include "profile/ConnectionType.h"
#include "profile/ProfileValueCheck.h"
#include "registry/ApplyAddress.h"

#include <optional>
#include <string>

namespace hostwend {
namespace {

constexpr std::wstring_view kResultTitle = L"Hostwend 2.0";
constexpr std::wstring_view kLockTimedOut =
    L"Another Hostwend is applying settings on this computer. Try again when it has finished.";
constexpr std::wstring_view kLockUnusable =
    L"Hostwend cannot make sure that no other Hostwend changes these settings at the same time, "
    L"so it has changed nothing. Tell your administrator: the apply lock cannot be used because ";

const ConnectionType* ChosenType(Desk& desk)
{
    for (const ConnectionType& type : kConnectionTypes)
        if (desk.IsOptionSet(type.option))
            return &type;
    return nullptr;
}

// What one click did: refused before any write, or the eight steps' run.
struct ClickOutcome {
    std::wstring refusal;
    std::wstring address;
    std::optional<ApplyRun> run;
};

// One apply at a time on this computer: two would interleave their writes and
// leave a mixture of two servers behind. Shows nothing while it holds the lock.
ClickOutcome ReadAndApplyInTurn(const Platform& platform, ProfileState& state, const ConnectionType& type)
{
    ClickOutcome outcome;
    const ApplyLockResult lock = platform.computer.LockApply(kApplyLockWaitMilliseconds);
    if (lock.outcome == LockOutcome::Busy) {
        outcome.refusal = kLockTimedOut;
        return outcome;
    }
    if (lock.outcome != LockOutcome::Acquired) {
        outcome.refusal = std::wstring(kLockUnusable) + lock.reason + L".";
        return outcome;
    }
    // Both values are checked before anything is written.
    std::wstring port;
    if (std::wstring refusal = ReadProfileValueRefusal(platform.files, state, type.addressKey, outcome.address);
        !refusal.empty()) {
        outcome.refusal = std::move(refusal);
        return outcome;
    }
    if (std::wstring refusal = ReadProfileValueRefusal(platform.files, state, kPortKey, port); !refusal.empty()) {
        outcome.refusal = std::move(refusal);
        return outcome;
    }
    Desk& desk = platform.desk;
    outcome.run = ApplyAddress(platform.registry, outcome.address, port, ApplyMode::Write,
                               [&desk] { return desk.IsOptionSet(OptionButton::OptVsat); });
    return outcome;
}

} // namespace

void CmdApply_Click(const Platform& platform, ProfileState& state)
{
    Desk& desk = platform.desk;
    const ConnectionType* type = ChosenType(desk);
    if (!type)
        return;
    if (desk.MsgBox(type->confirmation, kMbInformationOkCancel, desk.MainWindowCaption()) != kIdOk)
        return;

    const ClickOutcome outcome = ReadAndApplyInTurn(platform, state, *type);
    // Boxes come once the lock is released: one left open must never hold up
    // an apply from a deployment tool.
    if (!outcome.refusal.empty())
        desk.MsgBox(outcome.refusal, kMbCritical, desk.MainWindowCaption());
    // After a failed step its own message is the only one: no "applied".
    else if (outcome.run->failedStep)
        desk.MsgBox(outcome.run->steps[*outcome.run->failedStep].step->prompt, kMbCritical,
                    desk.MainWindowCaption());
    else
        desk.MsgBox(AppliedReport(*type, outcome.address), kMbInformation, kResultTitle);
}

} // namespace hostwend
