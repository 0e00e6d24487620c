#include "cli/Report.h"

#include "cli/ReachReport.h"
#include "cli/StepErrors.h"
#include "platform/HexText.h"
#include "registry/RegeditPath.h"
#include "registry/UpdateRegValue.h"

namespace hostwend::cli {
namespace {

constexpr std::wstring_view kNewLine = L"\r\n";
constexpr std::wstring_view kPrefix = L"hostwend-cli: ";

// As scripts have always read it: the path in the view the program opens.
std::wstring FullKey(const ApplyStep& step)
{
    return std::wstring(kLocalMachineName) + L"\\" + std::wstring(step.keyPath);
}

// A number as regedit shows it, "7777 (0x00001e61)"; anything else quoted.
std::wstring NumberOrQuoted(std::uint32_t type, const std::wstring& data)
{
    const int digits = type == kRegDword ? 8 : type == kRegQword ? 16 : 0;
    if (digits == 0 || data.empty() || data.size() > 20 || data.find_first_not_of(L"0123456789") != std::wstring::npos)
        return Quoted(data, false);
    std::uint64_t number = 0;
    for (wchar_t c : data)
        number = number * 10 + static_cast<std::uint64_t>(c - L'0');
    return data + L" (0x" + HexDigits(number, digits, HexCase::Lower) + L")";
}

// One line whatever a message holds, so that every line keeps the prefix.
std::wstring OneLine(std::wstring text)
{
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return text;
}

std::wstring_view EndText(ValueEnd end)
{
    switch (end) {
    case ValueEnd::Written:
    case ValueEnd::PutBack:
        return L"written";
    case ValueEnd::WouldBeWritten:
        return L"would be written";
    case ValueEnd::Unchanged:
        return L"unchanged";
    case ValueEnd::Failed:
        return L"failed";
    case ValueEnd::NotForThisType:
        return L"not for this type";
    case ValueEnd::ChangedSince:
        return L"changed since";
    case ValueEnd::NotReached:
        break;
    }
    return L"not reached";
}

std::optional<std::wstring> DataText(const std::optional<RegData>& data)
{
    return data ? std::optional(RegDataText(data->type, data->bytes)) : std::nullopt;
}

// The data a value gets: an apply's new data, or undo's data from before.
std::optional<std::wstring> NewData(const ValueReport& value)
{
    return value.newData ? value.newData : DataText(value.dataBefore);
}

// The last apply on record, in one line; empty when none was ever recorded.
std::wstring LastApplyText(const UndoRecordRead& read)
{
    switch (read.state) {
    case UndoRecordState::None:
        return L"none recorded";
    case UndoRecordState::Untrusted:
    case UndoRecordState::Unreadable:
        return L"its record cannot be used: " + read.reason;
    case UndoRecordState::Denied:
        // show's line; an undo that meets such a record refuses it and says why.
        return L"access denied: run show as administrator to see it";
    case UndoRecordState::Read:
        break;
    }
    const LastApply& last = *read.lastApply;
    std::wstring text = last.time + L", " + std::wstring(ProgramName(last.program)) +
                        L" program run by " + last.account + L": " + std::wstring(ConnectionName(last.connection)) +
                        L" " + last.address + L", port " + last.port;
    if (!last.finished)
        text += L"; stopped part-way";
    if (last.undone)
        text += L"; undone at " + last.undone->when + L" by " + last.undone->by;
    return text;
}

// Why a value has no data to show.
std::wstring_view ReadText(ValueRead read)
{
    switch (read) {
    case ValueRead::Read:
        return L"read";
    case ValueRead::Missing:
        return L"missing";
    case ValueRead::Denied:
        return L"access denied";
    case ValueRead::Unreadable:
        break;
    }
    return L"cannot be read";
}

// A JSON value: a string, or null when there is none.
std::wstring JsonOrNull(const std::optional<std::wstring>& text)
{
    return text ? Quoted(*text, true) : std::wstring(L"null");
}

std::wstring JsonText(std::wstring_view text) { return Quoted(text, true); }

// The last_apply member: null when none was ever recorded.
std::wstring JsonLastApply(const std::optional<UndoRecordRead>& read)
{
    if (!read || read->state == UndoRecordState::None)
        return L"null";
    if (read->state != UndoRecordState::Read)
        return L"{\"state\": " +
               JsonText(read->state == UndoRecordState::Untrusted ? L"untrusted"
                        : read->state == UndoRecordState::Denied  ? L"access denied"
                                                               : L"unreadable") +
               L", \"time\": null, \"program\": null, \"account\": null, \"type\": null, \"address\": null, "
               L"\"port\": null, \"finished\": null, \"undone\": null, \"undone_at\": null, \"undone_by\": null, \"reason\": " +
               JsonText(read->reason) + L"}";
    const LastApply& last = *read->lastApply;
    return L"{\"state\": \"recorded\", \"time\": " + JsonText(last.time) +
           L", \"program\": " + JsonText(ProgramName(last.program)) +
           L", \"account\": " + JsonText(last.account) + L", \"type\": " + JsonText(ConnectionName(last.connection)) +
           L", \"address\": " + JsonText(last.address) + L", \"port\": " + JsonText(last.port) +
           L", \"finished\": " + (last.finished ? L"true" : L"false") +
           L", \"undone\": " + (last.undone ? L"true" : L"false") +
           L", \"undone_at\": " + JsonOrNull(last.undone ? std::optional(last.undone->when) : std::nullopt) +
           L", \"undone_by\": " + JsonOrNull(last.undone ? std::optional(last.undone->by) : std::nullopt) +
           L", \"reason\": null}";
}

// Every field in every entry: show's values have null where a step's change would be.
std::wstring JsonStep(const ValueReport& value, bool windows64)
{
    const bool failed = value.end == ValueEnd::Failed;
    auto onlyIfFailed = [failed](std::wstring text) { return failed ? std::optional(std::move(text)) : std::nullopt; };
    const std::optional<RegValueNow>& now = value.found.now;
    return L"{\"step\": " + std::to_wstring(value.Number()) +
           L", \"key\": " + JsonText(FullKey(value.Step())) +
           L", \"view\": " + JsonText(kClientViewName) +
           L", \"value\": " + JsonText(value.Step().valueName) + L", \"type\": " +
           JsonOrNull(now ? std::optional(RegTypeName(now->type)) : std::nullopt) +
           L", \"data\": " + JsonOrNull(now ? std::optional(now->data) : std::nullopt) +
           L", \"read\": " + JsonText(ReadText(value.found.State())) +
           L", \"new_data\": " + JsonOrNull(NewData(value)) +
           L", \"applied_data\": " + JsonOrNull(DataText(value.dataApplied)) +
           L", \"outcome\": " + JsonOrNull(value.end ? std::optional(std::wstring(EndText(*value.end))) : std::nullopt) +
           // The window's own words beside the line that names the setting.
           L", \"error\": " + JsonOrNull(onlyIfFailed(StepFailure(value, windows64))) +
           L", \"reason\": " + JsonOrNull(onlyIfFailed(std::wstring(DescribeUpdateResult(value.update)))) +
           L", \"prompt\": " + JsonOrNull(onlyIfFailed(std::wstring(value.Step().prompt))) +
           L", \"after_failure\": " + (!value.end ? L"null" : value.afterFailure ? L"true" : L"false") + L"}";
}

std::optional<std::wstring> Unless(bool empty, const std::wstring& text)
{
    return empty ? std::nullopt : std::optional(text);
}

} // namespace

std::wstring Quoted(std::wstring_view text, bool asciiOnly)
{
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'"':
            quoted += L"\\\"";
            break;
        case L'\\':
            quoted += L"\\\\";
            break;
        case L'\n':
            quoted += L"\\n";
            break;
        case L'\r':
            quoted += L"\\r";
            break;
        case L'\t':
            quoted += L"\\t";
            break;
        default: {
            const auto code = static_cast<std::uint32_t>(c) & 0xFFFF;
            if (code < 0x20 || code == 0x7F || (asciiOnly && code > 0x7F))
                quoted += L"\\u" + HexDigits(code, 4, HexCase::Lower);
            else
                quoted.push_back(c);
        }
        }
    }
    return quoted + L"\"";
}

