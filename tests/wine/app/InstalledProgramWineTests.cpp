// The window program where the installer package put it: started from that
// folder, it must find the HWD.ini installed beside it. Run by
// tests/wine/check-installer.sh, which names the folder in HOSTWEND_INSTALLED_DIR.
#include "ProgramUnderTest.h"

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

namespace hostwend::driver {
namespace {

std::wstring InstalledDirectory()
{
    const char* directory = std::getenv("HOSTWEND_INSTALLED_DIR");
    return directory ? std::wstring(directory, directory + std::strlen(directory)) : std::wstring();
}

TEST(InstalledProgram, FindsItsProfileAndOpensTheMainWindow)
{
    const std::wstring directory = InstalledDirectory();
    ASSERT_FALSE(directory.empty()) << "HOSTWEND_INSTALLED_DIR is not set";
    ProgramUnderTest program(directory);
    program.Start();
    // Whichever comes first: the main window, or the box that says HWD.ini is missing.
    ASSERT_TRUE(WaitUntil([&] {
        return !program.TopLevelWindows(L"Hostwend.Form1").empty() || !program.TopLevelWindows(L"#32770").empty();
    })) << "neither the main window nor a message box appeared";
    for (HWND box : program.TopLevelWindows(L"#32770"))
        ADD_FAILURE() << "message box at start: " << testing::PrintToString(ReadMessageBox(box).text);
    EXPECT_EQ(program.TopLevelWindows(L"Hostwend.Form1").size(), 1u);
}

} // namespace
} // namespace hostwend::driver
