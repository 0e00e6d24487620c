#pragma once

#include "platform/Desk.h"

#include <array>

#include <windows.h>

namespace hostwend {

// The operator's side of the window program: message boxes, and the main
// window's caption and option buttons as they are at the moment of asking.
class WindowDesk final : public Desk {
public:
    // The main window and its option buttons, in OptionButton order. Until
    // this is called there is no window to read from or to own a message box.
    void AttachMainWindow(HWND form, const std::array<HWND, 4>& optionButtons);

    int MsgBox(std::wstring_view prompt, int style, std::wstring_view title) override;
    std::wstring MainWindowCaption() override;
    bool IsOptionSet(OptionButton option) override;
    void EndProgram() override;

private:
    HWND mainWindow_ = nullptr;
    std::array<HWND, 4> optionButtons_{};
};

} // namespace hostwend
