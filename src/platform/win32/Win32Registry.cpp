#include "platform/win32/Win32Registry.h"

#include <windows.h>

namespace hostwend {
namespace {

HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }

} // namespace

RegStatus Win32Registry::RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options,
                                       std::uint32_t access, RegKey& opened)
{
    HKEY key = nullptr;
    LSTATUS status = ::RegOpenKeyExA(ToHkey(root), subKey.c_str(), options, access, &key);
    if (status == ERROR_SUCCESS)
        opened = reinterpret_cast<RegKey>(key);
    return status;
}

RegStatus Win32Registry::RegQueryValueExA(RegKey key, const std::string& valueName, std::uint32_t& type,
                                          std::uint32_t& size)
{
    DWORD typeCode = 0;
    DWORD dataSize = size;
    LSTATUS status = ::RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, &typeCode, nullptr, &dataSize);
    type = typeCode;
    size = dataSize;
    return status;
}

RegStatus Win32Registry::RegSetValueExA(RegKey key, const std::string& valueName, std::uint32_t type,
                                        const std::uint8_t* data, std::uint32_t size)
{
    return ::RegSetValueExA(ToHkey(key), valueName.c_str(), 0, type, data, size);
}

RegStatus Win32Registry::RegCloseKey(RegKey key) { return ::RegCloseKey(ToHkey(key)); }

RegStatus Win32Registry::RegQueryValueExW(RegKey key, std::wstring_view valueName, std::uint32_t& type,
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

std::string Win32Registry::ToAnsi(std::wstring_view text)
{
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), ansi.data(), size, nullptr, nullptr);
    return ansi;
}

std::wstring Win32Registry::FromAnsi(std::string_view text)
{
    if (text.empty())
        return {};
    int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

} // namespace hostwend
