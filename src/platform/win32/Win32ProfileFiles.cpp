#include "platform/win32/Win32ProfileFiles.h"

#include "platform/win32/LastError.h"
#include "platform/win32/UniqueHandle.h"

#include <vector>

namespace hostwend {

std::uint32_t Win32ProfileFiles::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                          const std::wstring& defaultText, wchar_t* buffer,
                                                          std::uint32_t capacity, const std::wstring& path)
{
    return ::GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultText.c_str(), buffer, capacity,
                                      path.c_str());
}

std::wstring Win32ProfileFiles::ProgramDirectory()
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

FoundFile Win32ProfileFiles::FileTest(const std::wstring& path)
{
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                             nullptr, 0));
    if (!search) {
        // A file server out of reach or a share that refuses this account is
        // no missing file: the administrator needs Windows' own reason.
        const DWORD error = LastErrorOr(ERROR_FILE_NOT_FOUND);
        return {{}, error, SystemErrorText(error)};
    }
    // Ordinary files only: hidden and system files and directories do not count.
    constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (found.dwFileAttributes & kNotOrdinary)
        return {};
    return {found.cFileName, 0, {}};
}

} // namespace hostwend
