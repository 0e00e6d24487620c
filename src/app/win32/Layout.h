#pragma once

#include "platform/win32/UniqueHandle.h"

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

// Window size for a wanted client size, centred on the screen.
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

// A control's place in its window's client area, in twips.
struct TwipsRect {
    int left, top, width, height;
};

// A visible child control at its place, scaled to the window's DPI. Both
// edges are scaled, not the width, so neighbours neither overlap nor part.
inline HWND CreateChild(HWND parent, HINSTANCE instance, int id, const wchar_t* className, const wchar_t* text,
                        DWORD style, DWORD exStyle, const TwipsRect& place, int dpi)
{
    int left = TwipsToPixels(place.left, dpi);
    int top = TwipsToPixels(place.top, dpi);
    int right = TwipsToPixels(place.left + place.width, dpi);
    int bottom = TwipsToPixels(place.top + place.height, dpi);
    return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, left, top, right - left,
                           bottom - top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                           nullptr);
}

// A font of the given face and size (in hundredths of a point) at the DPI.
// The family (FF_SWISS, FF_ROMAN) picks a look-alike where the face is missing.
inline UniqueFont CreatePointFont(const wchar_t* face, BYTE family, int centipoints, int weight, bool italic, int dpi)
{
    LOGFONTW font{};
    font.lfHeight = -MulDiv(centipoints, dpi, 7200);
    font.lfWeight = weight;
    font.lfItalic = italic ? TRUE : FALSE;
    font.lfCharSet = ANSI_CHARSET;
    font.lfPitchAndFamily = static_cast<BYTE>(VARIABLE_PITCH | family);
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&font));
}

} // namespace hostwend
