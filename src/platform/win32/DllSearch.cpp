#include "platform/win32/DllSearch.h"

#include <windows.h>

namespace hostwend {

void RestrictDllSearch()
{
    // SetDefaultDllDirectories exists from Windows 8, and on Windows 7 only
    // with KB2533623: imported directly, an unpatched Windows 7 would refuse to
    // start the program at all. Looked up here instead.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC found = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (found) {
        auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(found));
        if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
            return;
    }
    // Without it the program's own folder stays searched, but an empty DLL
    // directory still takes the current directory out of the search.
    SetDllDirectoryW(L"");
}

} // namespace hostwend
