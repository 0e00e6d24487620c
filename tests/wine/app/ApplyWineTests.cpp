#include "ProgramUnderTest.h"
#include "TarnRegistry.h"

#include <gtest/gtest.h>

#include <memory>

namespace hostwend::driver {
namespace {

struct CloseKernelHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueKernel = std::unique_ptr<void, CloseKernelHandle>;

constexpr wchar_t kCaption[] = L"Hostwend 2.1 (Only for TARN 6.x)";
const LPCWSTR kInformationIcon = MAKEINTRESOURCEW(32516);  // IDI_ASTERISK
const LPCWSTR kCriticalIcon = MAKEINTRESOURCEW(32513);     // IDI_HAND

// The real program on a machine with an installed client, worked from outside.
class ApplyEndToEnd : public ::testing::Test {
protected:
    void SetUp() override { SeedTarnClient(); }
    void TearDown() override { WipeTarnKeys(); }

    HWND StartWithProfile(const std::string& setup)
    {
        program.WriteFile(L"HWD.ini", "[SETUP]\r\n" + setup);
        program.Start();
        HWND form = program.MainWindow();
        EXPECT_NE(form, nullptr) << "main window did not appear";
        return form;
    }

    // Waits for the next message box, reads it, answers it and waits until it is gone.
    MessageBoxView Answer(int button, LPCWSTR expectedIcon = nullptr)
    {
        HWND box = program.WaitForMessageBox();
        EXPECT_NE(box, nullptr) << "no message box";
        if (!box)
            return {};
        MessageBoxView view = ReadMessageBox(box);
        if (expectedIcon) {
            EXPECT_TRUE(WaitUntil([&] { return ShowsSystemIcon(view.icon, expectedIcon); }, 3s)) << "wrong icon";
        }
        Click(ChildById(box, button));
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "box did not close";
        return view;
    }

    void ExpectNoMoreBoxes()
    {
        // The program is idle with its main window again, and no box showed.
        program.WaitForIdle();
        EXPECT_TRUE(program.TopLevelWindows(L"#32770").empty());
    }

    void ExpectUntouched()
    {
        for (std::size_t step = 0; step < 8; ++step) {
            RegData old = step == 4 ? Dword(1) : step == 5 ? Dword(0) : Sz("old");
            EXPECT_EQ(ReadTarnValue(step), old) << "step " << step + 1 << " was written";
        }
    }

