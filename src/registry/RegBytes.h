#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// Registry data as Windows stores it: UTF-16 code units and numbers, both
// little-endian, whatever the machine that builds or reads them.

// The text's code units, then the terminating NUL that REG_SZ data carries.
[[nodiscard]] std::vector<std::uint8_t> Utf16Bytes(std::wstring_view text);
[[nodiscard]] std::vector<std::uint8_t> DwordBytes(std::uint32_t number);

// Every whole code unit in the data, NULs included; an odd last byte is dropped.
[[nodiscard]] std::wstring Utf16Text(const std::vector<std::uint8_t>& data);
// The number in the data's first byteCount bytes: at most 8, all of them there.
[[nodiscard]] std::uint64_t LittleEndian(const std::vector<std::uint8_t>& data, std::size_t byteCount);

} // namespace hostwend
