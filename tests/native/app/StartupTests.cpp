#include "app/Startup.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

namespace hostwend {
namespace {

using testing::FakePlatform;

TEST(FormLoad, FindsTheProfileBesideTheProgramAndStoresItsPath)
{
    struct Case {
        const wchar_t* directory;
        const wchar_t* storedName;
        const wchar_t* expectedPath;
    };
    const Case cases[] = {
        {L"C:\\Program Files\\Hostwend", L"HWD.ini", L"C:\\Program Files\\Hostwend\\HWD.ini"},
        // The name as stored on disk does not leak into the path.
        {L"C:\\Tools", L"hwd.INI", L"C:\\Tools\\HWD.ini"},
        // A drive root comes with its own backslash; the path keeps both.
        {L"D:\\", L"HWD.ini", L"D:\\\\HWD.ini"},
    };
    for (const Case& c : cases) {
        FakePlatform platform;
        platform.programDirectory = c.directory;
        platform.ordinaryFiles[c.expectedPath] = c.storedName;
        ProfileState state;

        Form_Load(platform, platform, state);

        EXPECT_EQ(state.ProfilePath, c.expectedPath);
        EXPECT_EQ(platform.fileTests, std::vector<std::wstring>{c.expectedPath});
        EXPECT_TRUE(platform.boxes.empty());
        EXPECT_EQ(platform.endProgramCalls, 0);
    }
}

TEST(FormLoad, MissingProfileShowsOneCriticalMessageAndEnds)
{
    // No file at all, and a name the file test returns that is too short to be HWD.ini.
    for (const wchar_t* storedName : {L"", L"HWD.in"}) {
        FakePlatform platform;
        platform.caption = L"Caption at that moment";
        if (*storedName)
            platform.ordinaryFiles[L"C:\\Program Files\\Hostwend\\HWD.ini"] = storedName;
        ProfileState state;

        Form_Load(platform, platform, state);

        ASSERT_EQ(platform.boxes.size(), 1u);
        EXPECT_EQ(platform.boxes[0].prompt, L"HWD.ini file missing");
        EXPECT_EQ(platform.boxes[0].style, kMbCritical);
        EXPECT_EQ(platform.boxes[0].title, L"Caption at that moment");
        EXPECT_EQ(platform.endProgramCalls, 1);
        EXPECT_TRUE(state.ProfilePath.empty());
    }
}

TEST(CmdClose, EndsTheProgramWithoutAsking)
{
    FakePlatform platform;
    CmdClose_Click(platform);
    EXPECT_EQ(platform.endProgramCalls, 1);
    EXPECT_TRUE(platform.boxes.empty());
}

} // namespace
} // namespace hostwend
