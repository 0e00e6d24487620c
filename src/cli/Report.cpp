#include "cli/Report.h"

#include "cli/ReachReport.h"
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

// Where an administrator finds it in regedit on this computer.
std::wstring RegeditKey(const StepOutcome& outcome)
{
    return std::wstring(kLocalMachineName) + L"\\" + outcome.regeditKeyPath;
}

// A number as regedit shows it, "7777 (0x00001e61)"; anything else quoted.
std::wstring DataText(std::uint32_t type, const std::wstring& data)
{
    const int digits = type == kRegDword ? 8 : type == kRegQword ? 16 : 0;
    if (digits == 0 || data.empty() || data.size() > 20 || data.find_first_not_of(L"0123456789") != std::wstring::npos)
        return Quoted(data, false);
    std::uint64_t number = 0;
    for (wchar_t c : data)
        number = number * 10 + static_cast<std::uint64_t>(c - L'0');
    std::wstring hex;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        hex.push_back(L"0123456789abcdef"[(number >> shift) & 15]);
    return data + L" (0x" + hex + L")";
}

// One line whatever a message holds, so that every line keeps the prefix.
std::wstring OneLine(std::wstring text)
{
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return text;
}

std::wstring_view ResultText(StepResult result)
{
    switch (result) {
    case StepResult::Shown:
        return L"";
    case StepResult::Written:
        return L"written";
    case StepResult::WouldBeWritten:
        return L"would be written";
    case StepResult::Failed:
        return L"failed";
    case StepResult::NotForThisType:
        return L"not for this type";
    case StepResult::NotReached:
        return L"not reached";
    }
    return L"";
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

std::wstring JsonStep(const StepOutcome& outcome, bool withChange)
{
    std::wstring json = L"{\"step\": " + std::to_wstring(outcome.number) +
                        L", \"key\": " + JsonText(FullKey(*outcome.step)) +
                        L", \"view\": " + JsonText(kClientViewName) +
                        L", \"value\": " + JsonText(outcome.step->valueName) + L", \"type\": " +
                        JsonOrNull(outcome.now ? std::optional(RegTypeName(outcome.now->type)) : std::nullopt) +
                        L", \"data\": " +
                        JsonOrNull(outcome.now ? std::optional(outcome.now->data) : std::nullopt) +
                        L", \"read\": " + JsonText(ReadText(outcome.read));
    if (withChange) {
        const bool failed = outcome.result == StepResult::Failed;
        // The window's own words beside the line that names the setting.
        json += L", \"new_data\": " + JsonOrNull(outcome.newData) + L", \"outcome\": " +
                JsonText(ResultText(outcome.result)) + L", \"error\": " +
                JsonOrNull(failed ? std::optional(outcome.error) : std::nullopt) +
                L", \"reason\": " +
                JsonOrNull(failed ? std::optional(std::wstring(DescribeUpdateResult(outcome.updateResult)))
                                : std::nullopt) +
                L", \"prompt\": " +
                JsonOrNull(failed ? std::optional(std::wstring(outcome.step->prompt)) : std::nullopt) +
                L", \"after_failure\": " + (outcome.afterFailure ? L"true" : L"false");
    }
    return json + L"}";
}

std::optional<std::wstring> Unless(bool empty, const std::wstring& text)
{
    return empty ? std::nullopt : std::optional(text);
}

} // namespace

std::wstring Quoted(std::wstring_view text, bool asciiOnly)
{
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
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
            if (code < 0x20 || code == 0x7F || (asciiOnly && code > 0x7F)) {
                quoted += L"\\u";
                for (int shift = 12; shift >= 0; shift -= 4)
                    quoted.push_back(kHex[(code >> shift) & 15]);
            } else {
                quoted.push_back(c);
            }
        }
        }
    }
    return quoted + L"\"";
}

std::wstring TextHeader(const CommandResult& result)
{
    std::wstring text = L"Profile: " + result.profilePath + (result.profileFound ? L"" : L" (not found)") +
                        std::wstring(kNewLine);
    if (result.type) {
        text += L"Type:    " + std::wstring(result.type->name) + std::wstring(kNewLine);
        text += L"Address: " + result.address.value_or(L"") + std::wstring(kNewLine);
        text += L"Port:    " + result.port.value_or(L"") + std::wstring(kNewLine);
    }
    return text;
}

std::wstring TextStep(const StepOutcome& outcome)
{
    std::wstring text = std::to_wstring(outcome.number) + L". " + std::wstring(outcome.step->valueName) + L" in " +
                        RegeditKey(outcome) + std::wstring(kNewLine) + L"   ";
    const std::uint32_t type = outcome.now ? outcome.now->type : 0;
    text += outcome.now ? RegTypeName(type) + L" " + DataText(type, outcome.now->data)
                        : std::wstring(ReadText(outcome.read));
    if (outcome.result == StepResult::NotForThisType) {
        text += L": not for this type, left as it is";
    } else if (outcome.result != StepResult::Shown) {
        text += L" -> " + DataText(type, outcome.newData.value_or(L"")) + L": " +
                std::wstring(ResultText(outcome.result));
        if (outcome.result == StepResult::Failed)
            text += L", " + std::wstring(DescribeUpdateResult(outcome.updateResult));
        if (outcome.afterFailure)
            text += L" (after a failure)";
    }
    return text + std::wstring(kNewLine);
}

std::wstring TextFooter(const CommandResult& result)
{
    if (result.command == CommandName::Show) {
        if (result.pointsAt == kNoClient)
            return L"Points at: no TARN client on this computer" + std::wstring(kNewLine);
        if (!result.profileFound)
            return L"Points at: (no profile to compare with)" + std::wstring(kNewLine);
        std::wstring text = L"Points at: " + result.pointsAt;
        if (result.heldAddress)
            text += L" (" + *result.heldAddress + L")";
        return text + std::wstring(kNewLine);
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
    const bool show = result.command == CommandName::Show;
    std::wstring json = L"{\"command\": " + JsonText(CommandText(result.command));
    if (!show)
        json += L", \"type\": " + JsonText(result.type->name);
    json += L", \"profile\": " + JsonText(result.profilePath) +
            L", \"profile_found\": " + (result.profileFound ? L"true" : L"false");
    if (show) {
        json += L", \"held_address\": " + JsonOrNull(result.heldAddress) + L", \"points_at\": " +
                JsonOrNull(Unless(result.pointsAt.empty(), result.pointsAt));
    } else {
        json += L", \"address\": " + JsonOrNull(result.address) + L", \"port\": " + JsonOrNull(result.port);
    }
    json += L", \"warnings\": [";
    for (std::size_t i = 0; i < result.warnings.size(); ++i)
        json += (i ? L", " : L"") + JsonText(result.warnings[i]);
    json += show ? L"], \"values\": [" : L"], \"steps\": [";
    for (std::size_t i = 0; i < result.steps.size(); ++i)
        json += (i ? L",\r\n  " : L"\r\n  ") + JsonStep(result.steps[i], !show);
    json += L"]";
    if (!show)
        json += L", \"report\": " + JsonOrNull(Unless(result.report.empty(), result.report));
    json += ReachJsonMember(result);
    json += L", \"error\": " + JsonOrNull(Unless(result.error.empty(), result.error)) +
            L", \"exit_code\": " + std::to_wstring(result.exitCode) + L"}\r\n";
    return json;
}

} // namespace hostwend::cli
