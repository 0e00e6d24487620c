#pragma once

#include "platform/ProfileFiles.h"

namespace hostwend {

// The program's folder and profile files on Windows.
class Win32ProfileFiles final : public ProfileFiles {
public:
    std::uint32_t GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                           const std::wstring& defaultText, wchar_t* buffer,
                                           std::uint32_t capacity, const std::wstring& path) override;
    std::wstring ProgramDirectory() override;
    FoundFile FileTest(const std::wstring& path) override;
};

} // namespace hostwend
