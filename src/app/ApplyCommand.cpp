#include "app/ApplyCommand.h"

#include "record/ExitCodes.h"
#include "profile/ConnectionType.h"
#include "profile/ProfileValueCheck.h"
#include "record/ApplyRecord.h"
#include "registry/ApplyAddress.h"
#include "registry/ReadStepValues.h"

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
    // The console program's exit code for the same outcome: the event log
    // records both programs' applies under the same numbers.
    int exitCode = kExitDone;
    std::optional<std::wstring> address;
    std::optional<std::wstring> port;
    StepValues before;
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
        outcome.exitCode = kExitApplyBusy;
        return outcome;
    }
    if (lock.outcome != LockOutcome::Acquired) {
        outcome.refusal = std::wstring(kLockUnusable) + lock.reason + L".";
        outcome.exitCode = kExitLockUnusable;
        return outcome;
    }
    // Both values are checked before anything is written.
    for (auto [key, value] : {std::pair{type.addressKey, &outcome.address}, std::pair{kPortKey, &outcome.port}}) {
        if (std::wstring refusal = ReadProfileValueRefusal(platform.files, state, key, value->emplace());
            !refusal.empty()) {
            outcome.refusal = std::move(refusal);
            outcome.exitCode = kExitProfileValueRefused;
            return outcome;
        }
    }
    // Each value as it was, so that the record shows what this apply changed.
    outcome.before = ReadStepValues(platform.registry);
    Desk& desk = platform.desk;
    outcome.run = ApplyAddress(platform.registry, *outcome.address, *outcome.port, ApplyMode::Write,
                               [&desk] { return desk.IsOptionSet(OptionButton::OptVsat); });
    if (outcome.run->failedStep)
        outcome.exitCode = StepFailedExitCode(outcome.run->steps[*outcome.run->failedStep].number);
    return outcome;
}

// Writes the click's event; a window has nowhere to say that it could not.
void Record(const Platform& platform, const ProfileState& state, const ConnectionType& type,
            const ClickOutcome& outcome, std::wstring_view told)
{
    ApplyAttempt attempt;
    attempt.program = ApplyProgram::Window;
    attempt.connectionType = type.name;
    attempt.address = outcome.address;
    attempt.port = outcome.port;
    attempt.profilePath = state.ProfilePath;
    attempt.end = !outcome.refusal.empty() ? ApplyEnd::Refused
                  : outcome.run->failedStep ? ApplyEnd::Stopped
                                            : ApplyEnd::Applied;
    attempt.outcome = told;
    attempt.exitCode = outcome.exitCode;
    if (outcome.run) {
        attempt.before = &outcome.before;
        attempt.run = &*outcome.run;
    }
    (void)RecordApply(platform.eventLog, platform.registry, attempt);
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
    // After a failed step its own message is the only one: no "applied".
    const std::wstring told = !outcome.refusal.empty() ? outcome.refusal
                              : outcome.run->failedStep
                                  ? std::wstring(outcome.run->steps[*outcome.run->failedStep].step->prompt)
                                  : AppliedReport(*type, *outcome.address);
    // On record as it ends, not when the operator closes the box.
    Record(platform, state, *type, outcome, told);
    // Boxes come once the lock is released: one left open must never hold up
    // an apply from a deployment tool.
    if (outcome.refusal.empty() && !outcome.run->failedStep)
        desk.MsgBox(told, kMbInformation, kResultTitle);
    else
        desk.MsgBox(told, kMbCritical, desk.MainWindowCaption());
}

} // namespace hostwend
