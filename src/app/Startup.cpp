#include "app/Startup.h"

namespace hostwend {

void Form_Load(Platform& platform, ProfileState& state)
{
    // The directory is taken as given: at a drive root it already ends in a
    // backslash, and the doubled separator is harmless to Windows.
    std::wstring path = platform.ProgramDirectory() + std::wstring(kProfileFileSuffix);

    // The file test returns the name as stored ("HWD.ini" in any letter case)
    // or nothing; anything shorter than that name means no file.
    constexpr std::size_t kProfileNameLength = 7;
    if (platform.FileTest(path).size() < kProfileNameLength) {
        platform.MsgBox(L"HWD.ini file missing", kMbCritical, platform.MainWindowCaption());
        platform.EndProgram();
        return;
    }
    state.ProfilePath = platform.ProgramDirectory() + std::wstring(kProfileFileSuffix);
}

void CmdClose_Click(Platform& platform) { platform.EndProgram(); }

} // namespace hostwend