std::wstring TextHeader(const CommandResult& result)
{
    if (result.command == CommandName::Undo || result.command == CommandName::CheckUndo)
        return L"Last apply: " + LastApplyText(*result.undoRecord) + std::wstring(kNewLine);
    std::wstring text = L"Profile: " + result.profilePath + (result.profileFound ? L"" : L" (not found)") +
                        std::wstring(kNewLine);
    if (result.type) {
        text += L"Type:    " + std::wstring(result.type->name) + std::wstring(kNewLine);
        text += L"Address: " + result.address.value_or(L"") + std::wstring(kNewLine);
        text += L"Port:    " + result.port.value_or(L"") + std::wstring(kNewLine);
    }
    return text;
}

std::wstring TextStep(const ValueReport& value, bool windows64)
{
    std::wstring text = std::to_wstring(value.Number()) + L". " + std::wstring(value.Step().valueName) + L" in " +
                        RegeditKeyName(value.Step().keyPath, windows64) + std::wstring(kNewLine) + L"   ";
    const std::optional<RegValueNow>& now = value.found.now;
    const std::uint32_t type = now ? now->type : 0;
    text += now ? RegTypeName(type) + L" " + NumberOrQuoted(type, now->data) : std::wstring(ReadText(value.found.State()));
    if (value.end == ValueEnd::NotForThisType) {
        text += L": not for this type, left as it is";
    } else if (value.end) {
        text += L" -> " + NumberOrQuoted(type, NewData(value).value_or(L"")) + L": " + std::wstring(EndText(*value.end));
        if (value.end == ValueEnd::Failed)
            text += L", " + std::wstring(DescribeUpdateResult(value.update));
        if (value.afterFailure)
            text += L" (after a failure)";
    }
    return text + std::wstring(kNewLine);
}

