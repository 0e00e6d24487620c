#pragma once

#include <string>
#include <string_view>

#include <windows.h>

namespace hostwend::cli {

// Writes wide text to standard output or standard error: to a console as
// wide characters, so any code page shows it; redirected, as UTF-8 bytes.
void Write(DWORD standardHandle, std::wstring_view text);

// Text as WriteFile must hand it to that handle for it to read as Write's.
std::string BytesFor(DWORD standardHandle, std::wstring_view text);

} // namespace hostwend::cli
