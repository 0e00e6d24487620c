#include "app/Startup.h"
#include "app/win32/AppContext.h"
#include "app/win32/Form1.h"
#include "app/win32/WindowDesk.h"
#include "platform/win32/DllSearch.h"
#include "platform/win32/Win32Computer.h"
#include "platform/win32/Win32EventLog.h"
#include "platform/win32/Win32ProfileFiles.h"
#include "platform/win32/Win32Registry.h"

#include <objbase.h>
#include <windows.h>

using namespace hostwend;

namespace {

// The VSAT JPEG's decoder is a COM object.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Its own imports are all KnownDLLs; whatever loads later (the JPEG
    // decoder) must come from System32 only.
    RestrictDllSearch();
    ComApartment com;
    Win32Registry registry;
    Win32ProfileFiles files;
    WindowDesk desk;
    // Apply waits its turn answering the window's messages, once there is a window.
    Form1* waitingWindow = nullptr;
    Win32Computer computer([&waitingWindow](HANDLE object, DWORD milliseconds) {
        return waitingWindow ? waitingWindow->WaitAnswering(object, milliseconds)
                             : WaitForSingleObject(object, milliseconds);
    });
    Win32EventLog eventLog;
    Platform platform{registry, files, computer, desk, eventLog};
    ProfileState Module1;  // lives for the whole run
    OpenWindows windows;
    AppContext app{instance, platform, Module1, windows};

    std::unique_ptr<Form1> form1 = Form1::Create(app);
    if (!form1)
        return 1;
    waitingWindow = form1.get();
    desk.AttachMainWindow(form1->Handle(), form1->OptionButtons());

    Form_Load(files, desk, Module1);  // ends the program when HWD.ini is missing
    form1->Show();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Form1 may outlive its window (closed while an About window stays
        // open); PreTranslateMessage then does nothing.
        if (form1->PreTranslateMessage(message))
            continue;
        // Tab, arrows, Enter and access keys in whichever window is active,
        // the main window or an About window.
        HWND active = GetActiveWindow();
        if (active && IsDialogMessageW(active, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
