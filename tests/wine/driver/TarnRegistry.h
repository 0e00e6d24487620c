#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

namespace hostwend::driver {

// The TARN client's settings in Wine's real registry, in the 32-bit view
// where the client keeps them.
struct RegData {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const RegData&) const = default;
};

RegData Sz(const std::string& text);  // with its NUL, as the client writes it
RegData Dword(std::uint32_t number);

// Whether this Windows has one registry view, as 32-bit Windows has: there
// KEY_WOW64_32KEY and KEY_WOW64_64KEY are ignored and reach the same keys.
bool OneRegistryView();

// Removes the client's keys from both registry views.
void WipeTarnKeys();
// Writes one value in the 32-bit view, making its key when needed.
void SeedTarnValue(std::size_t step, const RegData& value);
// An installed client: the eight values, text ones "old", port 1, VSAT flag 0.
void SeedTarnClient();
std::optional<RegData> ReadTarnValue(std::size_t step);
// The same through the wide functions: text as the registry holds it, in
// UTF-16, so that any character survives the round trip.
void SeedTarnValueW(std::size_t step, const RegData& value);
std::optional<RegData> ReadTarnValueW(std::size_t step);
// Damage to an installed client: one value, or a key with all below it.
void RemoveTarnValue(std::size_t step);
void RemoveTarnKey(const std::string& path);

// The registry as a whole below the client's keys, to see anything created,
// retyped or rewritten.
struct Snapshot {
    std::set<std::string> keys;               // "view|key path"
    std::map<std::string, RegData> values;  // "view|key path|value name"
    bool operator==(const Snapshot&) const = default;
};
// SOFTWARE\TARN and SOFTWARE\ODBC\ODBC.INI in both views, so that a key made
// in the wrong view shows too.
Snapshot TakeSnapshot();
// The snapshot's name of one of the eight values.
std::string ValueId(std::size_t step);
// A value for a person: its type and its first bytes.
std::string Describe(const RegData& value);
// Each key or value that differs, in words; empty when none does.
std::string Differences(const Snapshot& expected, const Snapshot& actual);

} // namespace hostwend::driver
