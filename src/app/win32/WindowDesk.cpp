#include "app/win32/WindowDesk.h"

#include <string>

namespace hostwend {

void WindowDesk::AttachMainWindow(HWND form, const std::array<HWND, 4>& optionButtons)
{
    mainWindow_ = form;
    optionButtons_ = optionButtons;
}

int WindowDesk::MsgBox(std::wstring_view prompt, int style, std::wstring_view title)
{
    // Owned by the main window once it shows, so the operator cannot click
    // Apply again while a box of the last click is still open.
    HWND owner = mainWindow_ && IsWindowVisible(mainWindow_) ? mainWindow_ : nullptr;
    return MessageBoxW(owner, std::wstring(prompt).c_str(), std::wstring(title).c_str(),
                       static_cast<UINT>(style));
}

std::wstring WindowDesk::MainWindowCaption()
{
    if (!mainWindow_)
        return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(mainWindow_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(mainWindow_, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool WindowDesk::IsOptionSet(OptionButton option)
{
    HWND button = optionButtons_[static_cast<std::size_t>(option)];
    return button && SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void WindowDesk::EndProgram() { ExitProcess(0); }

} // namespace hostwend
