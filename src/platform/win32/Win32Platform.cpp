#include "platform/win32/Win32Platform.h"

#include "platform/win32/UniqueHandle.h"

#include <vector>

namespace hostwend {
namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

// One name for the whole machine: the window and the console program, in any
// session, elevated or running as SYSTEM, all wait on the same mutex.
constexpr wchar_t kApplyMutexName[] = L"Global\\Hostwend.Apply";

class MutexApplyLock final : public ApplyLock {
public:
    explicit MutexApplyLock(UniqueKernelHandle mutex) : mutex_(std::move(mutex)) {}
    ~MutexApplyLock() override { ReleaseMutex(mutex_.get()); }

private:
    UniqueKernelHandle mutex_;
};

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

void Win32Platform::AttachMainWindow(HWND form, const std::array<HWND, 4>& optionButtons)
{
    mainWindow_ = form;
    optionButtons_ = optionButtons;
}

int Win32Platform::MsgBox(std::wstring_view prompt, int style, std::wstring_view title)
{
    // Owned by the main window once it shows, so the operator cannot click
    // Apply again while a box of the last click is still open.
    HWND owner = mainWindow_ && IsWindowVisible(mainWindow_) ? mainWindow_ : nullptr;
    return MessageBoxW(owner, std::wstring(prompt).c_str(), std::wstring(title).c_str(),
                       static_cast<UINT>(style));
}

std::uint32_t Win32Platform::GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                                      const std::string& defaultText, char* buffer,
                                                      std::uint32_t capacity, const std::string& path)
{
    return ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText.c_str(), buffer, capacity,
                                      path.c_str());
}

RegStatus Win32Platform::RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options,
                                       std::uint32_t access, RegKey& opened)
{
    HKEY key = nullptr;
    LSTATUS status = ::RegOpenKeyExA(ToHkey(root), subKey.c_str(), options, access, &key);
    if (status == ERROR_SUCCESS)
        opened = reinterpret_cast<RegKey>(key);
    return status;
}

RegStatus Win32Platform::RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                                          std::uint32_t& size)
{
    DWORD typeCode = 0;
    DWORD dataSize = size;
    LSTATUS status = ::RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, &typeCode, nullptr, &dataSize);
    type = typeCode;
    size = dataSize;
    return status;
}

RegStatus Win32Platform::RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                                        const std::uint8_t* data, std::uint32_t size)
{
    return ::RegSetValueExA(ToHkey(key), valueName.c_str(), 0, type, data, size);
}

RegStatus Win32Platform::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

RegStatus Win32Platform::RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
                                          std::vector<std::uint8_t>& data)
{
    const std::wstring name(valueName);
    // The value may grow between asking its size and reading it: ask again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD typeCode = 0;
        DWORD size = 0;
        LSTATUS status = ::RegQueryValueExW(ToHkey(key), name.c_str(), nullptr, &typeCode, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return status;
        data.resize(size);
        status = ::RegQueryValueExW(ToHkey(key), name.c_str(), nullptr, &typeCode, data.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status == ERROR_SUCCESS) {
            type = typeCode;
            data.resize(size);
        }
        return status;
    }
    return ERROR_MORE_DATA;
}

std::wstring Win32Platform::ProgramDirectory()
{
    // Grow the buffer until the whole path fits: a long install path must not be cut.
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length = 0;
    for (;;) {
        length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    std::wstring path(buffer.data(), length);
    std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    // A drive root keeps its backslash ("C:\"), as Windows reports it.
    bool driveRoot = slash == 2 && path[1] == L':';
    path.resize(driveRoot ? slash + 1 : slash);
    return path;
}

std::wstring Win32Platform::FileTest(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, 0));
    if (!search)
        return {};
    // Ordinary files only: hidden and system files and directories do not count.
    constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (found.dwFileAttributes & kNotOrdinary)
        return {};
    return found.cFileName;
}

void Win32Platform::EndProgram() { ExitProcess(0); }

std::wstring Win32Platform::MainWindowCaption() { return mainWindow_ ? WindowText(mainWindow_) : std::wstring(); }

bool Win32Platform::IsOptionSet(OptionButton option)
{
    HWND button = optionButtons_[static_cast<std::size_t>(option)];
    return button && SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool Win32Platform::IsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    UniqueKernelHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size))
        return elevation.TokenIsElevated != 0;
    // No elevation to ask about: administrator rights are membership of Administrators.
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

std::unique_ptr<ApplyLock> Win32Platform::LockApply(std::uint32_t waitMilliseconds)
{
    UniqueKernelHandle mutex(CreateMutexW(nullptr, FALSE, kApplyMutexName));
    if (!mutex)  // made by another account whose mutex we may only wait on
        mutex.reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kApplyMutexName));
    if (!mutex)
        return nullptr;
    // An abandoned mutex is ours now: its holder ended mid-apply, and this
    // apply rewrites every value anyway.
    const DWORD waited = WaitForSingleObject(mutex.get(), waitMilliseconds);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED)
        return nullptr;
    return std::make_unique<MutexApplyLock>(std::move(mutex));
}

std::string Win32Platform::ToAnsi(std::wstring_view text)
{
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), size, nullptr, nullptr);
    return ansi;
}

std::wstring Win32Platform::FromAnsi(std::string_view text)
{
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

} // namespace hostwend
