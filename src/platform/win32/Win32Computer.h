#pragma once

#include "platform/Computer.h"

#include <functional>

#include <windows.h>

namespace hostwend {

// How the apply lock is waited for: WaitForSingleObject in a console; a window
// keeps answering its messages meanwhile.
using LockWait = std::function<DWORD(HANDLE object, DWORD milliseconds)>;

// Rights, the apply lock and console interruptions on Windows.
class Win32Computer final : public Computer {
public:
    explicit Win32Computer(LockWait wait = nullptr);

    bool IsElevated() override;
    ApplyLockResult LockApply(std::uint32_t waitMilliseconds) override;
    std::unique_ptr<InterruptionHold> HoldInterruptions() override;
    bool Is64BitWindows() override;
    std::wstring UtcTimeNow() override;

private:
    LockWait wait_;
};

} // namespace hostwend
