#include "ProgramUnderTest.h"

#include <sddl.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace hostwend::driver {

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    auto end = std::chrono::steady_clock::now() + deadline;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
}

std::wstring WindowText(HWND window)
{
    // WM_GETTEXT works across processes, where GetWindowText would not read a control's text.
    auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    auto copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

MessageBoxView ReadMessageBox(HWND box)
{
    MessageBoxView view;
    view.window = box;
    view.title = WindowText(box);
    for (HWND child : Children(box)) {
        std::wstring cls = ClassName(child);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        int id = GetDlgCtrlID(child);
        if (_wcsicmp(cls.c_str(), L"Button") == 0 && IsWindowVisible(child))
            view.buttons.emplace_back(id, WindowText(child));
        else if (_wcsicmp(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON)
            view.icon = child;
        else if (_wcsicmp(cls.c_str(), L"Static") == 0 && id == 0xFFFF)
            view.text = WindowText(child);
    }
    return view;
}

namespace {

// The pixels of a screen area, or of an icon drawn on a given background.
std::vector<COLORREF> Capture(HDC source, int x, int y, int width, int height)
{
    std::vector<COLORREF> pixels;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            pixels.push_back(GetPixel(source, x + column, y + row));
    return pixels;
}

std::vector<COLORREF> RenderIcon(LPCWSTR systemIcon, COLORREF background, int width, int height)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, width, height};
    FillRect(memory, &all, brush);
    DrawIconEx(memory, 0, 0, LoadIconW(nullptr, systemIcon), 0, 0, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels = Capture(memory, 0, 0, width, height);
    SelectObject(memory, old);
    DeleteObject(brush);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::size_t Difference(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        count += a[i] != b[i];
    return count;
}

} // namespace

bool ShowsSystemIcon(HWND iconControl, LPCWSTR systemIcon)
{
    if (!iconControl)
        return false;
    RECT rect{};
    GetWindowRect(iconControl, &rect);
    int width = std::min<int>(rect.right - rect.left, 32);
    int height = std::min<int>(rect.bottom - rect.top, 32);
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> shown = Capture(screen, rect.left, rect.top, width, height);
    ReleaseDC(nullptr, screen);
    COLORREF background = shown.empty() ? RGB(255, 255, 255) : shown.front();

    std::size_t expected = Difference(shown, RenderIcon(systemIcon, background, width, height));
    const LPCWSTR others[] = {MAKEINTRESOURCEW(32513), MAKEINTRESOURCEW(32514), MAKEINTRESOURCEW(32515),
                              MAKEINTRESOURCEW(32516)};  // hand, question, exclamation, asterisk
    for (LPCWSTR other : others)
        if (other != systemIcon && Difference(shown, RenderIcon(other, background, width, height)) <= expected)
            return false;
    return true;
}

std::wstring ProgramPath()
{
    const char* path = std::getenv("HOSTWEND_EXE");
    if (!path)
        throw std::runtime_error("HOSTWEND_EXE is not set");
    std::wstring wide;
    for (const char* c = path; *c; ++c)
        wide.push_back(static_cast<wchar_t>(*c == '/' ? '\\' : *c));
    return wide;
}

namespace {

void RemoveTree(const std::wstring& directory)
{
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = directory + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(directory.c_str());
}

} // namespace

ProgramUnderTest::ProgramUnderTest() : ProgramUnderTest(FolderNamed{}) {}

ProgramUnderTest::ProgramUnderTest(const FolderNamed& folder)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    directory_ = std::wstring(temp) + L"hostwend-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++counter) + folder.name;
    RemoveTree(directory_);
    if (!CreateDirectoryW(directory_.c_str(), nullptr))
        throw std::runtime_error("cannot create the test directory");
    if (!CopyFileW(ProgramPath().c_str(), (directory_ + L"\\hostwend.exe").c_str(), FALSE))
        throw std::runtime_error("cannot copy hostwend.exe");
}

ProgramUnderTest::ProgramUnderTest(const std::wstring& programDirectory)
    : directory_(programDirectory), ownsDirectory_(false)
{
}

ProgramUnderTest::~ProgramUnderTest()
{
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    if (ownsDirectory_)
        RemoveTree(directory_);
}

void WriteBytes(const std::wstring& path, const std::string& content)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot write a test file");
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != content.size())
        throw std::runtime_error("cannot write a test file");
}

void ProgramUnderTest::WriteFile(const std::wstring& name, const std::string& content) const
{
    WriteBytes(directory_ + L"\\" + name, content);
}