    ProgramUnderTest program;
};

TEST_F(ApplyEndToEnd, EachConnectionTypeReachesTheRegistry)
{
    struct Case {
        const wchar_t* option;
        std::wstring confirmation;
        std::wstring report;
        std::string address;  // as written
        bool vsat;
    };
    const Case cases[] = {
        {L"Lan / &Dial-up", L"You have selected Lan/Dialup Option, Click on 'Ok' to apply the Changes ",
         L"Lan/Dial up IP address ( 10.1.2.3 ) applied.", "10.1.2.3", false},
        {L"V&PN", L"You have selected VPN Option, Click on 'Ok' to apply the Changes ",
         L"VPN IP address ( 10.0.0.7 ) applied. ", "10.0.0.7", false},
        {L"&Vsat", L"You have selected VSAT Option, Click on 'Ok' to apply the Changes ",
         L"VSAT IP address ( 192.168.100.200 ) applied. ", "192.168.100.200", true},
        {L"&Others", L"You have selected Others Option, Click on 'Ok' to apply the Changes ",
         L"Other IP address ( SERVER1.EXAMPLE.NET ) applied. ", "SERVER1.EXAMPLE.NET", false},
    };
    HWND form = StartWithProfile("LanAddress=10.1.2.3\r\nVPNAddress=10.0.0.7\r\n"
                                 "VsatAddress=192.168.100.200\r\nOthersAddress=server1.example.net\r\n"
                                 "BcastUDPPort=7777\r\n");
    ASSERT_NE(form, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        SeedTarnClient();
        Click(ChildByText(form, c.option));
        Click(ChildByText(form, L"&Apply"));

        MessageBoxView confirmation = Answer(IDOK, kInformationIcon);
        EXPECT_EQ(confirmation.text, c.confirmation);
        EXPECT_EQ(confirmation.title, kCaption);
        EXPECT_EQ(confirmation.buttons.size(), 2u);
        MessageBoxView report = Answer(IDOK, kInformationIcon);
        EXPECT_EQ(report.text, c.report);
        EXPECT_EQ(report.title, L"Hostwend 2.0");

        EXPECT_EQ(ReadTarnValue(0), Sz(c.address + ":7777:0"));
        EXPECT_EQ(ReadTarnValue(1), Sz(c.address + ":7777:0"));
        EXPECT_EQ(ReadTarnValue(2), Sz(c.address));
        EXPECT_EQ(ReadTarnValue(3), Sz("239.255.255.255:" + c.address));
        EXPECT_EQ(ReadTarnValue(4), Dword(7777));
        EXPECT_EQ(ReadTarnValue(5), Dword(c.vsat ? 1 : 0));
        EXPECT_EQ(ReadTarnValue(6), Sz(c.address));
        EXPECT_EQ(ReadTarnValue(7), Sz(c.address));
    }
    ExpectNoMoreBoxes();
}

TEST_F(ApplyEndToEnd, CancelWritesNothing)
{
    HWND form = StartWithProfile("LanAddress=10.1.2.3\r\nBcastUDPPort=7777\r\n");
    ASSERT_NE(form, nullptr);
    Click(ChildByText(form, L"&Apply"));
    Answer(IDCANCEL);
    ExpectNoMoreBoxes();
    ExpectUntouched();
}

TEST_F(ApplyEndToEnd, BlankOrOverlongValuesAreRefusedWithNothingWritten)
{
    struct Case {
        std::string setup;
        std::wstring refusal;
    };
    const Case cases[] = {
        {"BcastUDPPort=7777\r\n", L"LanAddress missing in HWD.ini"},
        {"LanAddress=   \r\nBcastUDPPort=7777\r\n", L"LanAddress missing in HWD.ini"},
        {"LanAddress=10.1.2.3\r\n", L"BcastUDPPort missing in HWD.ini"},
        {"LanAddress=10.1.2.3\r\nBcastUDPPort=" + std::string(300, '7') + "\r\n",
         L"BcastUDPPort in HWD.ini is too long"},
    };
    HWND form = StartWithProfile("");
    ASSERT_NE(form, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        // The file is read afresh on every Apply.
        program.WriteFile(L"HWD.ini", "[SETUP]\r\n" + c.setup);
        Click(ChildByText(form, L"&Apply"));
        Answer(IDOK);
        MessageBoxView refusal = Answer(IDOK, kCriticalIcon);
        EXPECT_EQ(refusal.text, c.refusal);
        EXPECT_EQ(refusal.title, kCaption);
        ExpectNoMoreBoxes();
        ExpectUntouched();
    }
}

TEST_F(ApplyEndToEnd, AFailedStepShowsOnlyItsOwnMessage)
{
    // The broadcast server key is missing: steps 1 and 2 are written, then step 3 fails.
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP", 0,
                            KEY_ALL_ACCESS | KEY_WOW64_32KEY, &software),
              ERROR_SUCCESS);
    RegDeleteTreeA(software, "BroadcastServer");
    RegCloseKey(software);

