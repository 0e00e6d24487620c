#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace hostwend {

// The module-level state that start-up and every profile read share.
struct ProfileState {
    std::wstring ProfilePath;
    std::array<wchar_t, 13> ProfileBuffer{};
    std::int16_t ProfileLength = 0;
};

} // namespace hostwend
