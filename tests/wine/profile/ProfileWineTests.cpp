#include "ProgramUnderTest.h"
#include "platform/win32/Win32ProfileFiles.h"
#include "profile/ReadProfileValue.h"

#include <gtest/gtest.h>

namespace hostwend {
namespace {

// ReadProfileValue through the real GetPrivateProfileStringW, on real files.
class ProfileOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        state.ProfilePath = std::wstring(temp) + L"hostwend-profile-" + std::to_wstring(GetCurrentProcessId()) +
                            L".ini";
    }
    void TearDown() override { DeleteFileW(state.ProfilePath.c_str()); }
    std::wstring Read(const char* key)
    {
        return ReadProfileValue(files, state, std::wstring(key, key + std::char_traits<char>::length(key)));
    }

    Win32ProfileFiles files;
    ProfileState state;
};

TEST_F(ProfileOnDisk, ReadsValuesAsWindowsDelimitsThem)
{
    driver::WriteBytes(state.ProfilePath, "[Other]\r\n"
                                          "LanAddress=9.9.9.9\r\n"
                                          "[setup]\r\n"
                                          "lanaddress=10.1.2.3\r\n"
                                          "VPNAddress =   10.0.0.7   \r\n"
                                          "VsatAddress=\"172.20.4.2\"\r\n"
                                          "OthersAddress=myhost.local\r\n"
                                          "BcastUDPPort=\r\n");
    struct Case {
        const char* key;
        std::wstring value;
        int length;
    };
    const Case cases[] = {
        {"LanAddress", L"10.1.2.3", 8},        // section and key in other letter cases
        {"VPNAddress", L"10.0.0.7", 8},        // spaces around the value
        {"VsatAddress", L"172.20.4.2", 10},    // one pair of quotes
        {"OthersAddress", L"MYHOST.LOCAL", 12},  // upper-cased
        {"BcastUDPPort", L"", 0},              // present but empty: not the default
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Read(c.key), c.value) << c.key;
        EXPECT_EQ(state.ProfileLength, c.length) << c.key;
    }
}

TEST_F(ProfileOnDisk, MissingKeySectionOrFileGiveTheBlankDefault)
{
    driver::WriteBytes(state.ProfilePath, "[SETUP]\r\nLanAddress=192.168.100.200\r\n");
    EXPECT_EQ(Read("LanAddress"), L"192.168.100.200");
    // Either form of the default is blank; neither may hold an earlier value.
    auto blank = [](const std::wstring& value) { return value == L" " || value.empty(); };
    EXPECT_PRED1(blank, Read("VPNAddress"));

    driver::WriteBytes(state.ProfilePath, "[Elsewhere]\r\nVPNAddress=10.0.0.7\r\n");
    EXPECT_PRED1(blank, Read("VPNAddress"));

    DeleteFileW(state.ProfilePath.c_str());
    EXPECT_PRED1(blank, Read("LanAddress"));
}

} // namespace
} // namespace hostwend
