#include "app/Startup.h"

namespace hostwend {

void Form_Load(ProfileFiles& files, Desk& desk, ProfileState& state)
{
    // The directory is taken as given: at a drive root it already ends in a
    // backslash, and the doubled separator is harmless to Windows.
    std::wstring path = files.ProgramDirectory() + std::wstring(kProfileFileSuffix);

    // The file test returns the name as stored ("HWD.ini" in any letter case)
    // or nothing; anything shorter than that name means no file.
    constexpr std::size_t kProfileNameLength = 7;
    if (files.FileTest(path).name.size() < kProfileNameLength) {
        desk.MsgBox(L"HWD.ini file missing", kMbCritical, desk.MainWindowCaption());
        desk.EndProgram();
        return;
    }
    state.ProfilePath = files.ProgramDirectory() + std::wstring(kProfileFileSuffix);
}

void CmdClose_Click(Desk& desk) { desk.EndProgram(); }

} // namespace hostwend
