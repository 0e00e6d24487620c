#include "registry/RegeditPath.h"

#include "registry/ApplySteps.h"

namespace hostwend {

// On 64-bit Windows, regedit is a 64-bit program: the 32-bit view of SOFTWARE
// appears below SOFTWARE\WOW6432Node, ODBC's 32-bit data sources included. On
// 32-bit Windows there is one view and no such key.
std::wstring RegeditKeyPath(std::wstring_view keyPath, bool windows64)
{
    constexpr std::wstring_view kSoftware = L"SOFTWARE\\";
    auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    bool underSoftware = keyPath.size() > kSoftware.size();
    for (std::size_t i = 0; underSoftware && i < kSoftware.size(); ++i)
        underSoftware = upper(keyPath[i]) == kSoftware[i];
    if (!windows64 || !underSoftware)
        return std::wstring(keyPath);
    return std::wstring(keyPath.substr(0, kSoftware.size())) + L"WOW6432Node\\" +
           std::wstring(keyPath.substr(kSoftware.size()));
}

std::wstring RegeditKeyName(std::wstring_view keyPath, bool windows64)
{
    return std::wstring(kLocalMachineName) + L"\\" + RegeditKeyPath(keyPath, windows64);
}

} // namespace hostwend
