#include "FakePlatform.h"
#include "profile/ProfileValueCheck.h"
#include "profile/ReadProfileValue.h"

#include <gtest/gtest.h>

namespace hostwend {
namespace {

using testing::FakePlatform;

class ReadProfileValueTest : public ::testing::Test {
protected:
    ReadProfileValueTest()
    {
        state.ProfilePath = L"C:\\Hostwend\\HWD.ini";
        platform.profileFilePath = L"C:\\Hostwend\\HWD.ini";
    }
    FakePlatform platform;
    ProfileState state;
};

TEST_F(ReadProfileValueTest, ReturnsTheValueUpperCasedWithItsLength)
{
    struct Case {
        std::string value;
        std::wstring expected;
        int length;
    };
    const Case cases[] = {
        {"10.1.2.3", L"10.1.2.3", 8},
        {"myhost.local", L"MYHOST.LOCAL", 12},
        {"192.168.1.10", L"192.168.1.10", 12},
        // Longer than the twelve characters operators were once limited to.
        {"192.168.100.200", L"192.168.100.200", 15},
        {std::string(254, 'a'), std::wstring(254, L'A'), 254},
        // Fills the buffer: the count says so, and the value is cut.
        {std::string(300, '7'), std::wstring(255, L'7'), 255},
        {"", L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.size());
        platform.SetProfileEntry("SETUP", "OthersAddress", c.value);
        EXPECT_EQ(ReadProfileValue(platform, state, L"OthersAddress"), c.expected);
        EXPECT_EQ(state.ProfileLength, c.length);
    }
    const FakePlatform::ProfileRead& read = platform.profileReads.back();
    EXPECT_EQ(read.section, "SETUP");
    EXPECT_EQ(read.key, "OthersAddress");
    EXPECT_EQ(read.defaultText, " ");
    EXPECT_EQ(read.capacity, 256u);
    EXPECT_EQ(read.path, L"C:\\Hostwend\\HWD.ini");
}

TEST_F(ReadProfileValueTest, MissingKeyGivesTheBlankDefaultNeverAnEarlierValue)
{
    platform.SetProfileEntry("SETUP", "LanAddress", "192.168.100.200");
    std::wstring first = ReadProfileValue(platform, state, L"LanAddress");

    EXPECT_EQ(ReadProfileValue(platform, state, L"BcastUDPPort"), L" ");
    EXPECT_EQ(state.ProfileLength, 1);
    EXPECT_EQ(first, L"192.168.100.200") << "a later read changed an earlier result";

    // A platform that drops the default's trailing blank gives the empty text.
    platform.dropTrailingBlanksOfDefault = true;
    EXPECT_EQ(ReadProfileValue(platform, state, L"BcastUDPPort"), L"");
    EXPECT_EQ(state.ProfileLength, 0);

    // A file gone since start-up reads like a missing key.
    state.ProfilePath = L"C:\\Elsewhere\\HWD.ini";
    EXPECT_EQ(ReadProfileValue(platform, state, L"LanAddress"), L"");
}

TEST(ProfileValueRefusal, RefusesBlankAndPossiblyCutValues)
{
    struct Case {
        const wchar_t* key;
        std::wstring value;
        std::int16_t length;
        std::wstring refusal;
    };
    const Case cases[] = {
        {L"VPNAddress", L"10.0.0.7", 8, L""},
        {L"VPNAddress", L"", 0, L"VPNAddress missing in HWD.ini"},
        {L"BcastUDPPort", L" ", 1, L"BcastUDPPort missing in HWD.ini"},
        {L"LanAddress", L"   ", 3, L"LanAddress missing in HWD.ini"},
        {L"OthersAddress", std::wstring(254, L'A'), 254, L""},
        {L"BcastUDPPort", std::wstring(255, L'7'), 255, L"BcastUDPPort in HWD.ini is too long"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ProfileValueRefusal(c.key, c.value, c.length), c.refusal) << c.value.size();
}

} // namespace
} // namespace hostwend
