#pragma once

#include "platform/win32/UniqueHandle.h"

#include <string>

#include <sddl.h>

namespace hostwend {

// "S-1-5-32-544"; empty when there is no SID or it cannot be written out.
inline std::wstring SidText(PSID sid)
{
    wchar_t* text = nullptr;
    if (!sid || !ConvertSidToStringSidW(sid, &text))
        return {};
    const UniqueLocal owned(text);
    return text;
}

} // namespace hostwend
