#pragma once

#include "app/win32/Layout.h"

#include <windows.h>

namespace hostwend {

// Routes a window's messages to its C++ object: `this` arrives with
// WM_NCCREATE and is forgotten when the window is destroyed.
template <typename Derived>
class WindowBase {
public:
    HWND Handle() const { return window_; }

protected:
    // A top-level window class with the program's arrow cursor and the given
    // icon and background. Registering it again fails harmlessly.
    static void RegisterFormClass(HINSTANCE instance, const wchar_t* className, int iconId, HBRUSH background)
    {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(iconId));
        // Shared icons: the system keeps them for the class's lifetime.
        windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                            GetSystemMetrics(SM_CXSMICON),
                                                            GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        windowClass.hbrBackground = background;
        windowClass.lpszClassName = className;
        RegisterClassExW(&windowClass);
    }

    // Creates the window, not yet shown, centred with the given client size
    // in twips; `self` receives its messages from WM_NCCREATE on.
    static HWND CreateCentred(HINSTANCE instance, const wchar_t* className, const wchar_t* caption, DWORD style,
                              int clientWidthTwips, int clientHeightTwips, int dpi, Derived* self)
    {
        RECT rect = CentredWindowRect(TwipsToPixels(clientWidthTwips, dpi), TwipsToPixels(clientHeightTwips, dpi),
                                      style, 0);
        return CreateWindowExW(0, className, caption, style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, nullptr, nullptr, instance, self);
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            self = static_cast<Derived*>(create->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (!self)
            return DefWindowProcW(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->window_ = nullptr;
            LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            self->OnDestroyed();
            return result;
        }
        return self->HandleMessage(message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

} // namespace hostwend
