#pragma once

#include "platform/Win32Errors.h"

#include <cstdint>
#include <memory>
#include <string>

namespace hostwend {

// How long an apply or undo waits for another on the same computer to finish.
inline constexpr std::uint32_t kApplyLockWaitMilliseconds = 30000;

// Held while one apply or undo reads the client's values and writes them (the
// profile is read before it is taken); released when destroyed.
class ApplyLock {
public:
    virtual ~ApplyLock() = default;
};

enum class LockState {
    Acquired,
    Busy,      // another apply or undo held it for the whole wait
    Unusable,  // anything else: nothing may be written without it
};

struct ApplyLockResult {
    LockState state = LockState::Unusable;
    std::unique_ptr<ApplyLock> held;  // set when Acquired
    std::wstring reason;              // when Unusable: what failed, with the Windows error code or the owner
};

enum class WaitResult { Signalled, Abandoned, TimedOut, Failed };

// Who owns a mutex that already had the lock's name.
enum class OwnerKind { Administrators, System, Account, None };

struct MutexOwner {
    OwnerKind kind = OwnerKind::None;
    std::wstring account;  // for Account: "DOMAIN\name", or the SID's text where Windows cannot name it
};

// The kernel objects the lock is made of, one call per system call, each
// returning the Windows error code (0 when done); what a call makes or opens
// stays inside until the object is destroyed. Apart from TakeApplyLock, so
// that its decisions are tested without Windows.
class LockObjects {
public:
    virtual ~LockObjects() = default;
    // Makes the mutex, owned by the Administrators group and open to them and
    // SYSTEM only; where the name exists, opens that object and says so.
    virtual std::uint32_t CreateLockMutex(bool& existed) = 0;
    // Opens an existing one with the rights to read its owner and wait on it.
    virtual std::uint32_t OpenLockMutex() = 0;
    virtual std::uint32_t QueryOwner(MutexOwner& owner) = 0;
    virtual WaitResult Wait(std::uint32_t milliseconds, std::uint32_t& error) = 0;
    virtual void Release() = 0;
};

// Takes the apply lock, the mutex Global\Hostwend.Apply; waits up to
// waitMilliseconds for another apply or undo, once the mutex has proved to be a Hostwend's.
[[nodiscard]] ApplyLockResult TakeApplyLock(std::unique_ptr<LockObjects> objects, std::uint32_t waitMilliseconds);

} // namespace hostwend
