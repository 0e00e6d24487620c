#include "TarnRegistry.h"

#include "TarnClient.h"

namespace hostwend::driver {

using testing::kTarnValues;

RegData Sz(const std::string& text)
{
    RegData value{REG_SZ, std::vector<BYTE>(text.begin(), text.end())};
    value.data.push_back(0);
    return value;
}

RegData Dword(std::uint32_t number)
{
    return RegData{REG_DWORD,
                   {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
                    static_cast<BYTE>(number >> 24)}};
}

void WipeTarnKeys()
{
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY software = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &software) != ERROR_SUCCESS)
            continue;
        RegDeleteTreeA(software, "TARN");
        // Only the client's data source: ODBC.INI holds other machines' sources too.
        RegDeleteTreeA(software, "ODBC\\ODBC.INI\\TARN INT Database");
        RegCloseKey(software);
    }
}

void SeedTarnValue(std::size_t step, const RegData& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTarnValues[step].first.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, kTarnValues[step].second.c_str(), 0, value.type, value.data.data(),
                   static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
}

void SeedTarnClient()
{
    WipeTarnKeys();
    for (std::size_t step = 0; step < kTarnValues.size(); ++step)
        SeedTarnValue(step, step == 4 ? Dword(1) : step == 5 ? Dword(0) : Sz("old"));
}

std::optional<RegData> ReadTarnValue(std::size_t step)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTarnValues[step].first.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    RegData value{};
    DWORD size = 0;
    std::optional<RegData> result;
    if (RegQueryValueExA(key, kTarnValues[step].second.c_str(), nullptr, &value.type, nullptr, &size) ==
        ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExA(key, kTarnValues[step].second.c_str(), nullptr, &value.type, value.data.data(),
                             &size) == ERROR_SUCCESS)
            result = value;
    }
    RegCloseKey(key);
    return result;
}

} // namespace hostwend::driver