// What show says the client points at: a connection type's name, or why none.
std::optional<std::wstring> PointsAtText(const ClientPointing& pointing)
{
    switch (pointing.pointsAt) {
    case PointsAt::NoClient:
        return L"no client";
    case PointsAt::NoProfile:
        return std::nullopt;
    case PointsAt::Mixed:
        return L"mixed";
    case PointsAt::NoType:
        return L"none";
    case PointsAt::ProfileType:
        break;
    }
    return std::wstring(pointing.type->name);
}

std::wstring TextFooter(const CommandResult& result)
{
    if (result.pointing) {
        std::wstring text = L"Points at: ";
        if (result.pointing->pointsAt == PointsAt::NoClient)
            text += L"no TARN client on this computer";
        else if (result.pointing->pointsAt == PointsAt::NoProfile)
            text += L"(no profile to compare with)";
        else
            text += PointsAtText(*result.pointing).value_or(L"") +
                    (result.pointing->heldAddress ? L" (" + *result.pointing->heldAddress + L")" : L"");
        return text + std::wstring(kNewLine) + L"Last apply: " + LastApplyText(*result.undoRecord) +
               std::wstring(kNewLine);
    }
    return (result.report.empty() ? std::wstring() : result.report + std::wstring(kNewLine)) + ReachTextLine(result);
}

std::wstring TextDiagnostics(const CommandResult& result)
{
    std::wstring text;
    for (const std::wstring& warning : result.warnings)
        text += std::wstring(kPrefix) + L"warning: " + OneLine(warning) + std::wstring(kNewLine);
    if (!result.error.empty())
        text += std::wstring(kPrefix) + OneLine(result.error) + std::wstring(kNewLine);
    for (const std::wstring& error : result.otherErrors)
        text += std::wstring(kPrefix) + OneLine(error) + std::wstring(kNewLine);
    return text;
}

std::wstring TextWaiting()
{
    return std::wstring(kPrefix) + L"waiting for another apply, up to 30 seconds" + std::wstring(kNewLine);
}

std::wstring JsonDocument(const CommandResult& result)
{
    // Every field in every document, null where it does not apply: scripts
    // under Set-StrictMode read any of them without testing for it.
    const bool show = result.command == CommandName::Show;
    auto list = [&result](const ValueReports& steps) {
        std::wstring json = L"[";
        for (std::size_t i = 0; i < steps.size(); ++i)
            json += (i ? L",\r\n  " : L"\r\n  ") + JsonStep(steps[i], result.windows64);
        return json + L"]";
    };
    std::wstring json = L"{\"command\": " + JsonText(CommandText(result.command));
    json += L", \"type\": " + JsonOrNull(result.type ? std::optional(std::wstring(result.type->name)) : std::nullopt);
    json += L", \"profile\": " + JsonText(result.profilePath) +
            L", \"profile_found\": " + (result.profileFound ? L"true" : L"false");
    json += L", \"address\": " + JsonOrNull(result.address) + L", \"port\": " + JsonOrNull(result.port);
    json += L", \"held_address\": " + JsonOrNull(result.pointing ? result.pointing->heldAddress : std::nullopt) +
            L", \"points_at\": " + JsonOrNull(result.pointing ? PointsAtText(*result.pointing) : std::nullopt);
    json += L", \"warnings\": [";
    for (std::size_t i = 0; i < result.warnings.size(); ++i)
        json += (i ? L", " : L"") + JsonText(result.warnings[i]);
    json += L"], \"values\": " + (show ? list(result.steps) : L"null");
    json += L", \"steps\": " + (show ? L"null" : list(result.steps));
    json += L", \"report\": " + JsonOrNull(Unless(result.report.empty(), result.report));
    json += L", \"last_apply\": " + JsonLastApply(result.undoRecord);
    json += ReachJsonMember(result);
    json += L", \"error\": " + JsonOrNull(Unless(result.error.empty(), result.error)) +
            L", \"exit_code\": " + std::to_wstring(result.exitCode) + L"}\r\n";
    return json;
}

} // namespace hostwend::cli
