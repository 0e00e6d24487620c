#include "app/ApplyCommand.h"

#include "apply/RunApply.h"
#include "apply/ValueReport.h"
#include "platform/DecimalText.h"
#include "profile/ConnectionType.h"
#include "registry/RegeditPath.h"

#include <array>
#include <string>

namespace hostwend {
namespace {

constexpr std::wstring_view kResultTitle = L"Hostwend 2.0";
constexpr std::wstring_view kLockTimedOut =
    L"Another Hostwend is applying settings on this computer. Try again when it has finished.";
constexpr std::wstring_view kLockUnusable =
    L"Hostwend cannot make sure that no other Hostwend changes these settings at the same time, "
    L"so it has changed nothing. Tell your administrator: the apply lock cannot be used because ";
constexpr std::wstring_view kRecordUnwritable =
    L"Hostwend cannot keep the record of the values it would change, which is needed to put them back, so it "
    L"has changed nothing. Tell your administrator: the record cannot be stored (Windows error ";
constexpr std::wstring_view kBeforeUnreadable =
    L"Hostwend cannot read a value it would change, so it could not put it back, and it has changed nothing. "
    L"Tell your administrator: ";
constexpr std::wstring_view kInternalError = L"internal error; some values may already be written";

// The window's option button for each connection type, in the order they are tested.
struct OptionFor {
    OptionButton option;
    ConnectionKind kind;
};
constexpr std::array<OptionFor, 4> kOptionButtons{{
    {OptionButton::OptLan, ConnectionKind::Lan},
    {OptionButton::OptVPN, ConnectionKind::Vpn},
    {OptionButton::OptVsat, ConnectionKind::Vsat},
    {OptionButton::OptOthers, ConnectionKind::Others},
}};

const ConnectionType* ChosenType(Desk& desk)
{
    for (const OptionFor& button : kOptionButtons)
        if (desk.IsOptionSet(button.option))
            return &kConnectionTypes[static_cast<std::size_t>(button.kind)];
    return nullptr;
}

// A value of HWD.ini that this client cannot store, known before any write.
std::wstring ProfileDataRefusal(const ApplyOutcome& outcome, const ConnectionType& type, bool windows64)
{
    const ProfileMisfit misfit = *MisfitOf(outcome, type);
    const ApplyStep& step = ApplySteps()[misfit.index];
    const std::wstring asWritten(misfit.asWritten);
    const std::wstring setting =
        L"the setting " + std::wstring(step.valueName) + L" in " + RegeditKeyName(step.keyPath, windows64);
    const std::wstring why = misfit.why == UpdateResult::OutsideCodePage
                                 ? L" holds text, and " + asWritten +
                                       L" has characters that this computer's code page cannot carry."
                                 : L" holds a number, and " + asWritten + L" is not a whole number it can hold.";
    return std::wstring(misfit.profileKey) + L" in " + std::wstring(kProfileFileName) +
           L" cannot be stored on this computer: " + setting + why + L" Nothing was changed.";
}

// What the operator is told, and what the record keeps of it.
std::wstring Told(const ApplyOutcome& outcome, const ConnectionType& type, bool windows64)
{
    if (outcome.internalError)
        return std::wstring(kInternalError);
    switch (outcome.refusal) {
    case Refusal::None:
        break;
    case Refusal::LockBusy:
        return std::wstring(kLockTimedOut);
    case Refusal::LockUnusable:
        return std::wstring(kLockUnusable) + outcome.lockReason + L".";
    case Refusal::ProfileData:
        return ProfileDataRefusal(outcome, type, windows64);
    case Refusal::UndoRecordUnwritable:
        return std::wstring(kRecordUnwritable) + DecimalText(static_cast<std::uint32_t>(outcome.undoRecordStatus)) +
               L").";
    case Refusal::BeforeUnreadable: {
        const ApplyStep& step = ApplySteps()[*outcome.unreadableStep];
        return std::wstring(kBeforeUnreadable) + L"the setting " + std::wstring(step.valueName) + L" in " +
               RegeditKeyName(step.keyPath, windows64) + L" cannot be read (Windows error " +
               DecimalText(static_cast<std::uint32_t>(outcome.before[*outcome.unreadableStep].status)) + L").";
    }
    case Refusal::ProfileValue:
    case Refusal::NotElevated:  // the console's alone: the window's manifest asks for the rights
    case Refusal::ProfileMissing:
    case Refusal::ProfileUnreadable:
    case Refusal::Warnings:
    case Refusal::NothingToUndo:  // undo's alone, and only the console's
    case Refusal::UndoRecordUnusable:
    case Refusal::ChangedSince:
        return outcome.valueRefusal;
    }
    // After a failed step its own message is the only one: no "applied".
    if (outcome.walk->failedStep)
        return std::wstring(ApplySteps()[*outcome.walk->failedStep].prompt);
    return AppliedReport(type, outcome.address->value);
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

    const bool windows64 = platform.computer.Is64BitWindows();
    ApplyRequest request;
    request.program = ApplyProgram::Window;
    request.type = type;
    request.profilePath = state.ProfilePath;
    // The option button is asked again when the VSAT step is reached.
    request.vsatStepWanted = [&desk] { return desk.IsOptionSet(OptionButton::OptVsat); };
    request.told = [type, windows64](const ApplyOutcome& outcome) { return Told(outcome, *type, windows64); };
    const ApplyOutcome outcome =
        RunApply({platform.registry, platform.files, platform.computer, platform.eventLog}, state, request);

    // Boxes come once the lock is released: one left open must never hold up
    // an apply from a deployment tool.
    try {
        const std::wstring told = Told(outcome, *type, windows64);
        if (outcome.end == ApplyEnd::Applied)
            desk.MsgBox(told, kMbInformation, kResultTitle);
        else
            desk.MsgBox(told, kMbCritical, desk.MainWindowCaption());
    } catch (...) {
        // Nothing may unwind through the window procedure.
        desk.MsgBox(kInternalError, kMbCritical, desk.MainWindowCaption());
    }
}

} // namespace hostwend
