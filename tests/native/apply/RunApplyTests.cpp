#include "Branch.h"
#include "FakePlatform.h"
#include "TarnClient.h"
#include "apply/RunApply.h"
#include "apply/RunUndo.h"
#include "terms/Terms.h"
#include "rollback/LastApplyStore.h"
#include "registry/RegeditPath.h"

#include <gtest/gtest.h>

namespace hostwend {
namespace {

using testing::FakePlatform;
using testing::kTarnValues;

constexpr const wchar_t* kProfile = testing::kBranchProfile;

// A client whose port and DisableTCPBcast are numbers, the rest text, and a
// profile with a VSAT and a Lan address.
struct Machine : FakePlatform {
    Machine() { testing::SeedBranch(*this); }
    UndoOutcome Undo(ApplyMode mode = ApplyMode::Write)
    {
        UndoRequest request;
        request.mode = mode;
        request.told = [](const UndoOutcome& outcome) { return L"told " + std::to_wstring(outcome.exitCode); };
        return RunUndo({*this, *this, *this, *this}, request);
    }
    // The eight values exactly as a RegQueryValueExW of each returns them.
    std::vector<std::optional<std::pair<std::uint32_t, std::vector<std::uint8_t>>>> Client() const
    {
        std::vector<std::optional<std::pair<std::uint32_t, std::vector<std::uint8_t>>>> values;
        for (const auto& [path, name] : kTarnValues) {
            const std::optional<RegValue> value = ValueAsReadW(path, name);
            values.push_back(value ? std::optional(std::pair(value->type, value->data)) : std::nullopt);
        }
        return values;
    }
    ApplyOutcome Apply(std::size_t type = 2, ApplyMode mode = ApplyMode::Write)
    {
        ApplyRequest request;
        request.type = &kConnectionTypes[type];
        request.mode = mode;
        request.profilePath = kProfile;
        request.told = [](const ApplyOutcome& outcome) { return L"told " + std::to_wstring(outcome.exitCode); };
        ProfileState state;
        return RunApply({*this, *this, *this, *this}, state, request);
    }
};

std::vector<std::wstring> Header(const wchar_t* type, const wchar_t* address, const wchar_t* port, int exitCode,
                                 std::wstring place = kProfile)
{
    return {L"console", L"" HOSTWEND_PROGRAM_VERSION, L"BRANCH\\operator", L"TILL-04", type, address, port,
            std::move(place), L"told " + std::to_wstring(exitCode), std::to_wstring(exitCode)};
}

// Each value's data as the event shows it: the seeded client's, and after the vsat apply.
const std::vector<std::wstring> kShownBefore{L"old", L"old", L"old", L"old", L"1", L"0", L"old", L"old"};
const std::vector<std::wstring> kShownAfter{L"172.20.4.2:7777:0", L"172.20.4.2:7777:0", L"172.20.4.2",
                                            L"239.255.255.255:172.20.4.2", L"7777", L"1", L"172.20.4.2",
                                            L"172.20.4.2"};

// A value's key as regedit shows it on 64-bit Windows, and its name.
std::vector<std::wstring> ValueNamed(std::size_t i)
{
    return {RegeditKeyName(std::wstring(kTarnValues[i].first.begin(), kTarnValues[i].first.end()), true),
            std::wstring(kTarnValues[i].second.begin(), kTarnValues[i].second.end())};
}

// One event per apply that changes or refuses something: its type and ID, and
// every insert, for each way an apply ends. Each value is named as regedit
// shows it, the view included.
TEST(RunApply, EachApplyIsOnRecordWithItsOutcomeAndEveryValue)
{
    const std::vector<std::wstring>& before = kShownBefore;
    const std::vector<std::wstring>& after = kShownAfter;
    auto value = [](std::size_t i, std::wstring before, std::wstring after) {
        std::vector<std::wstring> strings = ValueNamed(i);
        strings.push_back(std::move(before));
        strings.push_back(std::move(after));
        return strings;
    };
    auto expectOne = [](const Machine& machine, EventType type, std::uint32_t id) {
        EXPECT_EQ(machine.events.size(), 1u);
        EXPECT_EQ(machine.events.empty() ? EventType{} : machine.events[0].type, type);
        EXPECT_EQ(machine.events.empty() ? 0u : machine.events[0].id, id);
        EXPECT_EQ(machine.events.empty() ? -1 : machine.events[0].locksHeld, 0) << "written once the lock is released";
        return machine.events.empty() ? std::vector<std::wstring>{} : machine.events[0].strings;
    };

    {
        SCOPED_TRACE("every value written");
        Machine machine;
        const ApplyOutcome outcome = machine.Apply();
        EXPECT_EQ(outcome.end, ApplyEnd::Applied);
        std::vector<std::wstring> expected = Header(L"vsat", L"172.20.4.2", L"7777", 0);
        for (std::size_t i = 0; i < 8; ++i)
            for (std::wstring& text : value(i, before[i], after[i]))
                expected.push_back(std::move(text));
        EXPECT_EQ(expectOne(machine, EventType::Information, 1000), expected);

        // The same apply again changes nothing, writes nothing, records nothing.
        machine.events.clear();
        machine.registryCalls.clear();
        const ApplyOutcome again = machine.Apply();
        EXPECT_EQ(again.exitCode, kExitDone);
        EXPECT_FALSE(again.ChangesAnything());
        for (const WalkStep& step : again.walk->steps)
            EXPECT_EQ(step.state, StepState::Unchanged);
        for (const std::string& call : machine.registryCalls)
            EXPECT_NE(call.rfind("set ", 0), 0u) << call;
        EXPECT_TRUE(machine.events.empty());
    }
    for (std::size_t failing = 0; failing < 8; ++failing) {
        SCOPED_TRACE("stopped at step " + std::to_string(failing + 1));
        Machine machine;
        machine.SetValue(kTarnValues[failing].first, kTarnValues[failing].second, kRegBinary, {0xab, 0x01});
        const ApplyOutcome outcome = machine.Apply();
        EXPECT_EQ(outcome.exitCode, 21 + static_cast<int>(failing));
        std::vector<std::wstring> expected = Header(L"vsat", L"172.20.4.2", L"7777", outcome.exitCode);
        for (std::size_t i = 0; i < 8; ++i)
            for (std::wstring& text :
                 i < failing    ? value(i, before[i], after[i])
                 : i > failing  ? value(i, before[i], L"not reached")
                                : value(i, L"ab 01",
                                        L"failed: the value is neither text (REG_SZ) nor a number (REG_DWORD)"))
                expected.push_back(std::move(text));
        EXPECT_EQ(expectOne(machine, EventType::Error, 1001), expected);
    }
    {
        SCOPED_TRACE("a Lan apply stopped before the VSAT step");
        Machine machine;
        machine.RemoveValue(kTarnValues[2].first, kTarnValues[2].second);
        const ApplyOutcome outcome = machine.Apply(0);
        EXPECT_EQ(outcome.exitCode, StepFailedExitCode(3));
        EXPECT_EQ(outcome.walk->steps[5].state, StepState::NotForThisType);
        const std::vector<std::wstring> strings = expectOne(machine, EventType::Error, 1001);
        ASSERT_EQ(strings.size(), 42u);
        EXPECT_EQ(strings[10 + 5 * 4 + 3], L"not for this type");
        EXPECT_EQ(strings[10 + 6 * 4 + 3], L"not reached");
    }

    // Refused before any write: what was read of the profile, and why; no
    // value is claimed "not written". The warnings, once both values passed.
    const struct {
        const char* name;
        void (*setUp)(Machine&);
        const wchar_t* address;
        const wchar_t* port;
        int exitCode;
        const wchar_t* warnings;
    } refusals[] = {
        {"not elevated", [](Machine& m) { m.elevated = false; }, L"(not read)", L"(not read)", kExitNotElevated,
         L"(not checked)"},
        {"no profile", [](Machine& m) { m.ordinaryFiles.clear(); }, L"(not read)", L"(not read)", kExitProfileMissing,
         L"(not checked)"},
        {"profile out of reach", [](Machine& m) { m.ordinaryFiles.clear(), m.fileTestError = 53; }, L"(not read)",
         L"(not read)", kExitProfileMissing, L"(not checked)"},
        {"another apply", [](Machine& m) { m.lockHeldElsewhere = true; }, L"172.20.4.2", L"7777", kExitApplyBusy,
         L"(none)"},
        {"lock unusable", [](Machine& m) { m.lockUnusableReason = L"reason"; }, L"172.20.4.2", L"7777",
         kExitLockUnusable, L"(none)"},
        {"blank address", [](Machine& m) { m.SetProfileEntry("SETUP", "VsatAddress", "  "); }, L"(blank)",
         L"(not read)", kExitProfileValueRefused, L"(not checked)"},
        {"no port", [](Machine& m) { m.SetProfileEntry("SETUP", "BcastUDPPort", ""); }, L"172.20.4.2", L"(blank)",
         kExitProfileValueRefused, L"(not checked)"},
        {"port no number for a REG_DWORD", [](Machine& m) { m.SetProfileEntry("SETUP", "BcastUDPPort", "77a7"); },
         L"172.20.4.2", L"77A7", kExitProfileValueRefused,
         L"BcastUDPPort in HWD.ini is not a port number from 1 to 65535: 77A7"},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.name);
        Machine machine;
        c.setUp(machine);
        const ApplyOutcome outcome = machine.Apply();
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_EQ(outcome.end, ApplyEnd::Refused);
        std::vector<std::wstring> expected = Header(L"vsat", c.address, c.port, c.exitCode);
        expected.push_back(c.warnings);
        EXPECT_EQ(expectOne(machine, EventType::Warning, 1002), expected);
        for (const std::string& call : machine.registryCalls)
            EXPECT_NE(call.rfind("set ", 0), 0u) << call;
    }

