#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace hostwend::driver {

using namespace std::chrono_literals;

// Polls until the condition holds or the deadline passes; never sleeps blindly.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = 10s);

std::wstring WindowText(HWND window);
// Writes a file's bytes exactly as given.
void WriteBytes(const std::wstring& path, const std::string& content);
std::wstring ClassName(HWND window);
// Child windows of a window, in z-order.
std::vector<HWND> Children(HWND parent);

// What a message box shows, read from its controls.
struct MessageBoxView {
    HWND window = nullptr;
    std::wstring title;
    std::wstring text;
    std::vector<std::pair<int, std::wstring>> buttons;  // control ID, caption
    HWND icon = nullptr;  // the static control that shows the icon
};
MessageBoxView ReadMessageBox(HWND box);
// Whether the icon a control shows on screen looks more like the given system
// icon (IDI_HAND, ...) than like any other of the four message box icons.
// Compared by pixels: another process's icon handle cannot be read here.
bool ShowsSystemIcon(HWND iconControl, LPCWSTR systemIcon);

// A copy of hostwend.exe in a fresh directory of its own, started and watched
// from outside through the Win32 API. The process is ended by its own handle
// and the directory removed when the object goes.
class ProgramUnderTest {
public:
    // A copy of HOSTWEND_EXE in a new directory of its own.
    ProgramUnderTest();
    // The program where it lies, in a directory that is not ours to remove.
    explicit ProgramUnderTest(const std::wstring& programDirectory);
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    const std::wstring& Directory() const { return directory_; }
    void WriteFile(const std::wstring& name, const std::string& content) const;

    void Start();
    bool Running() const;
    // Waits until the program has handled all its input and painted.
    void WaitForIdle(std::chrono::milliseconds deadline = 10s) const;
    // Exit code once the process has ended within the deadline.
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds deadline = 10s) const;

    // Visible top-level windows of the process, optionally of one class.
    std::vector<HWND> TopLevelWindows(const std::wstring& className = {}) const;
    HWND WaitForWindow(const std::wstring& className, std::chrono::milliseconds deadline = 10s) const;
    HWND WaitForMessageBox(std::chrono::milliseconds deadline = 10s) const;
    HWND MainWindow(std::chrono::milliseconds deadline = 10s) const { return WaitForWindow(L"Hostwend.Form1", deadline); }

private:
    std::wstring directory_;
    bool ownsDirectory_ = true;
    PROCESS_INFORMATION process_{};
};

// Presses a button of a window (a message box's OK, a main-window button).
void Click(HWND button);
HWND ChildById(HWND parent, int id);
HWND ChildByText(HWND parent, const std::wstring& text);

} // namespace hostwend::driver
