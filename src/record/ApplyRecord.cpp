#include "record/ApplyRecord.h"

#include "platform/DecimalText.h"
#include "registry/RegeditPath.h"
#include "registry/UpdateRegValue.h"

namespace hostwend {
namespace {

// Set from project() in CMakeLists.txt: the version both programs are built as.
constexpr std::wstring_view kProgramVersion = L"" HOSTWEND_PROGRAM_VERSION;

// An event's inserts together must stay well inside what the event log takes
// (32K characters a string, 64K bytes an event): a registry value of any size
// must not cost the record. Addresses and the client's values are far shorter.
constexpr std::size_t kLongestInsert = 500;

std::wstring Insert(std::wstring_view text)
{
    if (text.size() <= kLongestInsert)
        return std::wstring(text);
    return std::wstring(text.substr(0, kLongestInsert)) + L"... (" + DecimalText(text.size()) + L" characters)";
}

// Words in parentheses stand in for data that is not there.
std::wstring ProfileValueText(const std::optional<std::wstring_view>& value)
{
    if (!value)
        return L"(not read)";
    if (value->find_first_not_of(L' ') == std::wstring_view::npos)
        return L"(blank)";
    return Insert(*value);
}

std::wstring BeforeText(const RegValueRead& read)
{
    switch (read.read) {
    case ValueRead::Read:
        return Insert(read.now->data);
    case ValueRead::Missing:
        return L"(missing)";
    case ValueRead::Denied:
        return L"(access denied)";
    case ValueRead::Unreadable:
        break;
    }
    return L"(cannot be read: Windows error " + DecimalText(static_cast<std::uint32_t>(read.status)) + L")";
}

std::wstring AfterText(const StepRun& step)
{
    switch (step.state) {
    case StepState::Written:
        // As a read shows it now: a port of " 8888 " is the number 8888.
        return Insert(step.newData.value_or(step.newValue));
    case StepState::Unchanged:
        return L"unchanged";
    case StepState::Failed:
        return L"failed: " + std::wstring(DescribeUpdateResult(step.result));
    case StepState::NotForThisType:
        return L"not for this type";
    case StepState::NotReached:
    case StepState::WouldBeWritten:  // only an apply is recorded, and its walk writes
        break;
    }
    return L"not reached";
}

EventType TypeOf(ApplyEnd end)
{
    switch (end) {
    case ApplyEnd::Applied:
        return EventType::Information;
    case ApplyEnd::Stopped:
        return EventType::Error;
    case ApplyEnd::Refused:
        break;
    }
    return EventType::Warning;
}

std::uint32_t IdOf(ApplyEnd end)
{
    switch (end) {
    case ApplyEnd::Applied:
        return kEventApplied;
    case ApplyEnd::Stopped:
        return kEventStopped;
    case ApplyEnd::Refused:
        break;
    }
    return kEventRefused;
}

} // namespace

ApplyEvent ComposeApplyEvent(std::wstring_view account, std::wstring_view computer,
                             const ApplyAttempt& attempt)
{
    ApplyEvent event;
    event.type = TypeOf(attempt.end);
    event.id = IdOf(attempt.end);
    event.strings = {
        attempt.program == ApplyProgram::Window ? L"window" : L"console",
        std::wstring(kProgramVersion),
        account.empty() ? L"(unknown)" : Insert(account),
        computer.empty() ? L"(unknown)" : Insert(computer),
        std::wstring(attempt.connectionType),
        ProfileValueText(attempt.address),
        ProfileValueText(attempt.port),
        Insert(attempt.profilePath),
        Insert(attempt.outcome),
        DecimalText(static_cast<std::uint32_t>(attempt.exitCode)),
    };
    if (attempt.end == ApplyEnd::Refused)
        return event;
    // What each value held and holds now, so that an investigator can see
    // exactly what a partial apply left behind.
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const ApplyStep& step = ApplySteps()[i];
        event.strings.push_back(RegeditKeyName(step.keyPath, attempt.windows64));
        event.strings.push_back(std::wstring(step.valueName));
        if (attempt.run && attempt.before) {
            event.strings.push_back(BeforeText((*attempt.before)[i]));
            event.strings.push_back(AfterText(attempt.run->steps[i]));
        } else {
            // Stopped by a failure of its own before it could say how far it got.
            event.strings.push_back(L"(not known)");
            event.strings.push_back(L"(not known)");
        }
    }
    return event;
}

std::uint32_t RecordApply(EventLog& log, const ApplyAttempt& attempt) noexcept
{
    constexpr std::uint32_t kWin32NotEnoughMemory = 8;
    try {
        const ApplyEvent event = ComposeApplyEvent(log.AccountName(), log.ComputerName(), attempt);
        return log.Report(event.type, event.id, event.strings);
    } catch (...) {
        return kWin32NotEnoughMemory;
    }
}

} // namespace hostwend
