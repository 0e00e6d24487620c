#include "app/Startup.h"
#include "app/win32/AppContext.h"
#include "app/win32/Form1.h"

#include <windows.h>

using namespace hostwend;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    Win32Platform platform;
    ProfileState Module1;  // lives for the whole run
    OpenWindows windows;
    AppContext app{instance, platform, Module1, windows};

    std::unique_ptr<Form1> form1 = Form1::Create(app);
    if (!form1)
        return 1;
    platform.AttachMainWindow(form1->Handle(), form1->OptionButtons());

    Form_Load(platform, Module1);  // ends the program when HWD.ini is missing
    form1->Show();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form1->Handle() && form1->PreTranslateMessage(message))
            continue;
        // Tab, arrows, Enter and access keys in whichever window is active.
        HWND active = GetActiveWindow();
        if (active && IsDialogMessageW(active, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
