#include "apply/EventFields.h"

#include "platform/DecimalText.h"
#include "registry/RegeditPath.h"
#include "registry/UpdateRegValue.h"

namespace hostwend {
namespace {

// Words in parentheses stand in for data that is not there.
std::wstring BeforeText(const RegValueRead& read)
{
    switch (read.State()) {
    case ValueRead::Read:
        return read.now->data;
    case ValueRead::Missing:
        return L"(missing)";
    case ValueRead::Denied:
        return L"(access denied)";
    case ValueRead::Unreadable:
        break;
    }
    return L"(cannot be read: Windows error " + DecimalText(static_cast<std::uint32_t>(read.status)) + L")";
}

std::wstring AfterText(const WalkStep& step)
{
    switch (step.state) {
    case StepState::Written:
        // As a read shows it now: a port of " 8888 " is the number 8888.
        return step.newData.value_or(step.newValue);
    case StepState::Unchanged:
        return L"unchanged";
    case StepState::Failed:
        return L"failed: " + std::wstring(DescribeUpdateResult(step.result));
    case StepState::NotForThisType:
        return L"not for this type";
    case StepState::NotReached:
    case StepState::WouldBeWritten:  // only an apply has an event, and its walk writes
        break;
    }
    return L"not reached";
}

// A value's data as the undo record keeps it, as a read shows it, or what stands for it.
std::wstring RecordedText(const std::optional<RegData>& data, const wchar_t* absent)
{
    return data ? RegDataText(data->type, data->bytes) : absent;
}

std::wstring PutBackText(const UndoStep& planned, const PutBackWalk* run, std::size_t step)
{
    if (planned.action == UndoAction::Unchanged)
        return L"unchanged";
    if (!run)
        return L"(not known)";  // stopped by a failure of its own before it could say how far it got
    const PutBackStep& done = (*run)[step];
    if (done.state == PutBackState::NotReached)
        return L"not reached";
    if (done.state == PutBackState::Failed)
        return L"failed: Windows error " + DecimalText(static_cast<std::uint32_t>(done.status));
    return RecordedText(planned.lastApply.before, L"(missing)");
}

const wchar_t* StandingText(UndoAction action)
{
    switch (action) {
    case UndoAction::Restore:
        return L"holds what the apply wrote";
    case UndoAction::Unchanged:
        return L"holds its data from before";
    case UndoAction::ChangedSince:
        break;
    }
    return L"changed since the apply";
}

// A refused undo's value: how it stands, its data now, before the apply and
// as the apply wrote it, so that a value changed since can be judged from
// the event alone. Nothing is read before the turn and an undo record that
// can be used, so a refusal before them shows each value as not read.
void AddRefusedValue(const UndoStep* planned, std::vector<EventField>& fields)
{
    if (!planned) {
        fields.insert(fields.end(), {{L"not read"}, {L"(not read)"}, {L"(not read)"}, {L"(not read)"}});
        return;
    }
    fields.push_back({StandingText(planned->action)});
    fields.push_back({BeforeText(planned->now)});
    fields.push_back({RecordedText(planned->lastApply.before, L"(missing)")});
    fields.push_back({RecordedText(planned->lastApply.written, L"(not written)")});
}

// The warnings in one field, as sentences like the outcome's, whose values
// stand exactly in fields of their own: what --strict refused for.
EventField WarningsField(const std::vector<std::wstring>* warnings)
{
    if (!warnings)
        return {L"(not checked)"};
    if (warnings->empty())
        return {L"(none)"};
    std::wstring joined;
    for (const std::wstring& warning : *warnings)
        joined += (joined.empty() ? L"" : L"; ") + warning;
    return {joined, FieldKind::Name};
}

// Each value's line begins with its key, as regedit shows it on this computer, and its name.
void AddValueName(std::size_t step, bool windows64, std::vector<EventField>& fields)
{
    fields.push_back({RegeditKeyName(ApplySteps()[step].keyPath, windows64), FieldKind::Name});
    fields.push_back({std::wstring(ApplySteps()[step].valueName), FieldKind::Name});
}

} // namespace

std::uint32_t ApplyEventId(ApplyEnd end)
{
    switch (end) {
    case ApplyEnd::Applied:
        return kEventApplied;
    case ApplyEnd::Stopped:
        return kEventStopped;
    case ApplyEnd::Refused:
    case ApplyEnd::Undone:  // never an apply's end
        break;
    }
    return kEventRefused;
}

std::vector<EventField> ApplyEventFields(ApplyEnd end, const std::vector<std::wstring>* warnings,
                                         const StepValues* before, const ApplyWalk* run, bool windows64)
{
    if (end == ApplyEnd::Refused)
        return {WarningsField(warnings)};
    std::vector<EventField> fields;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        AddValueName(i, windows64, fields);
        if (run && before) {
            fields.push_back({BeforeText((*before)[i])});
            fields.push_back({AfterText(run->steps[i])});
        } else {
            fields.insert(fields.end(), {{L"(not known)"}, {L"(not known)"}});
        }
    }
    return fields;
}

std::uint32_t UndoEventId(ApplyEnd end)
{
    switch (end) {
    case ApplyEnd::Undone:
    case ApplyEnd::Applied:  // never an undo's end
        return kEventUndone;
    case ApplyEnd::Stopped:
        return kEventUndoStopped;
    case ApplyEnd::Refused:
        break;
    }
    return kEventUndoRefused;
}

std::vector<EventField> UndoEventFields(ApplyEnd end, const UndoPlan* plan, const PutBackWalk* run, bool windows64)
{
    std::vector<EventField> fields;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const UndoStep* planned = plan ? &(*plan)[i] : nullptr;
        AddValueName(i, windows64, fields);
        if (end == ApplyEnd::Refused) {
            AddRefusedValue(planned, fields);
        } else if (planned) {
            fields.push_back({BeforeText(planned->now)});
            fields.push_back({PutBackText(*planned, run, i)});
        } else {
            // Stopped by a failure of its own before it read the values.
            fields.insert(fields.end(), {{L"(not known)"}, {L"(not known)"}});
        }
    }
    return fields;
}

} // namespace hostwend
