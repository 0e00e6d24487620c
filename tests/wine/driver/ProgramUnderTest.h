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
    // The same, in a directory whose name ends in this folder name.
    struct FolderNamed {
        std::wstring name;
    };
    explicit ProgramUnderTest(const FolderNamed& folder);
    // The program where it lies, in a directory that is not ours to remove.
    explicit ProgramUnderTest(const std::wstring& programDirectory);
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    const std::wstring& Directory() const { return directory_; }
    void WriteFile(const std::wstring& name, const std::string& content) const;

    void Start();
    bool Running() const;
    // Waits until the program has handled all its input and its windows have
    // nothing left to paint.
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

// HOSTWEND_EXE, the built hostwend.exe, as a Windows path.
std::wstring ProgramPath();

// Runs hostwend-cli.exe, beside HOSTWEND_EXE, with these arguments, without a console of its own,
// and returns its exit code; ended by its own handle when the deadline passes.
std::optional<DWORD> RunConsoleProgram(const std::wstring& arguments, std::chrono::milliseconds deadline = 20s);

// Global\Hostwend.Apply as a Hostwend makes it (owned by the Administrators
// group), taken at once when takeIt; nullptr when it cannot be made.
HANDLE CreateApplyMutex(bool takeIt);

// Presses a button of a window (a message box's OK, a main-window button).
void Click(HWND button);
HWND ChildById(HWND parent, int id);
HWND ChildByText(HWND parent, const std::wstring& text);

// A window's rectangle in its parent's client area (a top-level window's: on
// the screen), and the size of its own client area, in pixels.
RECT PlaceInParent(HWND window);
SIZE ClientSize(HWND window);
// The window that has the keyboard focus in the thread of the given window.
HWND FocusIn(HWND window);
// Posts a key press (down and up) to a window, as the keyboard would send it.
void PressKey(HWND target, UINT virtualKey);
// Posts an access key (Alt and a letter) to a window.
void PressAccessKey(HWND target, wchar_t letter);

// What the screen shows in a rectangle, row by row, left to right.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> colours;
    COLORREF At(int x, int y) const { return colours[static_cast<std::size_t>(y * width + x)]; }
};
Pixels CaptureScreen(const RECT& screenRect);
// The client area of a window as the screen shows it.
Pixels CaptureClient(HWND window);

} // namespace hostwend::driver
