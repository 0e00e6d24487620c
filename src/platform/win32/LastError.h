#pragma once

#include <cstdint>

#include <windows.h>

namespace hostwend {

// The calling thread's last error, or fallback when a failed call left none:
// a 0 would read as success.
inline std::uint32_t LastErrorOr(std::uint32_t fallback)
{
    const DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

} // namespace hostwend
