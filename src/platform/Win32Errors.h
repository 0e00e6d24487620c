#pragma once

#include <cstdint>

namespace hostwend {

// Windows error codes that portable code tells apart, as winerror.h numbers them.
inline constexpr std::uint32_t kWin32FileNotFound = 2;
inline constexpr std::uint32_t kWin32PathNotFound = 3;
inline constexpr std::uint32_t kWin32AccessDenied = 5;
inline constexpr std::uint32_t kWin32InvalidHandle = 6;  // a lock's name belongs to another kind of object
inline constexpr std::uint32_t kWin32NotEnoughMemory = 8;  // what an allocation that throws is told as

} // namespace hostwend
