#include "TarnRegistry.h"

#include "TarnClient.h"

#include <sstream>

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

bool OneRegistryView()
{
    if constexpr (sizeof(void*) == 8)
        return false;
    BOOL wow64 = FALSE;
    return !IsWow64Process(GetCurrentProcess(), &wow64) || !wow64;
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
        // The record of the last apply goes with the client it was made on.
        RegDeleteTreeA(software, "Wendlebrook\\Hostwend\\LastApply");
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

void SeedTarnValueW(std::size_t step, const RegData& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTarnValues[step].first.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    const std::wstring name(kTarnValues[step].second.begin(), kTarnValues[step].second.end());
    RegSetValueExW(key, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
}

std::optional<RegData> ReadTarnValueW(std::size_t step)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTarnValues[step].first.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring name(kTarnValues[step].second.begin(), kTarnValues[step].second.end());
    RegData value{};
    DWORD size = 0;
    std::optional<RegData> result;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            result = value;
        }
    }
    RegCloseKey(key);
    return result;
}

namespace {

std::string ViewName(REGSAM view) { return view == KEY_WOW64_32KEY ? "32" : "64"; }

void DumpTree(REGSAM view, const std::string& path, Snapshot& out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    const std::string id = ViewName(view) + "|" + path;
    out.keys.insert(id);
    DWORD subkeyCount = 0, subkeyNameMax = 0, valueCount = 0, valueNameMax = 0, dataMax = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeyCount, &subkeyNameMax, nullptr, &valueCount,
                     &valueNameMax, &dataMax, nullptr, nullptr);
    for (DWORD i = 0; i < valueCount; ++i) {
        std::vector<char> name(valueNameMax + 2);
        DWORD nameLength = static_cast<DWORD>(name.size());
        RegData value{};
        value.data.resize(dataMax + 1);
        DWORD size = static_cast<DWORD>(value.data.size());
        if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &value.type, value.data.data(), &size) !=
            ERROR_SUCCESS)
            continue;
        value.data.resize(size);
        out.values[id + "|" + std::string(name.data(), nameLength)] = value;
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0; i < subkeyCount; ++i) {
        std::vector<char> name(subkeyNameMax + 2);
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            subkeys.emplace_back(name.data(), nameLength);
    }
    RegCloseKey(key);
    for (const std::string& subkey : subkeys)
        DumpTree(view, path + "\\" + subkey, out);
}

} // namespace

Snapshot TakeSnapshot()
{
    Snapshot snapshot;
    // With one view, a second walk would list every key again as "64|".
    const std::vector<REGSAM> views = OneRegistryView() ? std::vector<REGSAM>{KEY_WOW64_32KEY}
                                                        : std::vector<REGSAM>{KEY_WOW64_32KEY, KEY_WOW64_64KEY};
    for (REGSAM view : views)
        for (const char* root : {"SOFTWARE\\TARN", "SOFTWARE\\ODBC\\ODBC.INI"})
            DumpTree(view, root, snapshot);
    return snapshot;
}

std::string ValueId(std::size_t step) { return "32|" + kTarnValues[step].first + "|" + kTarnValues[step].second; }

std::string Describe(const RegData& value)
{
    std::ostringstream out;
    out << "type " << value.type << " [";
    for (std::size_t i = 0; i < value.data.size() && i < 40; ++i) {
        BYTE b = value.data[i];
        if (b >= 32 && b < 127)
            out << static_cast<char>(b);
        else
            out << "\\x" << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
    }
    out << (value.data.size() > 40 ? "...]" : "]");
    return out.str();
}

std::string Differences(const Snapshot& expected, const Snapshot& actual)
{
    std::ostringstream out;
    for (const std::string& key : actual.keys)
        if (!expected.keys.count(key))
            out << " created key " << key << ";";
    for (const std::string& key : expected.keys)
        if (!actual.keys.count(key))
            out << " lost key " << key << ";";
    for (const auto& [id, value] : actual.values) {
        auto wanted = expected.values.find(id);
        if (wanted == expected.values.end())
            out << " created value " << id << ";";
        else if (!(wanted->second == value))
            out << " " << id << " holds " << Describe(value) << ", expected " << Describe(wanted->second) << ";";
    }
    for (const auto& [id, value] : expected.values)
        if (!actual.values.count(id))
            out << " lost value " << id << ";";
    return out.str();
}

void RemoveTarnValue(std::size_t step)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kTarnValues[step].first.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                      &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, kTarnValues[step].second.c_str());
    RegCloseKey(key);
}

void RemoveTarnKey(const std::string& path)
{
    const std::size_t split = path.rfind('\\');
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.substr(0, split).c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                      &parent) != ERROR_SUCCESS)
        return;
    RegDeleteTreeA(parent, path.substr(split + 1).c_str());
    RegCloseKey(parent);
}

} // namespace hostwend::driver