    // Data reaches the event as data, never as structure: no forged line, no
    // parameter a viewer expands, nothing XML cannot hold, no pair cut in two.
    const std::wstring pair{wchar_t(0xD83D), wchar_t(0xDE00)};  // U+1F600, one code point
    const std::wstring notXml =
        std::wstring(L"PC") + wchar_t(0xD800) + L"-" + wchar_t(0xDC00) + L"-" + wchar_t(0xFFFE) + wchar_t(0xFFFF);
    const struct {
        const char* what;
        std::string value;  // step 1's data, "" to keep "old"
        std::wstring name;  // the account's or the computer's, as string says; "" to keep it
        std::size_t string;
        std::wstring shown;
    } data[] = {
        {"too long for the event log", std::string(600, 'a'), L"", 12,
         std::wstring(500, L'a') + L"... (600 characters)"},
        {"CR LF forge no line", "10.0.0.1\r\nForged line", L"", 12, L"10.0.0.1\\r\\nForged line"},
        {"control characters", "a\tb\x01\x1f\x7f", L"", 12, L"a\\x09b\\x01\\x1F\\x7F"},
        // A viewer expands %n, %%n and %{...} in an insert, recursively: none may reach it.
        {"% before a digit, { or %", "1.1.1.1%13x%{S-1-5-18}%%7", L"", 12,
         L"1.1.1.1\\x2513x\\x25{S-1-5-18}\\x25\\x257"},
        {"%% is no parameter", "%%1234 %%%5 %7", L"", 12, L"\\x25\\x251234 \\x25\\x25\\x255 \\x257"},
        {"a lone % stays", "100% 5%, %x %}%", L"", 12, L"100% 5%, %x %}%"},
        {"a value's backslash before a % or a written \\x25", "C:\\%7\\x25", L"", 12, L"C:\\\\x257\\x5Cx25"},
        {"a computer's %", "", L"PC%1%{S-1-5-18}%", 3, L"PC\\x251\\x25{S-1-5-18}%"},
        {"an account's % after its backslash", "", L"CORP\\%7", 2, L"CORP\\\\x257"},
        // Layout characters, each range at both ends and just outside it.
        {"C1 controls", "", std::wstring(L"PC") + wchar_t(0x7F) + wchar_t(0x80) + wchar_t(0x9F) + L"\u00A0", 3,
         L"PC\\x7F\\u0080\\u009F\u00A0"},
        {"line and paragraph separators", "", L"PC\u2027\u2028\u2029", 3, L"PC\u2027\\u2028\\u2029"},
        {"zero-width and bidirectional marks", "", L"\u200A\u200B\u200F\u2010\u202A\u202E\u202F", 3,
         L"\u200A\\u200B\\u200F\u2010\\u202A\\u202E\u202F"},
        {"invisible operators and isolates", "", L"\u205F\u2060\u2069\u206A\uFEFF\uFEFE", 3,
         L"\u205F\\u2060\\u2069\u206A\\uFEFF\uFEFE"},
        {"a value's backslash before r, n, x or u", "C:\\new\\A\\\r\\", L"", 12,
         L"C:\\x5Cnew\\A\\\\r\\"},
        {"an account's backslash", "", L"CORP\\nadia", 2, L"CORP\\nadia"},
        {"no escape cut in two", std::string(499, 'a') + "\r", L"", 12,
         std::wstring(499, L'a') + L"... (500 characters)"},
        {"no \\x25 cut in two", std::string(497, 'a') + "%7", L"", 12,
         std::wstring(497, L'a') + L"... (499 characters)"},
        {"a \\u escape that fits", "", std::wstring(494, L'A') + L"\u202E", 3,
         std::wstring(494, L'A') + L"\\u202E"},
        {"no \\u escape cut in two", "", std::wstring(495, L'A') + L"\u202E", 3,
         std::wstring(495, L'A') + L"... (496 characters)"},
        {"characters XML cannot hold", "", notXml + pair, 3, L"PC\\uD800-\\uDC00-\\uFFFE\\uFFFF" + pair},
        {"a surrogate pair that fits", "", std::wstring(498, L'A') + pair, 3, std::wstring(498, L'A') + pair},
        {"a surrogate pair at the cut", "", std::wstring(499, L'A') + pair + L"B", 3,
         std::wstring(499, L'A') + L"... (502 characters)"},
    };
    for (const auto& c : data) {
        SCOPED_TRACE(c.what);
        Machine machine;
        if (!c.value.empty())
            machine.SetString(kTarnValues[0].first, kTarnValues[0].second, c.value);
        if (!c.name.empty())
            (c.string == 2 ? machine.accountName : machine.computerName) = c.name;
        (void)machine.Apply();
        const std::vector<std::wstring> strings = expectOne(machine, EventType::Information, 1000);
        EXPECT_EQ(strings.size() > c.string ? strings[c.string] : L"", c.shown);
    }
    {
        SCOPED_TRACE("internal error half-way");
        Machine machine;
        machine.throwAtWriteOf = "BcastUDPAddress";
        const ApplyOutcome outcome = machine.Apply();
        EXPECT_EQ(outcome.exitCode, kExitInternalError);
        EXPECT_EQ(machine.locksHeld, 0);
        EXPECT_EQ(machine.interruptionHolds, 0);
        const std::vector<std::wstring> strings = expectOne(machine, EventType::Error, 1001);
        ASSERT_EQ(strings.size(), 42u);
        EXPECT_EQ(strings[9], L"1");
        EXPECT_EQ(strings[41], L"(not known)");
    }
    {
        SCOPED_TRACE("a check, one step failing");
        Machine machine;
        machine.SetValue(kTarnValues[2].first, kTarnValues[2].second, kRegBinary, {0xab});
        EXPECT_EQ(machine.Apply(2, ApplyMode::CheckOnly).exitCode, StepFailedExitCode(3));
        EXPECT_TRUE(machine.events.empty());
        EXPECT_TRUE(machine.lockWaits.empty()) << "a dry run needs no turn";
        // An event log that takes nothing is reported, for one line on standard error.
        machine.eventLogError = 1502;
        EXPECT_EQ(machine.Apply().eventError, 1502u);
    }
}

// The profile is read and refused before the lock: a slow file server never
// holds it. Everything read of the registry and written is under the lock.
TEST(RunApply, ReadsTheProfileBeforeTheLockAndTheRegistryOnlyUnderIt)
{
    struct Watched : Machine {
        std::uint32_t GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                               const std::wstring& defaultText, wchar_t* buffer,
                                               std::uint32_t capacity, const std::wstring& path) override
        {
            profileReadsUnderLock += locksHeld;
            return Machine::GetPrivateProfileStringW(section, key, defaultText, buffer, capacity, path);
        }
        RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                                RegKey& opened) override
        {
            opensWithoutLock += locksHeld == 0;
            return Machine::RegOpenKeyExA(root, subKey, options, access, opened);
        }
        int profileReadsUnderLock = 0;
        int opensWithoutLock = 0;
    };
    Watched machine;
    EXPECT_EQ(machine.Apply().exitCode, kExitDone);
    EXPECT_EQ(machine.profileReads.size(), 2u);
    EXPECT_EQ(machine.profileReadsUnderLock, 0);
    EXPECT_EQ(machine.opensWithoutLock, 0);
    EXPECT_EQ(machine.holdsAtEachWrite, std::vector<int>(8, 1));
}

