#pragma once

#include <windows.h>

namespace hostwend {

// Layouts are in twips (1/1440 inch); the screen's DPI turns them into
// pixels once, when a window is created.
inline int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

inline int SystemDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// Window size for a wanted client size, centred on the screen's work area.
inline RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle)
{
    RECT rect{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return RECT{left, top, left + width, top + height};
}

} // namespace hostwend
