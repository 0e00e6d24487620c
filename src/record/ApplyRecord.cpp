#include "record/ApplyRecord.h"

#include "platform/DecimalText.h"
#include "platform/HexText.h"
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

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::wstring HexEscape(const wchar_t* prefix, std::uint32_t code, int digits)
{
    return prefix + HexDigits(code, digits, HexCase::Upper);
}

// What an insert holds, for how its backslashes are written: a value of the
// client or the profile must read back exactly, so a backslash that would
// read as the start of an escape (followed by r, n, x or u) is written \x5C;
// a name or a path keeps its backslashes as Explorer and regedit show them
// ("CORP\nadia", "C:\Users"), since Windows allows no control character in
// account, computer or file names, and the outcome is a sentence for people
// whose values stand exactly in fields of their own. Everything else is
// escaped alike in both: a name is data too.
enum class InsertOf { Value, Name };

// Characters that change how the text around them is shown without showing
// themselves: C1 controls, the line and paragraph separators, and the
// bidirectional and zero-width marks (a right-to-left override can make a
// reader see an address reversed).
bool IsLayoutCharacter(wchar_t c)
{
    return (c >= 0x80 && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) || c == 0x2028 || c == 0x2029 ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF;
}

// How one code point of data is written into an event's text. Data must not
// make structure: a CR or LF would forge lines in Event Viewer's General tab
// and in forwarded rendered text; a character XML cannot hold (below 0x20,
// an unpaired surrogate, U+FFFE, U+FFFF) breaks tools that read the event as
// XML; a layout character reorders or hides what a reader sees. A viewer
// expands %n, %%n and %{...} found inside an insert, recursively and with no
// escape of its own, so a "%" before a digit, "{" or "%" is written \x25;
// any other "%" stays, since no sentence puts one of those right after an
// insert.
std::wstring EscapedCodePoint(std::wstring_view text, std::size_t at, std::size_t length, InsertOf kind)
{
    const wchar_t c = text[at];
    if (length == 2)
        return std::wstring(text.substr(at, 2));
    const wchar_t next = at + 1 < text.size() ? text[at + 1] : L'\0';
    switch (c) {
    case L'\r':
        return L"\\r";
    case L'\n':
        return L"\\n";
    case L'%':
        if ((next >= L'0' && next <= L'9') || next == L'{' || next == L'%')
            return L"\\x25";
        return L"%";
    case L'\\':
        if (kind == InsertOf::Value && (next == L'r' || next == L'n' || next == L'x' || next == L'u'))
            return L"\\x5C";
        return L"\\";
    default:
        break;
    }
    if (c < 0x20 || c == 0x7F)
        return HexEscape(L"\\x", static_cast<std::uint32_t>(c), 2);
    if (IsHighSurrogate(c) || IsLowSurrogate(c) || c == 0xFFFE || c == 0xFFFF || IsLayoutCharacter(c))
        return HexEscape(L"\\u", static_cast<std::uint32_t>(c), 4);
    return std::wstring(1, c);
}

// Data as an insert: escaped as above, and cut at the longest insert between
// code points and escapes, never inside either, saying how long it was.
std::wstring Insert(std::wstring_view text, InsertOf kind = InsertOf::Value)
{
    std::wstring insert;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length =
            IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1]) ? 2 : 1;
        const std::wstring written = EscapedCodePoint(text, at, length, kind);
        if (insert.size() + written.size() > kLongestInsert)
            return insert + L"... (" + DecimalText(text.size()) + L" characters)";
        insert += written;
        at += length;
    }
    return insert;
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
    case ApplyEnd::Undone:
        return EventType::Information;
    case ApplyEnd::Stopped:
        return EventType::Error;
    case ApplyEnd::Refused:
        break;
    }
    return EventType::Warning;
}

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

// An undo has events of its own: a search for applies never finds one.
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

// The ten inserts every event begins with: who, where, what was asked, how it ended.
ApplyEvent EventHead(ApplyProgram program, ApplyEnd end, std::uint32_t id, std::wstring_view account,
                     std::wstring_view computer, std::wstring type, std::wstring address, std::wstring port,
                     std::wstring_view place, std::wstring_view outcome, int exitCode)
{
    ApplyEvent event;
    event.type = TypeOf(end);
    event.id = id;
    event.strings = {
        program == ApplyProgram::Window ? L"window" : L"console",
        std::wstring(kProgramVersion),
        account.empty() ? L"(unknown)" : Insert(account, InsertOf::Name),
        computer.empty() ? L"(unknown)" : Insert(computer, InsertOf::Name),
        std::move(type),
        std::move(address),
        std::move(port),
        Insert(place, InsertOf::Name),
        Insert(outcome, InsertOf::Name),
        DecimalText(static_cast<std::uint32_t>(exitCode)),
    };
    return event;
}

