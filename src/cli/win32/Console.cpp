#include "cli/win32/Console.h"

#include <string>

namespace hostwend::cli {
namespace {

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

std::string Narrow(UINT codePage, std::wstring_view text)
{
    const int size =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

} // namespace

void Write(DWORD standardHandle, std::wstring_view text)
{
    HANDLE handle = GetStdHandle(standardHandle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty())
        return;
    if (IsConsole(handle)) {
        DWORD written = 0;
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string utf8 = Narrow(CP_UTF8, text);
    // A pipe may take less than all at once.
    for (std::size_t done = 0; done < utf8.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, utf8.data() + done, static_cast<DWORD>(utf8.size() - done), &written, nullptr) ||
            written == 0)
            return;
        done += written;
    }
}

// A console shows what WriteFile gives it in its output code page.
std::string BytesFor(DWORD standardHandle, std::wstring_view text)
{
    HANDLE handle = GetStdHandle(standardHandle);
    const bool console = handle != nullptr && handle != INVALID_HANDLE_VALUE && IsConsole(handle);
    return Narrow(console ? GetConsoleOutputCP() : CP_UTF8, text);
}

} // namespace hostwend::cli
