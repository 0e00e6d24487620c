#include "FakePlatform.h"
#include "TarnClient.h"
#include "app/ApplyCommand.h"

#include <gtest/gtest.h>

#include <cstring>

namespace hostwend {
namespace {

using testing::FakePlatform;
using testing::kTarnValues;

constexpr wchar_t kCaption[] = L"Hostwend 2.1 (Only for TARN 6.x)";

// A machine with an installed client (all eight values as text) and a profile.
struct Machine {
    Machine()
    {
        for (const auto& [path, name] : kTarnValues)
            platform.SetString(path, name, "old");
        state.ProfilePath = L"C:\\Hostwend\\HWD.ini";
        platform.profileFilePath = L"C:\\Hostwend\\HWD.ini";
        platform.SetProfileEntry("SETUP", "BcastUDPPort", "7777");
    }
    void Choose(OptionButton option) { platform.options[static_cast<std::size_t>(option)] = true; }
    std::string Written(std::size_t step) const
    {
        auto value = platform.Value(kTarnValues[step].first, kTarnValues[step].second);
        return value ? std::string(value->data.begin(), value->data.end() - 1) : "<none>";
    }
    std::vector<std::string> KeysRead() const
    {
        std::vector<std::string> keys;
        for (const auto& read : platform.profileReads)
            keys.push_back(read.key);
        return keys;
    }

