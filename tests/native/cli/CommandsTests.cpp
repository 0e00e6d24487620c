#include "FakePlatform.h"
#include "TarnClient.h"
#include "cli/Arguments.h"
#include "cli/CommandRecord.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"

#include <gtest/gtest.h>

namespace hostwend::cli {
namespace {

using hostwend::testing::FakePlatform;
using hostwend::testing::kTarnValues;

constexpr wchar_t kProfile[] = L"C:\\Sites\\branch.ini";

Arguments Parse(std::vector<std::wstring> words) { return ParseArguments(words); }

// Counts what the lock covers: every write must happen while it is held.
struct Machine : FakePlatform {
    Machine()
    {
        for (std::size_t i = 0; i < kTarnValues.size(); ++i) {
            if (i == 4 || i == 5)
                SetDword(kTarnValues[i].first, kTarnValues[i].second, i == 4 ? 1 : 0);
            else
                SetString(kTarnValues[i].first, kTarnValues[i].second, "old");
        }
        ordinaryFiles[kProfile] = L"branch.ini";
        profileFilePath = kProfile;
        SetProfileEntry("SETUP", "LanAddress", "10.1.2.3");
        SetProfileEntry("SETUP", "VPNAddress", "10.0.0.7");
        SetProfileEntry("SETUP", "VsatAddress", "172.20.4.2");
        SetProfileEntry("SETUP", "OthersAddress", "server1.example.net");
        SetProfileEntry("SETUP", "BcastUDPPort", "7777");
    }
    RegStatus RegSetValueExA(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override
    {
        writesWithoutLock += locksHeld == 0;
        return FakePlatform::RegSetValueExA(key, name, type, data, size);
    }
    CommandResult Run(const std::vector<std::wstring>& words)
    {
        const Arguments arguments = Parse(words);
        EXPECT_TRUE(arguments.usageError.empty()) << arguments.usageError.c_str();
        ProfileState state;
        return RunCommand(*this, *this, *this, state, arguments, kProfile);
    }
    std::size_t Writes() const
    {
        std::size_t writes = 0;
        for (const auto& call : registryCalls)
            writes += call.rfind("set ", 0) == 0;
        return writes;
    }
    int writesWithoutLock = 0;
};

TEST(CliArguments, ParsesCommandsTypesAndOptionsOrRefusesThem)
{
    const struct {
        std::vector<std::wstring> words;
        std::wstring error;  // "": parsed
        CommandName command = CommandName::Show;
        const wchar_t* type = nullptr;
        bool json = false;
    } cases[] = {
        {{L"show"}, L""},
        {{L"CHECK", L"Vsat"}, L"", CommandName::Check, L"vsat"},
        {{L"apply", L"others", L"--json"}, L"", CommandName::Apply, L"others", true},
        {{L"--profile", L"x.ini", L"apply", L"LAN"}, L"", CommandName::Apply, L"lan"},
        {{}, L"a command is missing: show, check or apply"},
        {{L"remove"}, L"unknown command: remove"},
        {{L"apply"}, L"apply needs a connection type: lan, vpn, vsat or others"},
        {{L"apply", L"wifi"}, L"unknown connection type: wifi (lan, vpn, vsat or others)"},
        {{L"check", L"vpn", L"lan"}, L"too many arguments: lan"},
        {{L"show", L"lan"}, L"show takes no connection type: lan"},
        {{L"show", L"--verbose"}, L"unknown option: --verbose"},
        {{L"show", L"--profile"}, L"--profile needs a path"},
        {{L"--profile", L"a.ini", L"--profile=b.ini", L"show"}, L"--profile is given twice"},
        {{L"--profile", L"*.ini", L"show"}, L"the --profile path names more than one file: *.ini"},
        // An empty path dropped by PowerShell leaves the next option in its place.
        {{L"--profile", L"--json", L"apply", L"vpn"}, L"--profile needs a path, not --json"},
        {{L"--profile", L"/?", L"show"}, L"--profile needs a path, not /?"},
    };
    for (const auto& c : cases) {
        const Arguments parsed = Parse(c.words);
        EXPECT_EQ(parsed.usageError, c.error);
        if (!c.error.empty())
            continue;
        EXPECT_EQ(parsed.command, c.command);
        EXPECT_EQ(parsed.type ? std::wstring(parsed.type->name) : L"", c.type ? c.type : L"");
        EXPECT_EQ(parsed.json, c.json);
    }
    EXPECT_EQ(*Parse({L"--profile=s.ini", L"show"}).profilePath, L"s.ini");
    // Help wins over anything else on the line.
    EXPECT_TRUE(Parse({L"apply", L"wifi", L"/?"}).help);
    EXPECT_TRUE(Parse({L"--help"}).help);
}

// What the registry itself cannot show under Wine: when the lock is held,
// and with which access show and check open the keys.
TEST(CliCommands, ApplyWritesOnlyInItsTurnCheckNeedsNoneAndShowOnlyReads)
{
    Machine machine;
    const CommandResult check = machine.Run({L"check", L"vsat"});
    EXPECT_EQ(check.exitCode, kExitDone);
    EXPECT_TRUE(machine.lockWaits.empty()) << "a dry run needs no turn";
    EXPECT_EQ(machine.Writes(), 0u);

    const CommandResult apply = machine.Run({L"apply", L"vsat"});
    EXPECT_EQ(apply.exitCode, kExitDone);
    EXPECT_EQ(machine.Writes(), 8u);
    EXPECT_EQ(machine.writesWithoutLock, 0);
    // Ctrl+C or a closed console during the writes waits for the last one.
    EXPECT_EQ(machine.holdsAtEachWrite, std::vector<int>(8, 1));
    EXPECT_EQ(machine.interruptionHolds, 0);
    for (std::uint32_t mask : machine.openAccessMasks)
        EXPECT_TRUE(mask == (kKeyQueryValue | kKeySetValue | kKeyWow64_32Key) || mask == (kKeyRead | kKeyWow64_32Key))
            << mask;
    EXPECT_EQ(machine.lockWaits, std::vector<std::uint32_t>{30000});
    EXPECT_EQ(machine.locksHeld, 0) << "released at the end";

    machine.openAccessMasks.clear();
    machine.elevated = false;
    const CommandResult shown = machine.Run({L"show"});
    EXPECT_EQ(shown.exitCode, kExitDone);
    EXPECT_EQ(shown.pointsAt, L"vsat");
    ASSERT_EQ(machine.openAccessMasks.size(), 8u);
    for (std::uint32_t mask : machine.openAccessMasks)
        EXPECT_EQ(mask, kKeyRead | kKeyWow64_32Key);
    EXPECT_EQ(machine.OpenHandleCount(), 0u);

    // A key that may not be read is not "missing": that would send an
    // administrator looking for a client that is there.
    machine.keyRights["software\\odbc\\odbc.ini\\tarn int database"] = 0;
    const CommandResult denied = machine.Run({L"show"});
    EXPECT_EQ(denied.steps[7].read, ValueRead::Denied);
    EXPECT_EQ(denied.steps[6].read, ValueRead::Read);
}

TEST(CliCommands, RefusesBeforeWritingWhatCannotBeDoneWhole)
{
    const struct {
        const char* name;
        int exitCode;
        std::wstring error;
        void (*setUp)(Machine&);
        const wchar_t* command = L"apply";
    } cases[] = {
        {"not elevated", kExitNotElevated,
         L"apply vpn needs administrator rights: run it from an elevated prompt (Run as administrator), or as SYSTEM "
         L"from a deployment tool; nothing was written",
         [](Machine& m) { m.elevated = false; }},
        {"check not elevated", kExitNotElevated,
         L"check vpn needs administrator rights: run it from an elevated prompt (Run as administrator), or as SYSTEM "
         L"from a deployment tool; nothing was written",
         [](Machine& m) { m.elevated = false; }, L"check"},
        {"another apply", kExitApplyBusy,
         L"another Hostwend is applying settings on this computer and did not finish within 30 seconds; nothing was "
         L"written",
         [](Machine& m) { m.lockHeldElsewhere = true; }},
        {"lock unusable", kExitLockUnusable,
         L"the apply lock cannot be used: its name is held by an object of another kind (Windows error 6); nothing "
         L"was written",
         [](Machine& m) { m.lockUnusableReason = L"its name is held by an object of another kind (Windows error 6)"; }},
        {"no profile", kExitProfileMissing, L"profile file not found: C:\\Sites\\branch.ini",
         [](Machine& m) { m.ordinaryFiles.clear(); }},
        {"blank address", kExitProfileValueRefused, L"VPNAddress missing in HWD.ini; nothing was written",
         [](Machine& m) { m.SetProfileEntry("SETUP", "VPNAddress", "  "); }},
        {"no port", kExitProfileValueRefused, L"BcastUDPPort missing in HWD.ini; nothing was written",
         [](Machine& m) { m.SetProfileEntry("SETUP", "BcastUDPPort", ""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        c.setUp(machine);
        const CommandResult result = machine.Run({c.command, L"vpn"});
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(machine.Writes(), 0u);
        EXPECT_TRUE(result.steps.empty());
        if (c.exitCode == kExitNotElevated || c.exitCode == kExitApplyBusy || c.exitCode == kExitLockUnusable) {
            EXPECT_TRUE(machine.profileReads.empty()) << "decided before the profile is read";
        }
    }
}

TEST(CliCommands, ARefusalNamesTheProfileFileItCameFrom)
{
    Machine machine;
    machine.SetProfileEntry("SETUP", "VPNAddress", "");
    ProfileState state;
    const CommandResult result =
        RunCommand(machine, machine, machine, state, Parse({L"--profile", kProfile, L"apply", L"vpn"}), kProfile);
    EXPECT_EQ(result.exitCode, kExitProfileValueRefused);
    EXPECT_EQ(result.error, L"VPNAddress missing in C:\\Sites\\branch.ini; nothing was written");
}

TEST(CliCommands, AnUnexpectedFailureEndsAsAnInternalErrorNeverAsAnotherCode)
{
    Machine machine;
    machine.throwAtWriteOf = "BcastUDPAddress";  // out of memory half-way
    const CommandResult result = machine.Run({L"apply", L"lan"});
    EXPECT_EQ(result.exitCode, kExitInternalError);
    EXPECT_EQ(result.error, L"internal error; some values may already be written: run show");
    EXPECT_EQ(machine.locksHeld, 0);
    EXPECT_EQ(machine.interruptionHolds, 0);
}

TEST(CliCommands, WarnsOfAnUnlikelyAddressOrPortAndAppliesItAllTheSame)
{
    const struct {
        const char* address;
        const char* port;
        std::vector<std::wstring> warnings;
    } cases[] = {
        {"10.0.0.3", "7777", {}},
        {"server-1.example.net", "1", {}},
        {"10.0.0.300", "65535", {L"VsatAddress in HWD.ini is neither an IPv4 address nor a host name: 10.0.0.300"}},
        {"10.0.0", "0", {L"VsatAddress in HWD.ini is neither an IPv4 address nor a host name: 10.0.0",
                         L"BcastUDPPort in HWD.ini is not a port number from 1 to 65535: 0"}},
        {"-bad-.net", "65536", {L"VsatAddress in HWD.ini is neither an IPv4 address nor a host name: -BAD-.NET",
                                L"BcastUDPPort in HWD.ini is not a port number from 1 to 65535: 65536"}},
        {"a_b.net", "+77", {L"VsatAddress in HWD.ini is neither an IPv4 address nor a host name: A_B.NET",
                            L"BcastUDPPort in HWD.ini is not a port number from 1 to 65535: +77"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        Machine machine;
        machine.SetProfileEntry("SETUP", "VsatAddress", c.address);
        machine.SetProfileEntry("SETUP", "BcastUDPPort", c.port);
        const CommandResult result = machine.Run({L"check", L"vsat"});
        EXPECT_EQ(result.warnings, c.warnings);
        EXPECT_EQ(result.steps.size(), 8u) << "a warning refuses nothing";
    }
}

// One event per apply: its type and ID, and every insert, for each way an
// apply ends; show and check change nothing and record nothing.
TEST(CliCommands, EachApplyIsOnRecordWithItsOutcomeAndEveryValue)
{
    const std::vector<std::wstring> before{L"old", L"old", L"old", L"old", L"1", L"0", L"old", L"old"};
    const std::vector<std::wstring> after{L"172.20.4.2:7777:0", L"172.20.4.2:7777:0", L"172.20.4.2",
                                          L"239.255.255.255:172.20.4.2", L"7777", L"1", L"172.20.4.2",
                                          L"172.20.4.2"};
    auto record = [](Machine& machine, const CommandResult& result) {
        EXPECT_EQ(RecordCommand(machine, machine, result), 0u);
        return machine.events;
    };
    auto header = [](const CommandResult& result, const wchar_t* address, const wchar_t* port) {
        return std::vector<std::wstring>{L"console", L"" HOSTWEND_PROGRAM_VERSION, L"BRANCH\\operator", L"TILL-04",
                                         L"vsat", address, port, kProfile,
                                         result.exitCode == 0 ? result.report : result.error,
                                         std::to_wstring(result.exitCode)};
    };
    auto value = [](std::size_t i, std::wstring before, std::wstring after) {
        return std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE\\" + std::wstring(kTarnValues[i].first.begin(),
                                                                               kTarnValues[i].first.end()),
                                         std::wstring(kTarnValues[i].second.begin(), kTarnValues[i].second.end()),
                                         std::move(before), std::move(after)};
    };

    {
        SCOPED_TRACE("every value written");
        Machine machine;
        const CommandResult result = machine.Run({L"apply", L"vsat"});
        const auto events = record(machine, result);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, EventType::Information);
        EXPECT_EQ(events[0].id, 1000u);
        std::vector<std::wstring> expected = header(result, L"172.20.4.2", L"7777");
        for (std::size_t i = 0; i < 8; ++i)
            for (std::wstring& text : value(i, before[i], after[i]))
                expected.push_back(std::move(text));
        EXPECT_EQ(events[0].strings, expected);
    }
    for (std::size_t failing = 0; failing < 8; ++failing) {
        SCOPED_TRACE("stopped at step " + std::to_string(failing + 1));
        Machine machine;
        machine.SetValue(kTarnValues[failing].first, kTarnValues[failing].second, kRegBinary, {0xab, 0x01});
        const CommandResult result = machine.Run({L"apply", L"vsat"});
        const auto events = record(machine, result);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, EventType::Error);
        EXPECT_EQ(events[0].id, 1001u);
        EXPECT_EQ(result.exitCode, 21 + static_cast<int>(failing));
        std::vector<std::wstring> expected = header(result, L"172.20.4.2", L"7777");
        for (std::size_t i = 0; i < 8; ++i)
            for (std::wstring& text :
                 i < failing    ? value(i, before[i], after[i])
                 : i > failing  ? value(i, before[i], L"not reached")
                                : value(i, L"ab 01",
                                        L"failed: the value is neither text (REG_SZ) nor a number (REG_DWORD)"))
                expected.push_back(std::move(text));
        EXPECT_EQ(events[0].strings, expected);
    }

    // Refused before any write: what was read of the profile, and why.
    const struct {
        const char* name;
        void (*setUp)(Machine&);
        const wchar_t* address;
        const wchar_t* port;
        int exitCode;
    } refusals[] = {
        {"not elevated", [](Machine& m) { m.elevated = false; }, L"(not read)", L"(not read)", kExitNotElevated},
        {"no profile", [](Machine& m) { m.ordinaryFiles.clear(); }, L"(not read)", L"(not read)", kExitProfileMissing},
        {"another apply", [](Machine& m) { m.lockHeldElsewhere = true; }, L"(not read)", L"(not read)", kExitApplyBusy},
        {"lock unusable", [](Machine& m) { m.lockUnusableReason = L"reason"; }, L"(not read)", L"(not read)",
         kExitLockUnusable},
        {"blank address", [](Machine& m) { m.SetProfileEntry("SETUP", "VsatAddress", "  "); }, L"(blank)",
         L"(not read)", kExitProfileValueRefused},
        {"no port", [](Machine& m) { m.SetProfileEntry("SETUP", "BcastUDPPort", ""); }, L"172.20.4.2", L"(blank)",
         kExitProfileValueRefused},
    };
    for (const auto& c : refusals) {
        SCOPED_TRACE(c.name);
        Machine machine;
        c.setUp(machine);
        const CommandResult result = machine.Run({L"apply", L"vsat"});
        EXPECT_EQ(result.exitCode, c.exitCode);
        const auto events = record(machine, result);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, EventType::Warning);
        EXPECT_EQ(events[0].id, 1002u);
        EXPECT_EQ(events[0].strings, header(result, c.address, c.port));
    }

    {
        SCOPED_TRACE("data too long for the event log");
        Machine machine;
        machine.SetString(kTarnValues[0].first, kTarnValues[0].second, std::string(600, 'a'));
        const CommandResult result = machine.Run({L"apply", L"vsat"});
        const auto events = record(machine, result);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].strings[12], std::wstring(500, L'a') + L"... (600 characters)");
    }
    {
        SCOPED_TRACE("internal error half-way");
        Machine machine;
        machine.throwAtWriteOf = "BcastUDPAddress";
        const CommandResult result = machine.Run({L"apply", L"vsat"});
        const auto events = record(machine, result);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].type, EventType::Error);
        EXPECT_EQ(events[0].id, 1001u);
        ASSERT_EQ(events[0].strings.size(), 42u);
        EXPECT_EQ(events[0].strings[9], L"1");
        EXPECT_EQ(events[0].strings[41], L"(not known)");
    }

    {
        SCOPED_TRACE("show and check, one of them failing");
        Machine machine;
        machine.SetValue(kTarnValues[2].first, kTarnValues[2].second, kRegBinary, {0xab});
        for (const CommandResult& result :
             {machine.Run({L"show"}), machine.Run({L"check", L"vsat"}), machine.Run({L"check", L"lan"})})
            EXPECT_EQ(RecordCommand(machine, machine, result), 0u);
        EXPECT_TRUE(machine.events.empty());
        // An event log that takes nothing is reported, for one line on standard error.
        machine.eventLogError = 1502;
        EXPECT_EQ(RecordCommand(machine, machine, machine.Run({L"apply", L"vsat"})), 1502u);
    }
}

} // namespace
} // namespace hostwend::cli