// --strict: any warning refuses, before the lock and the first write, and
// its event names every warning.
TEST(RunApply, StrictRefusesOnAnyWarning)
{
    {
        SCOPED_TRACE("two warnings, their data escaped");
        Machine machine;
        machine.SetProfileEntry("SETUP", "LanAddress", "10.0.0.1%1");
        machine.SetProfileEntry("SETUP", "BcastUDPPort", "0");
        ApplyRequest request;
        request.type = &kConnectionTypes[0];
        request.profilePath = kProfile;
        request.strict = true;
        ProfileState state;
        EXPECT_EQ(RunApply({machine, machine, machine, machine}, state, request).refusal, Refusal::Warnings);
        ASSERT_EQ(machine.events.size(), 1u);
        EXPECT_EQ(machine.events[0].id, 1002u);
        ASSERT_EQ(machine.events[0].strings.size(), 11u);
        EXPECT_EQ(machine.events[0].strings[10],
                  L"LanAddress in HWD.ini is neither an IPv4 address nor a host name: 10.0.0.1\\x251; "
                  L"BcastUDPPort in HWD.ini is not a port number from 1 to 65535: 0");
    }
    for (const char* port : {"7777", "-1", "0"}) {
        SCOPED_TRACE(port);
        Machine machine;
        machine.SetProfileEntry("SETUP", "BcastUDPPort", port);
        ApplyRequest request;
        request.type = &kConnectionTypes[0];
        request.profilePath = kProfile;
        request.strict = true;
        ProfileState state;
        const ApplyOutcome outcome = RunApply({machine, machine, machine, machine}, state, request);
        const bool warned = std::string(port) != "7777";
        EXPECT_EQ(outcome.warnings.size(), warned ? 1u : 0u);
        EXPECT_EQ(outcome.refusal, warned ? Refusal::Warnings : Refusal::None);
        EXPECT_EQ(outcome.exitCode, warned ? kExitProfileValueRefused : kExitDone);
        EXPECT_EQ(machine.lockWaits.empty(), warned);
    }
}