void ProgramUnderTest::Start()
{
    std::wstring exe = directory_ + L"\\hostwend.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory_.c_str(),
                        &startup, &process_))
        throw std::runtime_error("cannot start hostwend.exe, error " + std::to_string(GetLastError()));
}

bool ProgramUnderTest::Running() const
{
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

namespace {

bool PaintPending(HWND window)
{
    if (GetUpdateRect(window, nullptr, FALSE))
        return true;
    for (HWND child : Children(window))
        if (PaintPending(child))
            return true;
    return false;
}

} // namespace

void ProgramUnderTest::WaitForIdle(std::chrono::milliseconds deadline) const
{
    WaitForInputIdle(process_.hProcess, static_cast<DWORD>(deadline.count()));
    // WaitForInputIdle holds only until the program first waits for input; a
    // window opened later may still be waiting to be painted.
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows())
                if (PaintPending(window))
                    return false;
            return true;
        },
        deadline);
    // A window validates its update region as it starts painting: a round
    // trip through each window's queue lets that painting finish.
    for (HWND window : TopLevelWindows())
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(deadline.count()), nullptr);
}

std::optional<DWORD> ProgramUnderTest::WaitForExit(std::chrono::milliseconds deadline) const
{
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(deadline.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

namespace {

struct WindowSearch {
    DWORD processId;
    const std::wstring* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) &&
        (search->className->empty() || ClassName(window) == *search->className))
        search->found.push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> ProgramUnderTest::TopLevelWindows(const std::wstring& className) const
{
    WindowSearch search{process_.dwProcessId, &className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND ProgramUnderTest::WaitForWindow(const std::wstring& className, std::chrono::milliseconds deadline) const
{
    HWND found = nullptr;
    WaitUntil(
        [&] {
            auto windows = TopLevelWindows(className);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        deadline);
    return found;
}

HWND ProgramUnderTest::WaitForMessageBox(std::chrono::milliseconds deadline) const
{
    return WaitForWindow(L"#32770", deadline);
}

std::optional<DWORD> RunConsoleProgram(const std::wstring& arguments, std::chrono::milliseconds deadline)
{
    std::wstring exe = ProgramPath();
    exe.replace(exe.find_last_of(L'\\') + 1, std::wstring::npos, L"hostwend-cli.exe");
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        throw std::runtime_error("cannot start hostwend-cli.exe, error " + std::to_string(GetLastError()));
    std::optional<DWORD> exitCode;
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(deadline.count())) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        exitCode = code;
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
}

HANDLE CreateApplyMutex(bool takeIt)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    HANDLE mutex = CreateMutexW(&attributes, takeIt, L"Global\\Hostwend.Apply");
    LocalFree(descriptor);
    return mutex;
}

void Click(HWND button)
{
    // Posted, not sent: the click may open a modal box, which would block a send.
    PostMessageW(button, BM_CLICK, 0, 0);
}

HWND ChildById(HWND parent, int id) { return GetDlgItem(parent, id); }

HWND ChildByText(HWND parent, const std::wstring& text)
{
    for (HWND child : Children(parent))
        if (WindowText(child) == text)
            return child;
    return nullptr;
}

RECT PlaceInParent(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    HWND parent = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) ? GetParent(window) : nullptr;
    if (parent)
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE ClientSize(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return SIZE{client.right, client.bottom};
}

HWND FocusIn(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

void PressKey(HWND target, UINT virtualKey)
{
    UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | static_cast<LPARAM>(scanCode << 16);
    PostMessageW(target, WM_KEYDOWN, virtualKey, down);
    PostMessageW(target, WM_KEYUP, virtualKey, down | (LPARAM{3} << 30));
}

void PressAccessKey(HWND target, wchar_t letter)
{
    // Bit 29: the Alt key is down. Dialog navigation acts on WM_SYSCHAR.
    PostMessageW(target, WM_SYSCHAR, letter, 1 | (LPARAM{1} << 29));
}

Pixels CaptureScreen(const RECT& screenRect)
{
    Pixels pixels;
    pixels.width = std::max<int>(0, screenRect.right - screenRect.left);
    pixels.height = std::max<int>(0, screenRect.bottom - screenRect.top);
    if (pixels.width == 0 || pixels.height == 0)
        return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, screenRect.left, screenRect.top, SRCCOPY);
    GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    for (int i = 0; i < pixels.width * pixels.height; ++i)
        pixels.colours.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

Pixels CaptureClient(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    return CaptureScreen(client);
}

} // namespace hostwend::driver