    HWND form = StartWithProfile("LanAddress=10.1.2.3\r\nBcastUDPPort=7777\r\n");
    ASSERT_NE(form, nullptr);
    Click(ChildByText(form, L"&Apply"));
    Answer(IDOK);
    // The operator leaves the box open: a deployment tool's apply meanwhile
    // gets its own answer at once, not a 30-second wait for the lock.
    ASSERT_NE(program.WaitForMessageBox(), nullptr);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(RunConsoleProgram(L"--profile \"" + program.Directory() + L"\\HWD.ini\" apply lan"), 23u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    MessageBoxView failure = Answer(IDOK, kCriticalIcon);
    EXPECT_EQ(failure.text, L"Error occured while updating - Bcast Address (1 of 2) ");
    EXPECT_EQ(failure.title, kCaption);
    ExpectNoMoreBoxes();

    EXPECT_EQ(ReadTarnValue(0), Sz("10.1.2.3:7777:0"));
    EXPECT_EQ(ReadTarnValue(1), Sz("10.1.2.3:7777:0"));
    EXPECT_FALSE(ReadTarnValue(2).has_value()) << "a value was created";
    EXPECT_EQ(ReadTarnValue(6), Sz("old"));
    EXPECT_EQ(ReadTarnValue(7), Sz("old"));

    // The console's apply changed nothing, so the window's stays on record:
    // the console program takes back what the window wrote.
    EXPECT_EQ(RunConsoleProgram(L"undo"), 0u);
    EXPECT_EQ(ReadTarnValue(0), Sz("old"));
    EXPECT_EQ(ReadTarnValue(1), Sz("old"));
    EXPECT_FALSE(ReadTarnValue(2).has_value()) << "a value was created";
}

TEST_F(ApplyEndToEnd, WaitsItsTurnAnsweringItsWindowThenApplies)
{
    HWND form = StartWithProfile("LanAddress=10.1.2.3\r\nBcastUDPPort=7777\r\n");
    ASSERT_NE(form, nullptr);
    // Another process holds the apply lock, as a console apply would.
    UniqueKernel lock(CreateApplyMutex(true));
    ASSERT_TRUE(lock) << GetLastError();
    Click(ChildByText(form, L"&Apply"));
    Answer(IDOK);
    for (int round = 0; round < 3; ++round) {
        DWORD_PTR answer = 0;
        EXPECT_NE(SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer), 0)
            << "the window stopped answering while it waited, round " << round;
    }
    // A second click meanwhile starts nothing.
    Click(ChildByText(form, L"&Apply"));
    ASSERT_NE(SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr), 0);
    EXPECT_TRUE(program.TopLevelWindows(L"#32770").empty()) << "a box showed while it waited";
    ExpectUntouched();

    ReleaseMutex(lock.get());
    MessageBoxView report = Answer(IDOK, kInformationIcon);
    EXPECT_EQ(report.text, L"Lan/Dial up IP address ( 10.1.2.3 ) applied.");
    ExpectNoMoreBoxes();
    EXPECT_EQ(ReadTarnValue(7), Sz("10.1.2.3"));
}

TEST_F(ApplyEndToEnd, ALockNameNotMadeByAHostwendIsRefusedAtOnceSayingSo)
{
    HWND form = StartWithProfile("LanAddress=10.1.2.3\r\nBcastUDPPort=7777\r\n");
    ASSERT_NE(form, nullptr);
    // Free, and made as any other program would make it: under Wine, with no owner.
    UniqueKernel squatter(CreateMutexW(nullptr, FALSE, L"Global\\Hostwend.Apply"));
    ASSERT_TRUE(squatter) << GetLastError();
    Click(ChildByText(form, L"&Apply"));
    Answer(IDOK);
    const auto asked = std::chrono::steady_clock::now();
    MessageBoxView refusal = Answer(IDOK, kCriticalIcon);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 10s) << "it waited as for a busy lock";
    EXPECT_EQ(refusal.text.rfind(L"Hostwend cannot make sure that no other Hostwend changes these settings", 0), 0u)
        << "not the lock's box";
    EXPECT_NE(refusal.text.find(L"was not made by a Hostwend (made with no owner)."), std::wstring::npos)
        << "the reason is not in the box";
    ExpectNoMoreBoxes();
    ExpectUntouched();
}

TEST(ApplyInAnyFolder, AFolderTheCodePageCannotSpellStillFindsItsProfile)
{
    SeedTarnClient();
    ProgramUnderTest program(ProgramUnderTest::FolderNamed{L"-\u4e2d\u6587-\u0141\u00f3d\u017a"});
    program.WriteFile(L"HWD.ini", "[SETUP]\r\nVPNAddress=10.0.0.7\r\nBcastUDPPort=7777\r\n");
    program.Start();
    HWND form = program.MainWindow();
    ASSERT_NE(form, nullptr) << "it did not find HWD.ini beside itself";
    Click(ChildByText(form, L"V&PN"));
    Click(ChildByText(form, L"&Apply"));
    for (const wchar_t* expected : {L"You have selected VPN Option, Click on 'Ok' to apply the Changes ",
                                    L"VPN IP address ( 10.0.0.7 ) applied. "}) {
        HWND box = program.WaitForMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(ReadMessageBox(box).text, expected);
        Click(ChildById(box, IDOK));
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    }
    EXPECT_EQ(ReadTarnValue(7), Sz("10.0.0.7"));
    WipeTarnKeys();
}

} // namespace
} // namespace hostwend::driver