// A value as valuesRefusingWrites names it.
std::string ValuePath(std::string path)
{
    for (char& c : path)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return path;
}

// The record is stored before the first write: an apply stopped at any step,
// by a failure or a fault of its own, is undone exactly, data in its own type
// and bytes (a host name in lower case, another suffix, a DWORD 0).
TEST(RunUndo, PutsBackExactlyWhatAnyApplyWroteWhereverItStopped)
{
    auto seed = [](Machine& m) {
        m.SetString(kTarnValues[0].first, kTarnValues[0].second, "tarnsrv.corp.local:7777:0");
        m.SetString(kTarnValues[1].first, kTarnValues[1].second, "tarnsrv.corp.local:9999:1");
    };
    for (int stop = -1; stop < 8; ++stop) {
        SCOPED_TRACE("apply stopped at step " + std::to_string(stop + 1));
        Machine machine;
        seed(machine);
        const auto before = machine.Client();
        if (stop >= 0)
            machine.valuesRefusingWrites = {ValuePath(kTarnValues[stop].first + "\\" + kTarnValues[stop].second)};
        const ApplyOutcome applied = machine.Apply();
        EXPECT_EQ(applied.exitCode, stop < 0 ? kExitDone : StepFailedExitCode(stop + 1));
        machine.valuesRefusingWrites.clear();
        machine.events.clear();

        // Stopped at its first write, it changed nothing: there is nothing to undo.
        const int expected = stop == 0 ? kExitNothingToUndo : kExitDone;
        const UndoOutcome check = machine.Undo(ApplyMode::CheckOnly);
        EXPECT_EQ(check.exitCode, expected);
        const UndoOutcome undone = machine.Undo();
        EXPECT_EQ(undone.exitCode, expected);
        EXPECT_EQ(machine.Client(), before);
        if (stop == 0)
            continue;
        EXPECT_EQ(machine.locksHeld, 0);
        ASSERT_EQ(machine.events.size(), 1u);
        EXPECT_EQ(machine.events[0].id, 1003u);
        EXPECT_EQ(machine.events[0].locksHeld, 0);
        ASSERT_EQ(machine.events[0].strings.size(), 42u);
        EXPECT_EQ(machine.events[0].strings[10 + 5 * 4 + 3], stop >= 0 && stop <= 5 ? L"unchanged" : L"0");
        // Once undone, there is nothing more to undo, and nothing on record.
        EXPECT_EQ(machine.Undo().exitCode, kExitNothingToUndo);
        EXPECT_EQ(machine.events.size(), 1u);
    }
    {
        SCOPED_TRACE("killed between two writes");
        Machine machine;
        seed(machine);
        const auto before = machine.Client();
        machine.throwAtWriteOf = "BcastUDPAddress";
        EXPECT_EQ(machine.Apply().exitCode, kExitInternalError);
        machine.throwAtWriteOf.clear();
        EXPECT_EQ(machine.Undo().exitCode, kExitDone);
        EXPECT_EQ(machine.Client(), before);
    }
}

