#pragma once

#include <cstdint>
#include <optional>
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

// Removes the client's keys from both registry views.
void WipeTarnKeys();
// Writes one value in the 32-bit view, making its key when needed.
void SeedTarnValue(std::size_t step, const RegData& value);
// An installed client: the eight values, text ones "old", port 1, VSAT flag 0.
void SeedTarnClient();
std::optional<RegData> ReadTarnValue(std::size_t step);

} // namespace hostwend::driver