    FakePlatform platform;
    ProfileState state;
};

TEST(ApplyCommand, EachConnectionTypeConfirmsReadsItsKeyAppliesAndReports)
{
    struct Case {
        OptionButton option;
        const char* key;
        const char* value;
        std::wstring confirmation;
        std::wstring report;
    };
    const Case cases[] = {
        {OptionButton::OptLan, "LanAddress", "10.1.2.3",
         L"You have selected Lan/Dialup Option, Click on 'Ok' to apply the Changes ",
         L"Lan/Dial up IP address ( 10.1.2.3 ) applied."},
        {OptionButton::OptVPN, "VPNAddress", "10.0.0.7",
         L"You have selected VPN Option, Click on 'Ok' to apply the Changes ",
         L"VPN IP address ( 10.0.0.7 ) applied. "},
        {OptionButton::OptVsat, "VsatAddress", "192.168.100.200",
         L"You have selected VSAT Option, Click on 'Ok' to apply the Changes ",
         L"VSAT IP address ( 192.168.100.200 ) applied. "},
        {OptionButton::OptOthers, "OthersAddress", "server1.example.net",
         L"You have selected Others Option, Click on 'Ok' to apply the Changes ",
         L"Other IP address ( SERVER1.EXAMPLE.NET ) applied. "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        Machine machine;
        FakePlatform& platform = machine.platform;
        machine.Choose(c.option);
        platform.SetProfileEntry("SETUP", c.key, c.value);

        CmdApply_Click(platform.Roles(), machine.state);

        ASSERT_EQ(platform.boxes.size(), 2u);
        EXPECT_EQ(platform.boxes[0].prompt, c.confirmation);
        EXPECT_EQ(platform.boxes[0].style, 65);
        EXPECT_EQ(platform.boxes[0].title, kCaption);
        EXPECT_EQ(platform.boxes[1].prompt, c.report);
        EXPECT_EQ(platform.boxes[1].style, 64);
        EXPECT_EQ(platform.boxes[1].title, L"Hostwend 2.0");
        EXPECT_EQ(machine.KeysRead(), (std::vector<std::string>{c.key, "BcastUDPPort"}));
        std::string upper = platform.ToAnsi(c.report.substr(c.report.find(L"( ") + 2, std::strlen(c.value)));
        EXPECT_EQ(machine.Written(0), upper + ":7777:0");
        EXPECT_EQ(machine.Written(7), upper);
        EXPECT_EQ(machine.Written(5), c.option == OptionButton::OptVsat ? "1" : "old");
    }
}

TEST(ApplyCommand, FirstSetOptionInOrderWins)
{
    Machine machine;
    FakePlatform& platform = machine.platform;
    machine.Choose(OptionButton::OptOthers);
    machine.Choose(OptionButton::OptVPN);
    platform.SetProfileEntry("SETUP", "VPNAddress", "10.0.0.7");
    platform.SetProfileEntry("SETUP", "OthersAddress", "10.9.9.9");

    CmdApply_Click(platform.Roles(), machine.state);

    EXPECT_EQ(machine.Written(2), "10.0.0.7");
    EXPECT_EQ(platform.optionReads.front(), OptionButton::OptLan);
}

TEST(ApplyCommand, NothingHappensWithoutAChoiceOrAfterCancel)
{
    Machine machine;
    FakePlatform& platform = machine.platform;
    CmdApply_Click(platform.Roles(), machine.state);
    EXPECT_TRUE(platform.boxes.empty());

    machine.Choose(OptionButton::OptLan);
    platform.answers = {2};  // Cancel
    CmdApply_Click(platform.Roles(), machine.state);
    EXPECT_EQ(platform.boxes.size(), 1u);
    EXPECT_TRUE(platform.profileReads.empty());
    EXPECT_TRUE(platform.registryCalls.empty());
}

TEST(ApplyCommand, RefusesBlankOrOverlongValuesBeforeWritingAnything)
{
    struct Case {
        const char* address;  // nullptr: no LanAddress entry at all
        const char* port;
        std::wstring refusal;
        std::vector<std::string> keysRead;
    };
    const std::vector<std::string> both{"LanAddress", "BcastUDPPort"};
    const Case cases[] = {
        {nullptr, "7777", L"LanAddress missing in HWD.ini", {"LanAddress"}},
        {"   ", "7777", L"LanAddress missing in HWD.ini", {"LanAddress"}},
        {"10.1.2.3", "", L"BcastUDPPort missing in HWD.ini", both},
        {"10.1.2.3", " ", L"BcastUDPPort missing in HWD.ini", both},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890"
         "1234567890123456789012345678901234567890123456789012345678901",
         "7777", L"LanAddress in HWD.ini is too long", {"LanAddress"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        Machine machine;
        FakePlatform& platform = machine.platform;
        machine.Choose(OptionButton::OptLan);
        if (c.address)
            platform.SetProfileEntry("SETUP", "LanAddress", c.address);
        platform.SetProfileEntry("SETUP", "BcastUDPPort", c.port);

        CmdApply_Click(platform.Roles(), machine.state);

        ASSERT_EQ(platform.boxes.size(), 2u);
        EXPECT_EQ(platform.boxes[1].prompt, c.refusal);
        EXPECT_EQ(platform.boxes[1].style, 16);
        EXPECT_EQ(platform.boxes[1].title, kCaption);
        EXPECT_EQ(machine.KeysRead(), c.keysRead);
        EXPECT_TRUE(platform.registryCalls.empty()) << "something was written";
    }
}

TEST(ApplyCommand, AFailedStepShowsOnlyItsOwnMessage)
{
    Machine machine;
    FakePlatform& platform = machine.platform;
    machine.Choose(OptionButton::OptLan);
    platform.SetProfileEntry("SETUP", "LanAddress", "10.1.2.3");
    // The client's database value has another type than text or number.
    platform.SetValue(kTarnValues[6].first, kTarnValues[6].second, 2, {'x', 0});

    CmdApply_Click(platform.Roles(), machine.state);

    ASSERT_EQ(platform.boxes.size(), 2u);
    EXPECT_EQ(platform.boxes[1].prompt,
              L"Error occured while updating ODBC IPAddress under SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC");
    EXPECT_EQ(platform.boxes[1].style, 16);
    EXPECT_EQ(platform.boxes[1].locksHeld, 0) << "an operator who leaves it open would stall every apply";
    EXPECT_EQ(machine.Written(0), "10.1.2.3:7777:0") << "earlier steps stay written";
}

TEST(ApplyCommand, WaitsForAnotherApplyAndGivesUpWithNothingWritten)
{
    Machine machine;
    FakePlatform& platform = machine.platform;
    machine.Choose(OptionButton::OptLan);
    platform.SetProfileEntry("SETUP", "LanAddress", "10.1.2.3");

    // A lock that cannot be used is not "another Hostwend": it says why.
    platform.lockUnusableReason = L"its name is held by an object of another kind (Windows error 6)";
    CmdApply_Click(platform.Roles(), machine.state);
    ASSERT_EQ(platform.boxes.size(), 2u);
    EXPECT_NE(platform.boxes[1].prompt.find(L"changed nothing"), std::wstring::npos);
    EXPECT_NE(platform.boxes[1].prompt.find(L"(Windows error 6)."), std::wstring::npos);
    EXPECT_EQ(platform.boxes[1].style, 16);
    EXPECT_EQ(platform.boxes[1].title, kCaption);
    EXPECT_TRUE(platform.registryCalls.empty());
    platform.lockUnusableReason.clear();
    platform.boxes.clear();
    platform.lockWaits.clear();

    platform.lockHeldElsewhere = true;

    CmdApply_Click(platform.Roles(), machine.state);

    EXPECT_EQ(platform.lockWaits, (std::vector<std::uint32_t>{0, 30000}));
    ASSERT_EQ(platform.boxes.size(), 2u);
    EXPECT_EQ(platform.boxes[1].prompt,
              L"Another Hostwend is applying settings on this computer. Try again when it has finished.");
    EXPECT_EQ(platform.boxes[1].style, 16);
    EXPECT_EQ(platform.boxes[1].title, kCaption);
    EXPECT_TRUE(platform.registryCalls.empty());

    // Its turn come, it applies, and lets the next one go before its report
    // waits for the operator; so does a refusal.
    platform.lockHeldElsewhere = false;
    CmdApply_Click(platform.Roles(), machine.state);
    EXPECT_EQ(machine.Written(0), "10.1.2.3:7777:0");
    EXPECT_EQ(platform.boxes.back().prompt, L"Lan/Dial up IP address ( 10.1.2.3 ) applied.");
    platform.SetProfileEntry("SETUP", "BcastUDPPort", "");
    CmdApply_Click(platform.Roles(), machine.state);
    EXPECT_EQ(platform.boxes.back().prompt, L"BcastUDPPort missing in HWD.ini");
    for (const auto& box : platform.boxes)
        EXPECT_EQ(box.locksHeld, 0) << box.prompt.c_str();
}

// What this client cannot store of HWD.ini is known before the first write:
// refused whole, as the console program refuses it. A fault of the client
// still stops at its step, earlier values written.
TEST(ApplyCommand, RefusesWhatTheClientCannotStoreBeforeAnyWrite)
{
    const std::wstring portIsNoNumber =
        L"BcastUDPPort in HWD.ini cannot be stored on this computer: the setting BcastUDPPort in "
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\TARN\\TARN6\\TARN Manager\\Client TCP-IP\\BroadcastServer "
        L"holds a number, and ";
    const struct {
        const char* name;
        const char* port;
        bool portAsNumber;
        bool asciiCodePage;
        std::wstring refusal;  // "": applied
    } cases[] = {
        {"abc into a REG_DWORD", "abc", true, false, portIsNoNumber + L"abc is not a whole number it can hold. Nothing was changed."},
        {"beyond 32 bits", "99999999999", true, false,
         portIsNoNumber + L"99999999999 is not a whole number it can hold. Nothing was changed."},
        {"abc into a REG_SZ", "abc", false, false, L""},
        {"beyond the code page", "7777", false, true,
         L"LanAddress in HWD.ini cannot be stored on this computer: the setting Remote-Addr in "
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\TARN\\TARN6\\TARN Manager\\Client TCP-IP holds text, and "
         L"\u00e9cole.corp has characters that this computer's code page cannot carry. Nothing was changed."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Machine machine;
        FakePlatform& platform = machine.platform;
        machine.Choose(OptionButton::OptLan);
        platform.asciiCodePage = c.asciiCodePage;
        platform.SetProfileEntry("SETUP", "LanAddress", c.asciiCodePage ? "\xE9" "cole.corp" : "10.1.2.3");
        platform.SetProfileEntry("SETUP", "BcastUDPPort", c.port);
        if (c.portAsNumber)
            platform.SetDword(kTarnValues[4].first, kTarnValues[4].second, 1);

        CmdApply_Click(platform.Roles(), machine.state);

        ASSERT_EQ(platform.boxes.size(), 2u);
        if (c.refusal.empty()) {
            EXPECT_EQ(platform.boxes[1].style, 64);
            EXPECT_EQ(machine.Written(4), "ABC");
            continue;
        }
        EXPECT_EQ(platform.boxes[1].prompt, c.refusal);
        EXPECT_EQ(platform.boxes[1].style, 16);
        EXPECT_EQ(platform.boxes[1].title, kCaption);
        EXPECT_EQ(machine.Written(0), "old") << "nothing written";
        ASSERT_EQ(platform.events.size(), 1u);
        EXPECT_EQ(platform.events[0].id, 1002u);
    }
}

// An exception inside Apply ends in a box and on record, never unwinding
// through the window procedure.
TEST(ApplyCommand, AnUnexpectedFailureEndsInABoxAndOnRecord)
{
    Machine machine;
    FakePlatform& platform = machine.platform;
    machine.Choose(OptionButton::OptLan);
    platform.SetProfileEntry("SETUP", "LanAddress", "10.1.2.3");
    platform.throwAtWriteOf = "BcastUDPAddress";

    CmdApply_Click(platform.Roles(), machine.state);

    ASSERT_EQ(platform.boxes.size(), 2u);
    EXPECT_EQ(platform.boxes[1].prompt, L"internal error; some values may already be written");
    EXPECT_EQ(platform.boxes[1].style, 16);
    ASSERT_EQ(platform.events.size(), 1u);
    EXPECT_EQ(platform.events[0].id, 1001u);
    EXPECT_EQ(platform.locksHeld, 0);
}

// One event per apply, written once the lock is released and before the box
// that tells the operator; the operator sees the same boxes whether or not
// the event log takes it.
TEST(ApplyCommand, EachApplyIsOnRecordWithItsOutcomeAndEveryValue)
{
    const std::wstring applied = L"Lan/Dial up IP address ( 10.1.2.3 ) applied.";
    const std::wstring stopped =
        L"Error occured while updating ODBC IPAddress under SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC";
    const std::vector<std::wstring> written{L"10.1.2.3:7777:0", L"10.1.2.3:7777:0", L"10.1.2.3",
                                            L"239.255.255.255:10.1.2.3", L"7777", L"not for this type"};
    auto with = [&](std::vector<std::wstring> afters, std::vector<std::wstring> last) {
        afters.insert(afters.end(), last.begin(), last.end());
        return afters;
    };
    const struct {
        const char* name;
        void (*setUp)(Machine&);
        std::vector<std::wstring> head;    // type, address, port, outcome, exit code
        std::vector<std::wstring> afters;  // each value's data after, or why not; none when refused
        EventType type = EventType::Information;
        std::uint32_t id = 1000;
    } cases[] = {
        {"applied", [](Machine&) {}, {L"lan", L"10.1.2.3", L"7777", applied, L"0"},
         with(written, {L"10.1.2.3", L"10.1.2.3"})},
        {"stopped", [](Machine& m) { m.platform.SetValue(kTarnValues[6].first, kTarnValues[6].second, 2, {'x', 0}); },
         {L"lan", L"10.1.2.3", L"7777", stopped, L"27"},
         with(written, {L"failed: the value is neither text (REG_SZ) nor a number (REG_DWORD)", L"not reached"}),
         EventType::Error, 1001},
        {"value refused", [](Machine& m) { m.platform.SetProfileEntry("SETUP", "BcastUDPPort", " "); },
         {L"lan", L"10.1.2.3", L"(blank)", L"BcastUDPPort missing in HWD.ini", L"3"}, {}, EventType::Warning, 1002},
        {"another apply", [](Machine& m) { m.platform.lockHeldElsewhere = true; },
         {L"lan", L"10.1.2.3", L"7777",
          L"Another Hostwend is applying settings on this computer. Try again when it has finished.", L"4"},
         {}, EventType::Warning, 1002},
        {"lock unusable", [](Machine& m) { m.platform.lockUnusableReason = L"reason (Windows error 6)"; },
         {L"lan", L"10.1.2.3", L"7777",
          L"Hostwend cannot make sure that no other Hostwend changes these settings at the same time, so it has "
          L"changed nothing. Tell your administrator: the apply lock cannot be used because reason (Windows error 6).",
          L"6"},
         {}, EventType::Warning, 1002},
        {"a value it would write cannot be read",
         [](Machine& m) { m.platform.valuesFailingReads["software\\odbc\\odbc.ini\\tarn int database\\server"] = 234; },
         {L"lan", L"10.1.2.3", L"7777",
          L"Hostwend cannot read a value it would change, so it could not put it back, and it has changed nothing. "
          L"Tell your administrator: the setting Server in HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\"
          L"TARN INT Database cannot be read (Windows error 234).",
          L"12"},
         {}, EventType::Warning, 1002},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<FakePlatform::ShownBox>> boxesSeen;
        for (std::uint32_t eventLogError : {0u, 1502u}) {
            Machine machine;
            FakePlatform& platform = machine.platform;
            platform.eventLogError = eventLogError;
            machine.Choose(OptionButton::OptLan);
            platform.SetProfileEntry("SETUP", "LanAddress", "10.1.2.3");
            c.setUp(machine);

            CmdApply_Click(platform.Roles(), machine.state);

            boxesSeen.push_back(platform.boxes);
            if (eventLogError != 0) {
                EXPECT_TRUE(platform.events.empty());
                continue;
            }
            ASSERT_EQ(platform.events.size(), 1u);
            const FakePlatform::ReportedEvent& event = platform.events[0];
            EXPECT_EQ(event.type, c.type);
            EXPECT_EQ(event.id, c.id);
            EXPECT_EQ(event.locksHeld, 0);
            EXPECT_EQ(event.boxesShown, 1u) << "written after the confirmation, before the box that follows it";
            // The values' lines are the use case's, tested there; the window
            // puts its name and the words of its box on record.
            const std::vector<std::wstring> expected{L"window", L"" HOSTWEND_PROGRAM_VERSION, L"BRANCH\\operator",
                                                     L"TILL-04", c.head[0], c.head[1], c.head[2],
                                                     L"C:\\Hostwend\\HWD.ini", c.head[3], c.head[4]};
            // A refusal adds the profile values' warnings (the use case's to test).
            ASSERT_EQ(event.strings.size(), expected.size() + 4 * c.afters.size() + (c.id == 1002 ? 1 : 0));
            EXPECT_EQ(std::vector<std::wstring>(event.strings.begin(), event.strings.begin() + 10), expected);
            for (std::size_t i = 0; i < c.afters.size(); ++i)
                EXPECT_EQ(event.strings[10 + 4 * i + 3], c.afters[i]);
            EXPECT_EQ(event.strings[8], boxesSeen.back().back().prompt);
        }
        ASSERT_EQ(boxesSeen[0].size(), boxesSeen[1].size());
        for (std::size_t i = 0; i < boxesSeen[0].size(); ++i)
            EXPECT_EQ(boxesSeen[0][i].prompt, boxesSeen[1][i].prompt) << "the event log changed a box";
    }

    // Cancel, or no choice at all, writes nothing and records nothing.
    Machine machine;
    CmdApply_Click(machine.platform.Roles(), machine.state);
    machine.Choose(OptionButton::OptLan);
    machine.platform.answers = {2};
    CmdApply_Click(machine.platform.Roles(), machine.state);
    EXPECT_TRUE(machine.platform.events.empty());
}

} // namespace
} // namespace hostwend
