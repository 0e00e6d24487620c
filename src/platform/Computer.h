#pragma once

#include "platform/ApplyLock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace hostwend {

// Held while an apply or undo writes: Ctrl+C, Ctrl+Break and closing the
// console wait until it is released, so that neither stops between two writes.
class InterruptionHold {
public:
    virtual ~InterruptionHold() = default;
};

// The computer an apply or undo runs on: its rights, the apply lock every
// Hostwend on it shares, and the console's interruptions.
class Computer {
public:
    virtual ~Computer() = default;

    // Whether administrator rights are in effect: elevated, or running as SYSTEM.
    virtual bool IsElevated() = 0;
    // The machine-wide apply lock, waited for up to waitMilliseconds.
    virtual ApplyLockResult LockApply(std::uint32_t waitMilliseconds) = 0;
    // Nothing to hold where there is no console.
    virtual std::unique_ptr<InterruptionHold> HoldInterruptions() = 0;
    // Whether Windows itself is 64-bit, whatever this program's own build.
    virtual bool Is64BitWindows() = 0;
    // The time now in UTC, ISO 8601 to the second: "2026-12-07T23:30:00Z".
    virtual std::wstring UtcTimeNow() = 0;
};

// Tries at once first, so that an apply or undo that has to wait says so
// (waiting is called) before it does, and never while it holds the lock; then
// waits up to kApplyLockWaitMilliseconds.
[[nodiscard]] inline ApplyLockResult AwaitApplyLock(Computer& computer, const std::function<void()>& waiting)
{
    ApplyLockResult lock = computer.LockApply(0);
    if (lock.state != LockState::Busy)
        return lock;
    if (waiting)
        waiting();
    return computer.LockApply(kApplyLockWaitMilliseconds);
}

} // namespace hostwend