// Composes and writes an event; never throws: the record never changes an
// outcome.
template <typename Attempt, typename Compose>
std::uint32_t Report(EventLog& log, const Attempt& attempt, Compose compose) noexcept
{
    constexpr std::uint32_t kWin32NotEnoughMemory = 8;
    try {
        const ApplyEvent event = compose(log.AccountName(), log.ComputerName(), attempt);
        return log.Report(event.type, event.id, event.strings);
    } catch (...) {
        return kWin32NotEnoughMemory;
    }
}

// A value's data for the record as a read shows it.
std::wstring DataText(const RegData& data) { return Insert(RegDataText(data.type, data.bytes)); }

// A value's data as the record keeps it, or what stands for it.
std::wstring RecordedText(const std::optional<RegData>& data, const wchar_t* absent)
{
    return data ? DataText(*data) : absent;
}

std::wstring PutBackText(const UndoStep& planned, const PutBackRun* run, std::size_t step)
{
    if (planned.action == UndoAction::Unchanged)
        return L"unchanged";
    if (!run)
        return L"(not known)";  // stopped by a failure of its own before it could say how far it got
    const PutBackStep& done = (*run)[step];
    if (done.outcome == PutBackOutcome::NotReached)
        return L"not reached";
    if (done.outcome == PutBackOutcome::Failed)
        return L"failed: Windows error " + DecimalText(static_cast<std::uint32_t>(done.status));
    return DataText(*planned.recorded.before);
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
// the event alone. Nothing is read before the turn and a record that can be
// used, so a refusal before them shows each value as not read.
void AddRefusedValue(const UndoStep* planned, std::vector<std::wstring>& strings)
{
    if (!planned) {
        strings.insert(strings.end(), {L"not read", L"(not read)", L"(not read)", L"(not read)"});
        return;
    }
    strings.push_back(StandingText(planned->action));
    strings.push_back(BeforeText(planned->now));
    strings.push_back(RecordedText(planned->recorded.before, L"(missing)"));
    strings.push_back(RecordedText(planned->recorded.written, L"(not written)"));
}

// The warnings in one insert, as sentences like the outcome's, whose values
// stand exactly in fields of their own: what --strict refused for.
std::wstring WarningsText(const std::vector<std::wstring>* warnings)
{
    if (!warnings)
        return L"(not checked)";
    if (warnings->empty())
        return L"(none)";
    std::wstring joined;
    for (const std::wstring& warning : *warnings)
        joined += (joined.empty() ? L"" : L"; ") + warning;
    return Insert(joined, InsertOf::Name);
}

} // namespace

ApplyEvent ComposeUndoEvent(std::wstring_view account, std::wstring_view computer, const UndoAttempt& attempt)
{
    const LastApply* record = attempt.record;
    ApplyEvent event = EventHead(attempt.program, attempt.end, UndoEventId(attempt.end), account, computer,
                                 record ? std::wstring(ConnectionName(record->connection)) : L"(not read)",
                                 record ? ProfileValueText(record->address) : L"(not read)",
                                 record ? ProfileValueText(record->port) : L"(not read)",
                                 std::wstring(kLocalMachineName) + L"\\" + std::wstring(kLastApplyKey),
                                 attempt.outcome, attempt.exitCode);
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const ApplyStep& step = ApplySteps()[i];
        const UndoStep* planned = attempt.plan ? &(*attempt.plan)[i] : nullptr;
        event.strings.push_back(RegeditKeyName(step.keyPath, attempt.windows64));
        event.strings.push_back(std::wstring(step.valueName));
        if (attempt.end == ApplyEnd::Refused) {
            AddRefusedValue(planned, event.strings);
        } else if (planned) {
            event.strings.push_back(BeforeText(planned->now));
            event.strings.push_back(PutBackText(*planned, attempt.run, i));
        } else {
            // Stopped by a failure of its own before it read the values.
            event.strings.insert(event.strings.end(), {L"(not known)", L"(not known)"});
        }
    }
    return event;
}

std::uint32_t RecordUndo(EventLog& log, const UndoAttempt& attempt) noexcept
{
    return Report(log, attempt, ComposeUndoEvent);
}

ApplyEvent ComposeApplyEvent(std::wstring_view account, std::wstring_view computer,
                             const ApplyAttempt& attempt)
{
    ApplyEvent event = EventHead(attempt.program, attempt.end, ApplyEventId(attempt.end), account, computer,
                                 std::wstring(attempt.connectionType), ProfileValueText(attempt.address),
                                 ProfileValueText(attempt.port), attempt.profilePath, attempt.outcome,
                                 attempt.exitCode);
    if (attempt.end == ApplyEnd::Refused) {
        event.strings.push_back(WarningsText(attempt.warnings));
        return event;
    }
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
    return Report(log, attempt, ComposeApplyEvent);
}

} // namespace hostwend
