#pragma once

#include "platform/Win32Errors.h"

#include <cstdint>
#include <string>

namespace hostwend {

// What a file test found.
struct FoundFile {
    std::wstring name;        // the file's own name; empty when there is no ordinary file at the path
    std::uint32_t error = 0;  // when the search itself failed: Windows' error code
    std::wstring errorText;   // and Windows' words for it
};

// The program's folder and the profile file beside it (or named to it).
class ProfileFiles {
public:
    virtual ~ProfileFiles() = default;

    // GetPrivateProfileStringW: copies at most capacity - 1 characters plus a
    // NUL into buffer and returns the count copied, without the NUL. Paths and
    // values are UTF-16, so any folder or file name can be read.
    virtual std::uint32_t GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                   const std::wstring& defaultText, wchar_t* buffer,
                                                   std::uint32_t capacity, const std::wstring& path) = 0;
    // Directory of the executable; no trailing backslash except at a drive root.
    virtual std::wstring ProgramDirectory() = 0;
    // The file's own name when an ordinary file exists at path; else why not.
    virtual FoundFile FileTest(const std::wstring& path) = 0;
};

} // namespace hostwend
