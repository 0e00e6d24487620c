#include "cli/Arguments.h"

#include "reach/ReachServer.h"

namespace hostwend::cli {
namespace {

std::wstring Lower(std::wstring_view text)
{
    std::wstring lower(text);
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return lower;
}

const ConnectionType* TypeNamed(std::wstring_view name)
{
    const std::wstring lower = Lower(name);
    for (const ConnectionType& type : kConnectionTypes)
        if (type.name == lower)
            return &type;
    return nullptr;
}

// Whole seconds within the probe's limits, in plain digits.
std::optional<std::uint32_t> ReachSeconds(std::wstring_view text)
{
    if (text.empty() || text.size() > 2 || text.find_first_not_of(L"0123456789") != std::wstring_view::npos)
        return std::nullopt;
    std::uint32_t seconds = 0;
    for (wchar_t digit : text)
        seconds = seconds * 10 + static_cast<std::uint32_t>(digit - L'0');
    if (seconds < kReachLeastSeconds || seconds > kReachMostSeconds)
        return std::nullopt;
    return seconds;
}

// The first usage error found is the one told.
void Refuse(Arguments& parsed, std::wstring message)
{
    if (parsed.usageError.empty())
        parsed.usageError = std::move(message);
}

// --profile PATH or --profile=PATH; i moves past a path given on its own.
void ReadProfileOption(const std::vector<std::wstring>& arguments, std::size_t& i, std::wstring_view option,
                       Arguments& parsed)
{
    const std::wstring_view argument = arguments[i];
    std::wstring path;
    if (option == L"--profile") {
        if (i + 1 == arguments.size()) {
            Refuse(parsed, L"--profile needs a path");
            return;
        }
        // An option where the path should be is a path that went
        // missing (PowerShell drops an empty argument), not a file.
        const std::wstring_view next = arguments[i + 1];
        if (next.starts_with(L"--") || next == L"/?") {
            Refuse(parsed, L"--profile needs a path, not " + std::wstring(next));
            ++i;  // taken as the missing path, so that it asks for no help either
            return;
        }
        path = arguments[++i];
    } else {
        path = argument.substr(std::wstring_view(L"--profile=").size());
    }
    if (parsed.profilePath)
        Refuse(parsed, L"--profile is given twice");
    else if (path.empty())
        Refuse(parsed, L"--profile needs a path");
    else if (path.find_first_of(L"*?") != std::wstring::npos)
        Refuse(parsed, L"the --profile path names more than one file: " + path);
    parsed.profilePath = path;
}

// --timeout SECONDS or --timeout=SECONDS; i moves past seconds given on their own.
void ReadTimeoutOption(const std::vector<std::wstring>& arguments, std::size_t& i, std::wstring_view option,
                       Arguments& parsed)
{
    const bool joined = option != L"--timeout";
    if (!joined && i + 1 == arguments.size()) {
        Refuse(parsed, L"--timeout needs a number of seconds from 1 to 60");
        return;
    }
    const std::wstring_view argument = arguments[i];
    const std::wstring_view value =
        joined ? argument.substr(std::wstring_view(L"--timeout=").size()) : std::wstring_view(arguments[++i]);
    const std::optional<std::uint32_t> seconds = ReachSeconds(value);
    if (parsed.timeoutSeconds)
        Refuse(parsed, L"--timeout is given twice");
    else if (!seconds)
        Refuse(parsed, L"--timeout needs a number of seconds from 1 to 60, not " + std::wstring(value));
    parsed.timeoutSeconds = seconds.value_or(kReachDefaultSeconds);
}

// The command and its connection type, from the words that are not options.
void ReadCommand(const std::vector<std::wstring_view>& words, Arguments& parsed)
{
    const std::wstring command = Lower(words[0]);
    if (command == L"show") {
        parsed.command = CommandName::Show;
        if (words.size() > 1)
            Refuse(parsed, L"show takes no connection type: " + std::wstring(words[1]));
    } else if (command == L"undo") {
        parsed.command = CommandName::Undo;
        if (words.size() > 1)
            Refuse(parsed, L"undo takes no connection type: " + std::wstring(words[1]));
    } else if (command == L"check" && words.size() > 1 && Lower(words[1]) == L"undo") {
        parsed.command = CommandName::CheckUndo;
        if (words.size() > 2)
            Refuse(parsed, L"too many arguments: " + std::wstring(words[2]));
    } else if (command == L"check" || command == L"apply") {
        parsed.command = command == L"check" ? CommandName::Check : CommandName::Apply;
        if (words.size() < 2)
            Refuse(parsed, command + L" needs a connection type: lan, vpn, vsat or others");
        else if (!(parsed.type = TypeNamed(words[1])))
            Refuse(parsed, L"unknown connection type: " + std::wstring(words[1]) + L" (lan, vpn, vsat or others)");
        else if (words.size() > 2)
            Refuse(parsed, L"too many arguments: " + std::wstring(words[2]));
    } else {
        Refuse(parsed, L"unknown command: " + std::wstring(words[0]));
    }
}

void RefuseOptionsOutOfPlace(Arguments& parsed)
{
    const bool withType = parsed.command == CommandName::Check || parsed.command == CommandName::Apply;
    if (parsed.strict && !withType)
        Refuse(parsed, L"--strict goes with check and apply of a connection type only");
    // Only check may send anything to the network, and only when asked to.
    else if ((parsed.reach || parsed.timeoutSeconds) && parsed.command != CommandName::Check)
        Refuse(parsed, L"--reach and --timeout go with check only");
    else if (parsed.timeoutSeconds && !parsed.reach)
        Refuse(parsed, L"--timeout goes with --reach");
}

} // namespace

std::wstring_view CommandText(CommandName command)
{
    switch (command) {
    case CommandName::Show:
        return L"show";
    case CommandName::Check:
        return L"check";
    case CommandName::Apply:
        return L"apply";
    case CommandName::Undo:
        return L"undo";
    case CommandName::CheckUndo:
        return L"check undo";
    }
    return L"";
}

Arguments ParseArguments(const std::vector<std::wstring>& arguments)
{
    Arguments parsed;
    std::vector<std::wstring_view> words;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring_view argument = arguments[i];
        // Options in any letter case, like commands and types; a path keeps its own.
        const std::wstring option = Lower(argument);
        if (option == L"--help" || option == L"-h" || option == L"/?")
            parsed.help = true;
        else if (option == L"--json")
            parsed.json = true;
        else if (option == L"--profile" || option.starts_with(L"--profile="))
            ReadProfileOption(arguments, i, option, parsed);
        else if (option == L"--strict")
            parsed.strict = true;
        else if (option == L"--reach")
            parsed.reach = true;
        else if (option == L"--timeout" || option.starts_with(L"--timeout="))
            ReadTimeoutOption(arguments, i, option, parsed);
        else if (argument.starts_with(L"-") || argument.starts_with(L"/"))
            Refuse(parsed, L"unknown option: " + std::wstring(argument));
        else
            words.push_back(argument);
    }
    if (parsed.help)
        return parsed;
    if (words.empty()) {
        Refuse(parsed, L"a command is missing: show, check, apply or undo");
        return parsed;
    }
    ReadCommand(words, parsed);
    RefuseOptionsOutOfPlace(parsed);
    return parsed;
}

