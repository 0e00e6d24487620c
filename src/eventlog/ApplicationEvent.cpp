#include "eventlog/ApplicationEvent.h"

#include "platform/DecimalText.h"
#include "platform/HexText.h"
#include "platform/Win32Errors.h"

namespace hostwend {
namespace {

// Set from project() in CMakeLists.txt: the version both programs are built as.
constexpr std::wstring_view kProgramVersion = L"" HOSTWEND_PROGRAM_VERSION;

// An event's inserts together must stay well inside what the event log takes
// (32K characters a string, 64K bytes an event): a registry value of any size
// must not cost the event. Addresses and the client's values are far shorter.
constexpr std::size_t kLongestInsert = 500;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

std::wstring HexEscape(const wchar_t* prefix, std::uint32_t code, int digits)
{
    return prefix + HexDigits(code, digits, HexCase::Upper);
}

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
std::wstring EscapedCodePoint(std::wstring_view text, std::size_t at, std::size_t length, FieldKind kind)
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
        if (kind == FieldKind::Data && (next == L'r' || next == L'n' || next == L'x' || next == L'u'))
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
std::wstring Insert(std::wstring_view text, FieldKind kind = FieldKind::Data)
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

EventType TypeOf(std::uint32_t id)
{
    switch (id) {
    case kEventApplied:
    case kEventUndone:
        return EventType::Information;
    case kEventStopped:
    case kEventUndoStopped:
        return EventType::Error;
    default:
        break;
    }
    return EventType::Warning;
}

} // namespace

ApplicationEvent ComposeEvent(std::uint32_t id, std::wstring_view account, std::wstring_view computer,
                              const EventHead& head, const std::vector<EventField>& fields)
{
    ApplicationEvent event;
    event.type = TypeOf(id);
    event.id = id;
    event.strings = {
        std::wstring(ProgramName(head.program)),
        std::wstring(kProgramVersion),
        account.empty() ? L"(unknown)" : Insert(account, FieldKind::Name),
        computer.empty() ? L"(unknown)" : Insert(computer, FieldKind::Name),
        head.connectionType.empty() ? L"(not read)" : Insert(head.connectionType),
        ProfileValueText(head.address),
        ProfileValueText(head.port),
        Insert(head.place, FieldKind::Name),
        Insert(head.told, FieldKind::Name),
        DecimalText(static_cast<std::uint32_t>(head.exitCode)),
    };
    for (const EventField& field : fields)
        event.strings.push_back(Insert(field.text, field.kind));
    return event;
}

std::uint32_t WriteEvent(EventLog& log, std::uint32_t id, const EventHead& head,
                         const std::vector<EventField>& fields) noexcept
{
    try {
        const ApplicationEvent event = ComposeEvent(id, log.AccountName(), log.ComputerName(), head, fields);
        return log.Report(event.type, event.id, event.strings);
    } catch (...) {
        return kWin32NotEnoughMemory;
    }
}

} // namespace hostwend
