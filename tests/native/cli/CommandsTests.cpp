#include "FakeNetwork.h"
#include "Branch.h"
#include "FakePlatform.h"
#include "TarnClient.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "terms/Terms.h"
#include "cli/Report.h"

#include <gtest/gtest.h>

#include <functional>

namespace hostwend::cli {
namespace {

using hostwend::testing::FakeNetwork;
using hostwend::testing::FakePlatform;
using hostwend::testing::kTarnValues;

constexpr const wchar_t* kProfile = testing::kBranchProfile;

Arguments Parse(std::vector<std::wstring> words) { return ParseArguments(words); }

// Counts what the lock covers: every write must happen while it is held.
struct Machine : FakePlatform {
    Machine() { testing::SeedBranch(*this); }
    RegStatus RegSetValueExA(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) override
    {
        writesWithoutLock += locksHeld == 0;
        ++clientWrites;
        return FakePlatform::RegSetValueExA(key, name, type, data, size);
    }
    CommandResult Run(const std::vector<std::wstring>& words, const std::function<void()>& waiting = {})
    {
        const Arguments arguments = Parse(words);
        EXPECT_TRUE(arguments.usageError.empty()) << arguments.usageError.c_str();
        ProfileState state;
        return RunCommand({*this, *this, *this, *this}, network, state, arguments, kProfile, waiting);
    }
    // The client's values, written as an apply writes them; the undo record aside.
    std::size_t Writes() const { return clientWrites; }
    int writesWithoutLock = 0;
    std::size_t clientWrites = 0;
    FakeNetwork network;
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
        // Options in any letter case, as Windows tools take them.
        {{L"--JSON", L"Show"}, L"", CommandName::Show, nullptr, true},
        {{L"--Profile", L"x.ini", L"--Json", L"check", L"vpn"}, L"", CommandName::Check, L"vpn", true},
        {{L"show", L"--Verbose"}, L"unknown option: --Verbose"},
        {{}, L"a command is missing: show, check, apply or undo"},
        {{L"Undo", L"--json"}, L"", CommandName::Undo, nullptr, true},
        {{L"check", L"UNDO"}, L"", CommandName::CheckUndo},
        {{L"undo", L"vsat"}, L"undo takes no connection type: vsat"},
        {{L"check", L"undo", L"vsat"}, L"too many arguments: vsat"},
        {{L"check", L"lan", L"--strict"}, L"", CommandName::Check, L"lan"},
        {{L"undo", L"--strict"}, L"--strict goes with check and apply of a connection type only"},
        {{L"show", L"--strict"}, L"--strict goes with check and apply of a connection type only"},
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
    EXPECT_EQ(*Parse({L"--PROFILE=Sites\\B.ini", L"show"}).profilePath, L"Sites\\B.ini") << "a path keeps its case";
    // Help wins over anything else on the line.
    EXPECT_TRUE(Parse({L"apply", L"wifi", L"/?"}).help);
    EXPECT_TRUE(Parse({L"--Help"}).help);
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
    // The client's keys with no more than the rights to query and set; the
    // undo record, in the 64-bit view, read and marked finished.
    for (std::uint32_t mask : machine.openAccessMasks)
        EXPECT_TRUE(mask == (kKeyQueryValue | kKeySetValue | kKeyWow64_32Key) ||
                    mask == (kKeyQueryValue | kKeyWow64_32Key) || (mask & kKeyWow64_64Key) != 0)
            << mask;
    EXPECT_EQ(machine.lockWaits, std::vector<std::uint32_t>{0}) << "free: taken at once";
    EXPECT_EQ(machine.locksHeld, 0) << "released at the end";

    machine.openAccessMasks.clear();
    machine.elevated = false;
    const CommandResult shown = machine.Run({L"show"});
    EXPECT_EQ(shown.exitCode, kExitDone);
    ASSERT_EQ(shown.pointing->pointsAt, PointsAt::ProfileType);
    EXPECT_EQ(shown.pointing->type->name, L"vsat");
    // The eight values in the client's view, the record of the last apply in the 64-bit one.
    ASSERT_EQ(machine.openAccessMasks.size(), 9u);
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(machine.openAccessMasks[i], kKeyQueryValue | kKeyWow64_32Key);
    EXPECT_EQ(machine.openAccessMasks[8], kKeyRead | kKeyWow64_64Key);
    EXPECT_EQ(machine.OpenHandleCount(), 0u);

