#include "profile/ReadProfileValue.h"

#include <algorithm>

namespace hostwend {
namespace {

// Addresses, host names and ports are ASCII; anything else is left as it is
// rather than upper-cased by rules that depend on the machine's locale.
std::wstring UpperCase(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return text;
}

} // namespace

std::wstring ReadProfileValue(Platform& platform, ProfileState& state, std::wstring_view key)
{
    // The buffer goes to the ANSI function as it stands and comes back whole:
    // after the value and its NUL it still holds what an earlier read left.
    std::string buffer = platform.ToAnsi(std::wstring_view(state.ProfileBuffer.data(), state.ProfileBuffer.size()));
    buffer.resize(kProfileBufferLength, '\0');
    std::uint32_t count = platform.GetPrivateProfileStringA(
        "SETUP", platform.ToAnsi(key), " ", buffer.data(), static_cast<std::uint32_t>(kProfileBufferLength),
        platform.ToAnsi(state.ProfilePath));
    count = std::min<std::uint32_t>(count, kProfileBufferLength - 1);

    std::wstring whole = platform.FromAnsi(buffer);
    whole.resize(kProfileBufferLength, L'\0');
    std::copy(whole.begin(), whole.end(), state.ProfileBuffer.begin());
    state.ProfileLength = static_cast<std::int16_t>(count);

    // The count is in code-page bytes: convert exactly the bytes read, so a
    // multi-byte character can neither cut the value nor pull in the NUL.
    return UpperCase(platform.FromAnsi(std::string_view(buffer.data(), count)));
}

} // namespace hostwend