// An apply that changes nothing keeps the record of the last real change; a
// refused one stores none; the window's apply is undone by the console.
TEST(RunUndo, TheRecordIsTheLastApplyThatChangedSomething)
{
    Machine machine;
    const auto original = machine.Client();
    EXPECT_EQ(machine.Undo().exitCode, kExitNothingToUndo) << "no record yet";
    EXPECT_TRUE(machine.events.empty()) << "an undo that changes nothing is not recorded";
    ApplyRequest window;
    window.program = ApplyProgram::Window;
    window.type = &kConnectionTypes[2];
    window.profilePath = kProfile;
    ProfileState state;
    EXPECT_EQ(RunApply({machine, machine, machine, machine}, state, window).exitCode, kExitDone);
    EXPECT_EQ(machine.Apply().exitCode, kExitDone) << "the same apply again changes nothing";
    machine.SetProfileEntry("SETUP", "BcastUDPPort", "");
    EXPECT_EQ(machine.Apply().exitCode, kExitProfileValueRefused);
    const UndoOutcome undone = machine.Undo();
    EXPECT_EQ(undone.exitCode, kExitDone);
    EXPECT_EQ(undone.undoRecord.lastApply->program, ApplyProgram::Window);
    EXPECT_EQ(machine.Client(), original);
}

using Client = decltype(Machine().Client());
constexpr std::size_t kLan = 0, kVpn = 1, kVsat = 2;

// Removes a step's value, so that an apply stops there, and returns the client as it is then.
Client Without(Machine& m, std::size_t step)
{
    m.RemoveValue(kTarnValues[step].first, kTarnValues[step].second);
    return m.Client();
}

