#pragma once

#include "platform/Platform.h"
#include "profile/ProfileState.h"

#include <windows.h>

namespace hostwend {

// The program ends when its last top-level window has closed, whichever it is.
class OpenWindows {
public:
    void Opened() { ++count_; }
    void Closed()
    {
        if (--count_ == 0)
            PostQuitMessage(0);
    }

private:
    int count_ = 0;
};

// What the windows share for the whole run.
struct AppContext {
    HINSTANCE instance;
    Platform& platform;
    ProfileState& Module1;
    OpenWindows& windows;
};

} // namespace hostwend
