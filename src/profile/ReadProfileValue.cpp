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

ProfileValue ReadProfileEntry(ProfileFiles& files, ProfileState& state, std::wstring_view key)
{
    // The whole read is UTF-16, path included: a folder or file name that the
    // ANSI code page cannot spell would otherwise read as no file at all, or
    // through a best-fit mapping as another one. The buffer goes as it stands:
    // after the value and its NUL it still holds what an earlier read left.
    std::uint32_t count = files.GetPrivateProfileStringW(L"SETUP", std::wstring(key), L" ",
                                                         state.ProfileBuffer.data(),
                                                         static_cast<std::uint32_t>(kProfileBufferLength),
                                                         state.ProfilePath);
    count = std::min<std::uint32_t>(count, kProfileBufferLength - 1);
    state.ProfileLength = static_cast<std::int16_t>(count);
    std::wstring asWritten(state.ProfileBuffer.data(), count);
    return {UpperCase(asWritten), asWritten};
}

std::wstring ReadProfileValue(ProfileFiles& files, ProfileState& state, std::wstring_view key)
{
    return ReadProfileEntry(files, state, key).value;
}

} // namespace hostwend