// Mends the value an apply stopped at, in its client's type; the client before keeps it as mended.
void Mend(Machine& m, std::size_t step, Client& before)
{
    if (step == 4 || step == 5)
        m.SetDword(kTarnValues[step].first, kTarnValues[step].second, 1);
    else
        m.SetString(kTarnValues[step].first, kTarnValues[step].second, "mended");
    before[step] = m.Client()[step];
}

// An apply of one type by a program, stopped at a step whose value is
// missing; the value mended; a whole console apply of another type. Returns
// the client before the first, with the value as mended.
Client StoppedMendedThen(Machine& m, std::size_t step, std::size_t first, std::size_t then,
                         ApplyProgram program = ApplyProgram::Console)
{
    Client expected = Without(m, step);
    ApplyRequest request;
    request.program = program;
    request.type = &kConnectionTypes[first];
    request.profilePath = kProfile;
    ProfileState state;
    EXPECT_EQ(RunApply({m, m, m, m}, state, request).exitCode, StepFailedExitCode(step + 1));
    Mend(m, step, expected);
    EXPECT_EQ(m.Apply(then).exitCode, kExitDone);
    return expected;
}

// An apply stopped part-way (by a failure, a kill or a power cut) and the
// applies that complete it are one change for undo: it puts the client back
// as it was before the first of them, never a mix of two servers. Each
// sequence returns the client undo must leave.
TEST(RunUndo, AnApplyStoppedPartWayIsUndoneTogetherWithTheAppliesThatCompleteIt)
{
    const struct {
        const char* name;
        Client (*run)(Machine&);
    } cases[] = {
        {"vsat stops at 6; mended; vsat", [](Machine& m) { return StoppedMendedThen(m, 5, kVsat, kVsat); }},
        {"window vpn stops at 7; mended; console vpn",
         [](Machine& m) { return StoppedMendedThen(m, 6, kVpn, kVpn, ApplyProgram::Window); }},
        {"vsat stops at 3; mended; lan", [](Machine& m) { return StoppedMendedThen(m, 2, kVsat, kLan); }},
        {"vsat stops at 7, having written step 6; mended; lan, which leaves step 6 alone",
         [](Machine& m) { return StoppedMendedThen(m, 6, kVsat, kLan); }},
        {"vpn whole; vsat whole: one level",
         [](Machine& m) {
             EXPECT_EQ(m.Apply(kVpn).exitCode, kExitDone);
             Client expected = m.Client();
             EXPECT_EQ(m.Apply(kVsat).exitCode, kExitDone);
             return expected;
         }},
        {"vsat whole; only the port changed; vsat: one level",
         [](Machine& m) {
             EXPECT_EQ(m.Apply(kVsat).exitCode, kExitDone);
             Client expected = m.Client();
             m.SetProfileEntry("SETUP", "BcastUDPPort", "8888");
             EXPECT_EQ(m.Apply(kVsat).exitCode, kExitDone);
             EXPECT_EQ(ReadLastApply(m).lastApply->port, L"8888");
             return expected;
         }},
        {"vpn whole; vsat fails at its first write: the vpn apply stays the one undone",
         [](Machine& m) {
             Client expected = m.Client();
             EXPECT_EQ(m.Apply(kVpn).exitCode, kExitDone);
             m.valuesRefusingWrites = {ValuePath(kTarnValues[0].first + "\\" + kTarnValues[0].second)};
             EXPECT_EQ(m.Apply(kVsat).exitCode, StepFailedExitCode(1));
             m.valuesRefusingWrites.clear();
             return expected;
         }},
        {"killed between two writes; again",
         [](Machine& m) {
             Client expected = m.Client();
             m.throwAtWriteOf = "BcastUDPAddress";
             EXPECT_EQ(m.Apply(kVsat).exitCode, kExitInternalError);
             m.throwAtWriteOf.clear();
             EXPECT_EQ(m.Apply(kVsat).exitCode, kExitDone);
             return expected;
         }},
        {"power cut between two writes, those before it on disk; again",
         [](Machine& m) {
             Client expected = m.Client();
             m.throwAtWriteOf = "BcastUDPAddress";
             EXPECT_EQ(m.Apply(kVsat).exitCode, kExitInternalError);
             m.throwAtWriteOf.clear();
             m.SettleOnDisk();
             m.PowerCut();
             EXPECT_EQ(m.Apply(kVsat).exitCode, kExitDone);
             return expected;
         }},
        {"vsat stops at 6; mended; killed at 7; lan",
         [](Machine& m) {
             Client expected = Without(m, 5);
             EXPECT_EQ(m.Apply(kVsat).exitCode, StepFailedExitCode(6));
             m.SetDword(kTarnValues[5].first, kTarnValues[5].second, 1);
             expected[5] = m.Client()[5];
             m.throwAtWriteOf = kTarnValues[6].second;
             EXPECT_EQ(m.Apply(kVsat).exitCode, kExitInternalError);
             m.throwAtWriteOf.clear();
             EXPECT_EQ(m.Apply(kLan).exitCode, kExitDone);
             return expected;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        const Client expected = c.run(machine);
        EXPECT_TRUE(ReadLastApply(machine).lastApply->finished);
        machine.utcNow = L"2026-12-08T09:15:00Z";
        machine.accountName = L"BRANCH\\admin";
        const UndoOutcome undone = machine.Undo();
        EXPECT_EQ(undone.exitCode, kExitDone);
        EXPECT_EQ(machine.Client(), expected);
        // As it stands after the undo, its time and account each in its place.
        ASSERT_TRUE(undone.undoRecord.lastApply && undone.undoRecord.lastApply->undone);
        EXPECT_EQ(*undone.undoRecord.lastApply->undone, (UndoMark{L"2026-12-08T09:15:00Z", L"BRANCH\\admin"}));
        EXPECT_EQ(ReadLastApply(machine).lastApply, undone.undoRecord.lastApply);
        EXPECT_EQ(machine.Undo().exitCode, kExitNothingToUndo);
    }
}

// Undo's word holds where the record cannot: a value an apply would write
// without being able to read it first, a record that cannot be stored or
// marked, a client put back by hand.
TEST(RunUndo, NoValueIsWrittenWithoutItsBeforeAndAnUndoneClientIsNothingToUndo)
{
    {
        SCOPED_TRACE("a key that grants only query and set: read, written, undone");
        Machine machine;
        const auto original = machine.Client();
        machine.keyRights[ValuePath(kTarnValues[7].first)] = kKeyQueryValue | kKeySetValue;
        EXPECT_EQ(machine.Apply().exitCode, kExitDone);
        EXPECT_EQ(machine.Undo().exitCode, kExitDone);
        EXPECT_EQ(machine.Client(), original);
    }
    const struct {
        const char* name;
        void (*change)(Machine&);
        int checkExitCode;  // a check stores no record, so cannot know it cannot
    } refusals[] = {
        {"a value it would write cannot be read",
         [](Machine& m) { m.valuesFailingReads[ValuePath(kTarnValues[7].first + "\\" + kTarnValues[7].second)] = 234; },
         kExitRecordUnusable},
        {"the record cannot be stored",
         [](Machine& m) {
             m.SetKeySecurity("SOFTWARE\\Wendlebrook\\Hostwend\\LastApply", "O:BAD:(A;;KA;;;BA)(A;;KA;;;BU)");
         },
         kExitDone},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.name);
        Machine machine;
        EXPECT_EQ(machine.Apply(1).exitCode, kExitDone);  // a record to keep
        c.change(machine);
        const auto before = machine.Client();
        machine.events.clear();
        EXPECT_EQ(machine.Apply(2, ApplyMode::CheckOnly).exitCode, c.checkExitCode);
        const ApplyOutcome refused = machine.Apply();
        EXPECT_EQ(refused.exitCode, kExitRecordUnusable);
        EXPECT_EQ(machine.Client(), before) << "a value was written";
        ASSERT_EQ(machine.events.size(), 1u);
        EXPECT_EQ(machine.events[0].id, 1002u);
    }
    {
        SCOPED_TRACE("put back by hand, or an undo whose mark was lost: nothing to undo, and marked so");
        Machine machine;
        const auto original = machine.Client();
        EXPECT_EQ(machine.Apply().exitCode, kExitDone);
        machine.writesLeft = 8;  // the eight put back; the mark fails
        const UndoOutcome unmarked = machine.Undo();
        EXPECT_EQ(unmarked.exitCode, kExitDone);
        EXPECT_NE(unmarked.undoneMarkStatus, kErrorSuccess);
        EXPECT_FALSE(unmarked.undoRecord.lastApply->undone);
        machine.writesLeft.reset();
        EXPECT_EQ(machine.Client(), original);
        EXPECT_EQ(machine.Undo(ApplyMode::CheckOnly).exitCode, kExitNothingToUndo);
        EXPECT_FALSE(ReadLastApply(machine).lastApply->undone) << "a check writes nothing";
        EXPECT_EQ(machine.Undo().exitCode, kExitNothingToUndo);
        EXPECT_TRUE(ReadLastApply(machine).lastApply->undone);
    }
}

// Nothing is written unless every value holds its data before or exactly what
// the apply wrote, and the record is one only administrators could write.
// Each refusal is on record as an undo's (1004), beside each value now and
// as the record keeps it once they were read.
TEST(RunUndo, RefusesBeforeAnyWriteWhatCannotBeUndoneWhole)
{
    const std::wstring recordKey = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wendlebrook\\Hostwend\\LastApply";
    const std::vector<std::wstring> notRead{L"not read", L"(not read)", L"(not read)", L"(not read)"};
    std::vector<std::vector<std::wstring>> changedByHand;  // how each value stands, now, before, as written
    for (std::size_t i = 0; i < 8; ++i)
        changedByHand.push_back({L"holds what the apply wrote", kShownAfter[i], kShownBefore[i], kShownAfter[i]});
    changedByHand[7] = {L"changed since the apply", L"x", L"old", L"172.20.4.2"};
    changedByHand[0] = {L"holds its data from before", L"old", L"old", L"172.20.4.2:7777:0"};
    const struct {
        const char* name;
        void (*change)(Machine&);
        int exitCode;
        bool recordRead;
        std::vector<std::vector<std::wstring>> values;  // empty: none read
    } cases[] = {
        // Each way a value can have changed is the plan's table; here, what the use case makes of one.
        {"values changed by hand",
         [](Machine& m) {
             m.SetString(kTarnValues[7].first, kTarnValues[7].second, "x");
             m.SetString(kTarnValues[0].first, kTarnValues[0].second, "old");
         },
         kExitChangedSince, true, changedByHand},
        {"a record others could write",
         [](Machine& m) {
             m.SetKeySecurity("SOFTWARE\\Wendlebrook\\Hostwend\\LastApply", "O:BAD:(A;;KA;;;BA)(A;;KA;;;BU)");
         },
         kExitRecordUnusable, false, {}},
        {"not elevated", [](Machine& m) { m.elevated = false; }, kExitNotElevated, false, {}},
        {"another apply", [](Machine& m) { m.lockHeldElsewhere = true; }, kExitApplyBusy, false, {}},
        {"lock unusable", [](Machine& m) { m.lockUnusableReason = L"reason"; }, kExitLockUnusable, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        EXPECT_EQ(machine.Apply().exitCode, kExitDone);
        c.change(machine);
        const auto changed = machine.Client();
        machine.events.clear();
        EXPECT_EQ(machine.Undo(ApplyMode::CheckOnly).exitCode,
                  c.exitCode == kExitApplyBusy || c.exitCode == kExitLockUnusable ? kExitDone : c.exitCode);
        const UndoOutcome refused = machine.Undo();
        EXPECT_EQ(refused.exitCode, c.exitCode);
        EXPECT_EQ(machine.Client(), changed) << "something was written";
        ASSERT_EQ(machine.events.size(), 1u);
        EXPECT_EQ(machine.events[0].type, EventType::Warning);
        EXPECT_EQ(machine.events[0].id, 1004u);
        std::vector<std::wstring> expected =
            c.recordRead ? Header(L"vsat", L"172.20.4.2", L"7777", c.exitCode, recordKey)
                         : Header(L"(not read)", L"(not read)", L"(not read)", c.exitCode, recordKey);
        for (std::size_t i = 0; i < 8; ++i) {
            std::vector<std::wstring> named = ValueNamed(i);
            const std::vector<std::wstring>& value = c.values.empty() ? notRead : c.values[i];
            named.insert(named.end(), value.begin(), value.end());
            expected.insert(expected.end(), named.begin(), named.end());
        }
        EXPECT_EQ(machine.events[0].strings, expected);
    }
    {
        SCOPED_TRACE("a write refused part-way: the record stays, a second undo finishes");
        Machine machine;
        const auto original = machine.Client();
        EXPECT_EQ(machine.Apply().exitCode, kExitDone);
        machine.valuesRefusingWrites = {ValuePath(kTarnValues[3].first + "\\" + kTarnValues[3].second)};
        EXPECT_EQ(machine.Undo().exitCode, StepFailedExitCode(4));
        ASSERT_EQ(machine.events.size(), 2u);
        EXPECT_EQ(machine.events[1].type, EventType::Error);
        EXPECT_EQ(machine.events[1].id, 1005u);
        const std::vector<std::wstring>& strings = machine.events[1].strings;
        ASSERT_EQ(strings.size(), 42u);
        EXPECT_EQ(strings[7], L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wendlebrook\\Hostwend\\LastApply");
        for (std::size_t i = 0; i < 8; ++i)
            EXPECT_EQ(std::vector<std::wstring>(strings.begin() + 12 + 4 * i, strings.begin() + 14 + 4 * i),
                      (std::vector<std::wstring>{kShownAfter[i], i < 3    ? kShownBefore[i]
                                                                 : i == 3 ? L"failed: Windows error 5"
                                                                          : L"not reached"}))
                << "value " << i + 1;
        machine.valuesRefusingWrites.clear();
        EXPECT_EQ(machine.Undo().exitCode, kExitDone);
        EXPECT_EQ(machine.Client(), original);
    }
}

} // namespace
} // namespace hostwend
