#include "ProgramUnderTest.h"

#include <gtest/gtest.h>

namespace hostwend::driver {
namespace {

constexpr wchar_t kCaption[] = L"Hostwend 2.1 (Only for TARN 6.x)";
constexpr char kSampleProfile[] = "[SETUP]\r\nLanAddress=10.1.2.3\r\nBcastUDPPort=7777\r\n";

// Starts the program and expects the one "missing" box, then the end, with
// the main window never shown.
void ExpectMissingProfileMessage(ProgramUnderTest& program)
{
    program.Start();
    HWND box = program.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "no message box";
    MessageBoxView view = ReadMessageBox(box);
    EXPECT_EQ(view.title, kCaption);
    EXPECT_EQ(view.text, L"HWD.ini file missing");
    ASSERT_EQ(view.buttons.size(), 1u);
    EXPECT_EQ(view.buttons[0].first, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return ShowsSystemIcon(view.icon, MAKEINTRESOURCEW(32513)); }, 3s))
        << "not the critical icon";  // IDI_HAND
    EXPECT_TRUE(program.TopLevelWindows(L"Hostwend.Form1").empty());
    EXPECT_EQ(program.TopLevelWindows().size(), 1u) << "only the message box shows";

    Click(ChildById(box, IDOK));
    EXPECT_TRUE(program.WaitForExit().has_value()) << "still running after OK";
}

TEST(Startup, WithoutProfileShowsMissingMessageAndEnds)
{
    ProgramUnderTest program;
    ExpectMissingProfileMessage(program);
}

TEST(Startup, DirectoryNamedLikeTheProfileCountsAsMissing)
{
    ProgramUnderTest program;
    ASSERT_TRUE(CreateDirectoryW((program.Directory() + L"\\HWD.ini").c_str(), nullptr));
    ExpectMissingProfileMessage(program);
}

TEST(Startup, HiddenProfileCountsAsMissing)
{
    ProgramUnderTest program;
    program.WriteFile(L"HWD.ini", kSampleProfile);
    ASSERT_TRUE(SetFileAttributesW((program.Directory() + L"\\HWD.ini").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ExpectMissingProfileMessage(program);
}

TEST(Startup, ProfileInOtherLetterCaseOpensMainWindowAndCloseEndsIt)
{
    ProgramUnderTest program;
    program.WriteFile(L"hwd.INI", kSampleProfile);
    program.Start();
    HWND form = program.MainWindow();
    ASSERT_NE(form, nullptr) << "main window did not appear";
    EXPECT_EQ(WindowText(form), kCaption);
    EXPECT_TRUE(program.TopLevelWindows(L"#32770").empty()) << "no message box at start";

    Click(ChildByText(form, L"&Close"));
    auto code = program.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "Close did not end the program";
    EXPECT_EQ(*code, 0u);
}

} // namespace
} // namespace hostwend::driver