    // A key that may not be read is not "missing": that would send an
    // administrator looking for a client that is there.
    machine.keyRights["software\\odbc\\odbc.ini\\tarn int database"] = 0;
    const CommandResult denied = machine.Run({L"show"});
    EXPECT_EQ(denied.steps[7].found.State(), ValueRead::Denied);
    EXPECT_EQ(denied.steps[6].found.State(), ValueRead::Read);

    // The record is for SYSTEM and the Administrators only: a standard user's
    // show says so, and an undo that cannot read it refuses it as it stands.
    machine.keyRights["software\\wendlebrook\\hostwend\\lastapply"] = 0;
    const CommandResult recordDenied = machine.Run({L"show", L"--json"});
    EXPECT_EQ(recordDenied.exitCode, kExitDone);
    const std::wstring json = JsonDocument(recordDenied);
    EXPECT_NE(json.find(L"\"last_apply\": {\"state\": \"access denied\""), std::wstring::npos) << json.c_str();
    const std::wstring text = TextFooter(recordDenied);
    EXPECT_NE(text.find(L"\r\nLast apply: access denied: run show as administrator to see it\r\n"),
              std::wstring::npos) << text.c_str();
    machine.elevated = true;
    const std::size_t writes = machine.Writes();
    for (const std::vector<std::wstring>& undo : {std::vector<std::wstring>{L"check", L"undo"}, {L"undo"}})
        EXPECT_EQ(machine.Run(undo).exitCode, kExitRecordUnusable) << undo.size();
    EXPECT_EQ(machine.Writes(), writes);
}

TEST(CliCommands, RefusesBeforeWritingWhatCannotBeDoneWhole)
{
    const struct {
        const char* name;
        int exitCode;
        std::wstring error;
        void (*setUp)(Machine&);
        const wchar_t* command = L"apply";
        bool strict = false;
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
        {"profile out of reach", kExitProfileMissing,
         L"profile file cannot be read: C:\\Sites\\branch.ini (Windows error 53: other failure)",
         [](Machine& m) { m.ordinaryFiles.clear(), m.fileTestError = 53; }},
        {"--strict and a warning", kExitProfileValueRefused,
         L"check vpn --strict: a profile value drew a warning; nothing was written",
         [](Machine& m) { m.SetProfileEntry("SETUP", "BcastUDPPort", "-1"); }, L"check", true},
        {"blank address", kExitProfileValueRefused, L"VPNAddress missing in HWD.ini; nothing was written",
         [](Machine& m) { m.SetProfileEntry("SETUP", "VPNAddress", "  "); }},
        {"no port", kExitProfileValueRefused, L"BcastUDPPort missing in HWD.ini; nothing was written",
         [](Machine& m) { m.SetProfileEntry("SETUP", "BcastUDPPort", ""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        c.setUp(machine);
        const CommandResult result =
            machine.Run(c.strict ? std::vector<std::wstring>{c.command, L"vpn", L"--strict"}
                                 : std::vector<std::wstring>{c.command, L"vpn"});
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(machine.Writes(), 0u);
        EXPECT_TRUE(result.steps.empty());
        if (c.strict)
            continue;
        // Not the read's one-blank default, nor a blank: no value at all. A
        // lock is taken once both values are read.
        const bool lock = c.exitCode == kExitApplyBusy || c.exitCode == kExitLockUnusable;
        EXPECT_EQ(result.port.has_value(), lock);
        // Rights come first; the profile is read before the lock, so that a
        // slow file server never holds it.
        EXPECT_EQ(machine.profileReads.empty(), c.exitCode == kExitNotElevated || c.exitCode == kExitProfileMissing);
        EXPECT_EQ(machine.lockWaits.empty(), c.exitCode != kExitApplyBusy && c.exitCode != kExitLockUnusable);
    }
}

// The console's words for each way an undo ends, in its text and its JSON:
// the line that says what happened, the record as it stands afterwards, and
// each value with its data now, before and as the apply wrote it.
TEST(CliCommands, UndoSaysHowItEndedAndTheRecordAsItStandsAfterwards)
{
    const std::wstring record = L"the record of the last apply";
    const struct {
        const char* name;
        void (*setUp)(Machine&);
        std::vector<std::wstring> command;
        int exitCode;
        std::wstring said;     // the report, or the error
        std::wstring jsonHas;  // a part of the JSON document
    } cases[] = {
        {"nothing on record", [](Machine&) {}, {L"undo"}, kExitNothingToUndo,
         L"nothing to undo: no apply is on record on this computer", L"\"last_apply\": null"},
        {"check undo", [](Machine& m) { (void)m.Run({L"apply", L"vsat"}); }, {L"check", L"undo"}, kExitDone,
         L"undo would put back 8 of the eight values.", L"\"undone\": false"},
        {"undone", [](Machine& m) { (void)m.Run({L"apply", L"vsat"}); }, {L"undo"}, kExitDone,
         L"undo: every value the last apply changed is back as it was (8 written).",
         L"\"undone\": true, \"undone_at\": \"2026-12-07T23:30:00Z\", \"undone_by\": \"BRANCH\\\\operator\""},
        {"undone already",
         [](Machine& m) {
             (void)m.Run({L"apply", L"vsat"});
             (void)m.Run({L"undo"});
         },
         {L"undo"}, kExitNothingToUndo,
         L"nothing to undo: the last apply, at 2026-12-07T23:30:00Z, was undone at 2026-12-07T23:30:00Z by "
         L"BRANCH\\operator",
         L"\"undone\": true"},
        {"put back by hand",
         [](Machine& m) {
             (void)m.Run({L"apply", L"lan"});
             for (std::size_t i : {0, 1, 2, 3, 6, 7})
                 m.SetString(kTarnValues[i].first, kTarnValues[i].second, "old");
             m.SetDword(kTarnValues[4].first, kTarnValues[4].second, 1);
         },
         {L"undo"}, kExitNothingToUndo,
         L"nothing to undo: every value the last apply, at 2026-12-07T23:30:00Z, changed already holds its data "
         L"from before",
         L"\"undone\": true"},
        {"changed since",
         [](Machine& m) {
             (void)m.Run({L"apply", L"vsat"});
             m.SetString(kTarnValues[7].first, kTarnValues[7].second, "elsewhere");
         },
         {L"undo"}, kExitChangedSince, L"1 value has changed since the last apply; nothing was written",
         L"\"data\": \"elsewhere\", \"read\": \"read\", \"new_data\": \"old\", \"applied_data\": \"172.20.4.2\", "
         L"\"outcome\": \"changed since\""},
        {"a record that cannot be used",
         [](Machine& m) {
             (void)m.Run({L"apply", L"vsat"});
             m.SetKeySecurity("SOFTWARE\\Wendlebrook\\Hostwend\\LastApply", "O:BAD:(A;;KA;;;BA)(A;;KA;;;BU)");
         },
         {L"undo"}, kExitRecordUnusable, record + L" cannot be used: ", L"\"state\": \"untrusted\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        c.setUp(machine);
        const CommandResult result = machine.Run(c.command);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ((c.exitCode == kExitDone ? result.report : result.error).substr(0, c.said.size()), c.said);
        EXPECT_TRUE(result.profileFound) << "the profile is there, though undo does not read it";
        const std::wstring json = JsonDocument(result);
        EXPECT_NE(json.find(c.jsonHas), std::wstring::npos) << std::string(json.begin(), json.end());
    }
    {
        SCOPED_TRACE("every value back, the mark lost: a warning, and the next undo marks it");
        Machine machine;
        (void)machine.Run({L"apply", L"vsat"});
        machine.writesLeft = 8;
        const CommandResult unmarked = machine.Run({L"undo"});
        EXPECT_EQ(unmarked.exitCode, kExitDone);
        ASSERT_EQ(unmarked.warnings.size(), 1u);
        EXPECT_NE(TextDiagnostics(unmarked).find(L"hostwend-cli: warning: every value is back, but the record of the "
                                                 L"last apply could not be marked undone (Windows error 1117)"),
                  std::wstring::npos);
        EXPECT_NE(JsonDocument(unmarked).find(L"\"undone\": false"), std::wstring::npos);
        machine.writesLeft.reset();
        EXPECT_EQ(machine.Run({L"undo"}).exitCode, kExitNothingToUndo);
        EXPECT_EQ(machine.Run({L"undo"}).error.substr(0, 40), L"nothing to undo: the last apply, at 2026");
    }
}

TEST(CliCommands, ARefusalOrWarningNamesTheProfileFileItCameFrom)
{
    Machine machine;
    ProfileState state;
    const Arguments named = Parse({L"--profile", kProfile, L"apply", L"vpn"});
    machine.SetProfileEntry("SETUP", "BcastUDPPort", "0");
    const CommandResult warned = RunCommand({machine, machine, machine, machine}, machine.network, state, named, kProfile);
    EXPECT_EQ(warned.warnings,
              std::vector<std::wstring>{L"BcastUDPPort in C:\\Sites\\branch.ini is not a port number from 1 to 65535: 0"});
    machine.SetProfileEntry("SETUP", "VPNAddress", "");
    const CommandResult result = RunCommand({machine, machine, machine, machine}, machine.network, state, named, kProfile);
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
        {"010.0.0.1", "7777", {L"VsatAddress in HWD.ini has a number with a leading zero, which Windows reads as "
                               L"octal: 010.0.0.1"}},
        {"10.0.0.08", "7777", {L"VsatAddress in HWD.ini has a number with a leading zero, which Windows reads as "
                               L"octal: 10.0.0.08"}},
        {"10.0.0.0", "7777", {}},
        {"0.10.100.0", "7777", {}},
        {"010.example.net", "7777", {}},
        {"10.0.0.010a", "7777", {}},
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


constexpr wchar_t kBroadcast64[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\TARN\\TARN6\\TARN Manager\\Client TCP-IP\\BroadcastServer";

// Before any write: a value the profile holds that this client cannot store
// fails on every such client. What the client lacks fails as in the window.
TEST(CliCommands, RefusesAProfileValueThisClientCannotStoreBeforeAnyWrite)
{
    const std::wstring portIsNoNumber = std::wstring(L"step 5 BcastUDPPort in ") + kBroadcast64 +
                                        L" holds a number (REG_DWORD), and BcastUDPPort in HWD.ini is not a whole "
                                        L"number it can hold: ";
    const struct {
        const char* name;
        const char* port;
        void (*setUp)(Machine&);
        int exitCode;
        std::size_t writes;
        std::wstring error;  // "": not compared
    } cases[] = {
        {"port no number, REG_DWORD", "77a7", [](Machine&) {}, kExitProfileValueRefused, 0,
         portIsNoNumber + L"77a7; nothing was written"},
        {"port beyond 32 bits", "2147483648", [](Machine&) {}, kExitProfileValueRefused, 0,
         portIsNoNumber + L"2147483648; nothing was written"},
        {"port no number, REG_SZ", "77a7",
         [](Machine& m) { m.SetString(kTarnValues[4].first, kTarnValues[4].second, "1"); }, kExitDone, 7, L""},
        {"port -1, REG_DWORD: warned, stored", "-1", [](Machine&) {}, kExitDone, 7, L""},
        {"address outside the code page", "7777",
         [](Machine& m) {
             m.asciiCodePage = true;
             m.SetProfileEntry("SETUP", "VPNAddress", "\xE9" "cole.net");
         },
         kExitProfileValueRefused, 0,
         L"step 1 Remote-Addr in HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\TARN\\TARN6\\TARN Manager\\Client TCP-IP holds text "
         L"(REG_SZ), and VPNAddress in HWD.ini has characters that this computer's code page cannot carry: "
         L"\u00e9cole.net; nothing was written"},
        {"the same address where the code page has it", "7777",
         [](Machine& m) { m.SetProfileEntry("SETUP", "VPNAddress", "\xE9" "cole.net"); }, kExitDone, 7, L""},
        // The profile's fault wins over a client's that would stop the apply earlier.
        {"port no number, value 2 missing", "77a7",
         [](Machine& m) { m.RemoveValue(kTarnValues[1].first, kTarnValues[1].second); }, kExitProfileValueRefused, 0,
         portIsNoNumber + L"77a7; nothing was written"},
        // Where the port cannot go at all, the client is at fault, as in the window.
        {"port no number, BcastUDPPort missing", "77a7",
         [](Machine& m) { m.RemoveValue(kTarnValues[4].first, kTarnValues[4].second); }, StepFailedExitCode(5), 4,
         L""},
        {"address kept as a number: the client's", "7777",
         [](Machine& m) { m.SetDword(kTarnValues[2].first, kTarnValues[2].second, 5); }, StepFailedExitCode(3), 2,
         L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        machine.SetProfileEntry("SETUP", "BcastUDPPort", c.port);
        c.setUp(machine);
        const CommandResult result = machine.Run({L"apply", L"vpn"});
        EXPECT_EQ(result.exitCode, c.exitCode) << result.error.c_str();
        EXPECT_EQ(machine.Writes(), c.writes);
        if (!c.error.empty()) {
            EXPECT_EQ(result.error, c.error);
        }
    }
}

// Each failure in one line that names its setting where regedit shows it;
// the window's words stay in the JSON as they are.
TEST(CliCommands, AFailedStepIsOneLineNamingTheSettingWhereRegeditShowsIt)
{
    const struct {
        std::size_t missing;  // the value missing, from 0
        const wchar_t* command;
        const wchar_t* type;
        bool windows64;
        int exitCode;
        std::wstring error;
        const wchar_t* promptInJson;
    } cases[] = {
        {1, L"apply", L"vsat", true, StepFailedExitCode(2),
         L"step 2 UDP-Remote-Addr in HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\TARN\\TARN6\\TARN Manager\\Client TCP-IP: the value "
         L"is missing; nothing after it was written",
         LR"j("prompt": "Error occured while updating - UDP Remote Address \r\n- Contact the Software Vendor")j"},
        {5, L"apply", L"vsat", false, StepFailedExitCode(6),
         L"step 6 DisableTCPBcast in HKEY_LOCAL_MACHINE\\SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP\\BroadcastServer: the "
         L"value is missing; nothing after it was written",
         LR"j("prompt": "Error occured while updating Bcast Address (2 of 2)")j"},
        {7, L"check", L"lan", true, StepFailedExitCode(8),
         L"step 8 Server in HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\TARN INT Database: the value is missing; "
         L"apply would stop here",
         LR"j("prompt": "Error occured while updating ODBC IPAddress under \\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database")j"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error.c_str());
        Machine machine;
        machine.windows64 = c.windows64;
        machine.SetProfileEntry("SETUP", "BcastUDPPort", "0");  // a warning, prefixed as well
        machine.RemoveValue(kTarnValues[c.missing].first, kTarnValues[c.missing].second);
        const CommandResult result = machine.Run({c.command, c.type});
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.error, c.error);
        const std::wstring json = JsonDocument(result);
        EXPECT_NE(json.find(c.promptInJson), std::wstring::npos) << json.c_str();
        const std::wstring diagnostics = TextDiagnostics(result);
        EXPECT_EQ(diagnostics, L"hostwend-cli: warning: BcastUDPPort in HWD.ini is not a port number from 1 to "
                               L"65535: 0\r\nhostwend-cli: " + c.error + L"\r\n");
    }
}


// A deployment log must not sit silent for 30 seconds, and nothing may be
// written while the lock is held: the line comes between the two tries.
TEST(CliCommands, AnApplyThatMustWaitSaysSoOnceBeforeItWaits)
{
    struct Contended : Machine {
        int busyTries = 0;  // then free
        ApplyLockResult LockApply(std::uint32_t wait) override
        {
            if (busyTries > 0) {
                --busyTries;
                lockWaits.push_back(wait);
                return {LockState::Busy, nullptr, {}};
            }
            return Machine::LockApply(wait);
        }
    };
    const struct {
        int busyTries;
        int exitCode;
        std::vector<std::uint32_t> waits;
        std::vector<std::size_t> toldAfterWaits;  // lock tries made when each line was written
    } cases[] = {
        {0, kExitDone, {0}, {}},
        {1, kExitDone, {0, 30000}, {1}},
        {2, kExitApplyBusy, {0, 30000}, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.busyTries);
        Contended machine;
        machine.busyTries = c.busyTries;
        std::vector<std::size_t> told;
        const CommandResult result =
            machine.Run({L"apply", L"vpn"}, [&] { told.push_back(machine.lockWaits.size()); });
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(machine.lockWaits, c.waits);
        EXPECT_EQ(told, c.toldAfterWaits);
    }
}

TEST(CliArguments, ReachAndItsTimeLimitGoWithCheckOnly)
{
    const struct {
        std::vector<std::wstring> words;
        std::wstring error;  // "": parsed
        std::optional<std::uint32_t> timeout = std::nullopt;
    } cases[] = {
        {{L"check", L"lan", L"--reach"}, L""},
        {{L"--reach", L"--timeout", L"60", L"check", L"vpn"}, L"", 60},
        {{L"check", L"lan", L"--Timeout=1", L"--REACH"}, L"", 1},
        {{L"check", L"lan", L"--reach", L"--timeout", L"0"},
         L"--timeout needs a number of seconds from 1 to 60, not 0"},
        {{L"check", L"lan", L"--reach", L"--timeout", L"61"},
         L"--timeout needs a number of seconds from 1 to 60, not 61"},
        {{L"check", L"lan", L"--reach", L"--timeout=5s"}, L"--timeout needs a number of seconds from 1 to 60, not 5s"},
        {{L"check", L"lan", L"--reach", L"--timeout"}, L"--timeout needs a number of seconds from 1 to 60"},
        {{L"check", L"lan", L"--reach", L"--timeout", L"5", L"--timeout=6"}, L"--timeout is given twice"},
        {{L"check", L"lan", L"--timeout", L"5"}, L"--timeout goes with --reach"},
        {{L"show", L"--reach"}, L"--reach and --timeout go with check only"},
        {{L"apply", L"lan", L"--timeout", L"5"}, L"--reach and --timeout go with check only"},
    };
    for (const auto& c : cases) {
        const Arguments parsed = Parse(c.words);
        EXPECT_EQ(parsed.usageError, c.error) << c.words.back().c_str();
        if (c.error.empty()) {
            EXPECT_TRUE(parsed.reach);
            EXPECT_EQ(parsed.timeoutSeconds, c.timeout);
        }
    }
    EXPECT_FALSE(Parse({L"check", L"lan"}).reach);
}

// A check that would fail keeps its own exit code and asks the network
// nothing; 9 only ever takes the place of 0.
TEST(CliCommands, CheckReachTriesTheServerOnlyOnceTheCheckPasses)
{
    const struct {
        const char* name;
        std::vector<std::wstring> words;
        void (*setUp)(Machine&);
        int exitCode;
        bool tried;
        std::uint32_t limit = 5000;  // the time the probe was given
    } cases[] = {
        {"server answers", {L"check", L"lan", L"--reach"}, [](Machine&) {}, kExitDone, true},
        {"server silent to the end", {L"check", L"lan", L"--reach", L"--timeout", L"60"},
         [](Machine& m) { m.network.answers.clear(); }, kExitServerUnreachable, true, 60000},
        {"server refuses", {L"check", L"lan", L"--reach"},
         [](Machine& m) { m.network.answers[L"10.1.2.3"] = {10061, 1}; }, kExitServerUnreachable, true},
        {"name not found", {L"check", L"others", L"--reach"}, [](Machine&) {}, kExitServerUnreachable, true},
        {"without --reach", {L"check", L"lan"}, [](Machine& m) { m.network.answers.clear(); }, kExitDone, false},
        {"step 2 would fail", {L"check", L"lan", L"--reach"},
         [](Machine& m) { m.SetValue(kTarnValues[1].first, kTarnValues[1].second, kRegBinary, {1}); },
         StepFailedExitCode(2), false},
        {"no rights", {L"check", L"lan", L"--reach"}, [](Machine& m) { m.elevated = false; }, kExitNotElevated,
         false},
        {"blank address", {L"check", L"lan", L"--reach"},
         [](Machine& m) { m.SetProfileEntry("SETUP", "LanAddress", ""); }, kExitProfileValueRefused, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        machine.network.names[L"10.1.2.3"] = {{AddressFamily::IPv4, L"10.1.2.3"}};
        machine.network.answers[L"10.1.2.3"] = {0, 1};
        c.setUp(machine);
        const CommandResult result = machine.Run(c.words);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.error.c_str();
        EXPECT_EQ(machine.Writes(), 0u);
        EXPECT_EQ(machine.network.resolveWaits,
                  c.tried ? std::vector<std::uint32_t>{c.limit} : std::vector<std::uint32_t>{});
        EXPECT_EQ(result.reach.has_value(), c.tried);
        EXPECT_EQ(result.reachAsked, c.words.size() > 2);  // all but the plain check give --reach
        if (c.exitCode == kExitServerUnreachable) {
            EXPECT_EQ(result.error.find(L"the server "), 0u) << result.error.c_str();
        }
    }
}

} // namespace
} // namespace hostwend::cli
