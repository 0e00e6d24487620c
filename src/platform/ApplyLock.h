#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace hostwend {

// How long an apply waits for another one on the same computer to finish.
inline constexpr std::uint32_t kApplyLockWaitMilliseconds = 30000;

// Held while one apply reads the profile and writes; released when destroyed.
class ApplyLock {
public:
    virtual ~ApplyLock() = default;
};

enum class LockOutcome {
    Acquired,
    Busy,      // another apply held it for the whole wait
    Unusable,  // anything else: nothing may be written without it
};

struct ApplyLockResult {
    LockOutcome outcome = LockOutcome::Unusable;
    std::unique_ptr<ApplyLock> held;  // set when Acquired
    std::wstring reason;              // when Unusable: what failed, with the Windows error code
};

// Where the lock's mutex lives.
enum class LockPlace {
    PrivateNamespace,  // bounded by the Administrators group: no standard user can make or hold it
    GlobalName,        // Global\Hostwend.Apply, where there are no private namespaces
};

enum class WaitResult { Signalled, Abandoned, TimedOut, Failed };

// The kernel objects the lock is made of, one call per system call, each
// returning the Windows error code (0 when done); what a call makes or opens
// stays inside until the object is destroyed. Apart from TakeApplyLock, so
// that its order and fallbacks are tested without Windows.
class LockObjects {
public:
    virtual ~LockObjects() = default;
    virtual std::uint32_t CreateBoundary() = 0;
    virtual std::uint32_t AddAdministratorsToBoundary() = 0;
    virtual std::uint32_t CreateNamespace() = 0;  // open to Administrators and SYSTEM only
    virtual std::uint32_t OpenNamespace() = 0;
    virtual std::uint32_t CreateLockMutex(LockPlace place) = 0;  // opens it when it exists
    virtual std::uint32_t OpenLockMutex(LockPlace place) = 0;    // for waiting on only
    virtual WaitResult Wait(std::uint32_t milliseconds, std::uint32_t& error) = 0;
    virtual void Release() = 0;
};

inline constexpr std::uint32_t kWin32AccessDenied = 5;
inline constexpr std::uint32_t kWin32InvalidHandle = 6;  // the name belongs to another kind of object
inline constexpr std::uint32_t kWin32NotSupported = 50;
inline constexpr std::uint32_t kWin32CallNotImplemented = 120;
inline constexpr std::uint32_t kWin32AlreadyExists = 183;

// Takes the apply lock in a private namespace, or by its global name where the
// system has none; waits up to waitMilliseconds for another apply.
[[nodiscard]] ApplyLockResult TakeApplyLock(std::unique_ptr<LockObjects> objects, std::uint32_t waitMilliseconds);

} // namespace hostwend
