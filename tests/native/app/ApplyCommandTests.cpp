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

TEST(ApplyCommand, WaitsForAnotherApplyAndGivesUpWithNothingReadOrWritten)
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
    EXPECT_TRUE(platform.profileReads.empty());
    EXPECT_TRUE(platform.registryCalls.empty());
    platform.lockUnusableReason.clear();
    platform.boxes.clear();
    platform.lockWaits.clear();

    platform.lockHeldElsewhere = true;

    CmdApply_Click(platform.Roles(), machine.state);

    EXPECT_EQ(platform.lockWaits, std::vector<std::uint32_t>{30000});
    ASSERT_EQ(platform.boxes.size(), 2u);
    EXPECT_EQ(platform.boxes[1].prompt,
              L"Another Hostwend is applying settings on this computer. Try again when it has finished.");
    EXPECT_EQ(platform.boxes[1].style, 16);
    EXPECT_EQ(platform.boxes[1].title, kCaption);
    EXPECT_TRUE(platform.profileReads.empty());
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
         {L"lan", L"(not read)", L"(not read)",
          L"Another Hostwend is applying settings on this computer. Try again when it has finished.", L"4"},
         {}, EventType::Warning, 1002},
        {"lock unusable", [](Machine& m) { m.platform.lockUnusableReason = L"reason (Windows error 6)"; },
         {L"lan", L"(not read)", L"(not read)",
          L"Hostwend cannot make sure that no other Hostwend changes these settings at the same time, so it has "
          L"changed nothing. Tell your administrator: the apply lock cannot be used because reason (Windows error 6).",
          L"6"},
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
            std::vector<std::wstring> expected{L"window", L"" HOSTWEND_PROGRAM_VERSION, L"BRANCH\\operator",
                                               L"TILL-04", c.head[0], c.head[1], c.head[2],
                                               L"C:\\Hostwend\\HWD.ini", c.head[3], c.head[4]};
            for (std::size_t i = 0; i < c.afters.size(); ++i) {
                expected.push_back(L"HKEY_LOCAL_MACHINE\\" + platform.FromAnsi(kTarnValues[i].first));
                expected.push_back(platform.FromAnsi(kTarnValues[i].second));
                expected.push_back(i == 6 && c.id == 1001 ? L"x" : L"old");
                expected.push_back(c.afters[i]);
            }
            EXPECT_EQ(event.strings, expected);
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
