#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace hostwend {

// Room for any sensible address or port; a read that fills it may have been
// cut and is refused (see ProfileValueCheck.h).
inline constexpr std::size_t kProfileBufferLength = 256;

// The profile file's name, appended to the program's directory.
inline constexpr std::wstring_view kProfileFileSuffix = L"\\HWD.ini";

// The module-level state that start-up and every profile read share.
struct ProfileState {
    std::wstring ProfilePath;
    std::array<wchar_t, kProfileBufferLength> ProfileBuffer{};
    std::int16_t ProfileLength = 0;
};

} // namespace hostwend