std::wstring_view UsageText()
{
    return L"Usage: hostwend-cli [--profile PATH] [--json] [--strict] COMMAND\r\n"
           L"\r\n"
           L"Points this computer's TARN 6.x client at the server that HWD.ini names\r\n"
           L"for a connection type, without a window and without asking anything.\r\n"
           L"\r\n"
           L"Commands:\r\n"
           L"  show          the eight client values as they are now, and which\r\n"
           L"                connection type of the profile they point at\r\n"
           L"  check TYPE    what apply TYPE would do, step by step; writes nothing\r\n"
           L"  check TYPE --reach [--timeout SECONDS]\r\n"
           L"                then, if apply would succeed, also whether TYPE's server\r\n"
           L"                answers from this computer on TCP port 7777: connects and\r\n"
           L"                closes at once, sending nothing; waits at most SECONDS\r\n"
           L"                (1 to 60, default 5)\r\n"
           L"  apply TYPE    writes the address and port of TYPE, as the window's Apply\r\n"
           L"  undo          puts back every value the last recorded apply changed, as\r\n"
           L"                it was, if none has changed since\r\n"
           L"  check undo    what undo would do; writes nothing\r\n"
           L"TYPE is lan, vpn, vsat or others; commands, types and options in any\r\n"
           L"letter case.\r\n"
           L"\r\n"
           L"Options:\r\n"
           L"  --profile PATH  read PATH instead of HWD.ini beside the program\r\n"
           L"  --json          write one JSON document to standard output\r\n"
           L"  --strict        check and apply: a warning refuses the command (exit code\r\n"
           L"                  3, nothing written)\r\n"
           L"  --help, /?      this text\r\n"
           L"\r\n"
           L"check, apply and undo need administrator rights: run them from an elevated\r\n"
           L"prompt, or as SYSTEM from a deployment tool.\r\n"
           L"\r\n"
           L"Exit codes:\r\n"
           L"  0       done: show read the values; check: apply would succeed;\r\n"
           L"          apply: every value written, or already held its new data\r\n"
           L"  1       internal error; some values may already be written: run show\r\n"
           L"  2       the profile file is missing or cannot be read\r\n"
           L"  3       a profile value is missing, blank or too long, or this client\r\n"
           L"          cannot store it, or --strict and a warning; nothing written\r\n"
           L"  4       another apply on this computer did not finish within 30 seconds;\r\n"
           L"          nothing written\r\n"
           L"  5       check, apply or undo without administrator rights; nothing written\r\n"
           L"  6       the apply lock cannot be used (see the message); nothing written\r\n"
           L"  9       check --reach: apply would succeed, but the server cannot be reached\r\n"
           L"          (name not resolved, refused, timed out, network unreachable)\r\n"
           L"  10      undo: nothing to undo (no apply on record, or undone already)\r\n"
           L"  11      undo: a value changed since the apply; nothing written\r\n"
           L"  12      the record of the last apply cannot be used, read or stored;\r\n"
           L"          nothing written\r\n"
           L"  21-28   step 1 to 8 failed (apply or undo stopped there; check: would\r\n"
           L"          fail there)\r\n"
           L"  87      usage error; nothing read or written\r\n";
}

std::wstring_view UsageHint() { return L"see hostwend-cli --help for the commands, types and options"; }

} // namespace hostwend::cli
