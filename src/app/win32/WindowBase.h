#pragma once

#include <windows.h>

namespace hostwend {

// Routes a window's messages to its C++ object: `this` arrives with
// WM_NCCREATE and is forgotten when the window is destroyed.
template <typename Derived>
class WindowBase {
public:
    HWND Handle() const { return window_; }

protected:
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
