#include "platform/ApplyLock.h"

#include "platform/DecimalText.h"

#include <utility>

namespace hostwend {
namespace {

class HeldLock final : public ApplyLock {
public:
    explicit HeldLock(std::unique_ptr<LockObjects> objects) : objects_(std::move(objects)) {}
    ~HeldLock() override { objects_->Release(); }

private:
    std::unique_ptr<LockObjects> objects_;
};

ApplyLockResult Unusable(std::wstring what) { return {LockState::Unusable, nullptr, std::move(what)}; }

ApplyLockResult Unusable(std::wstring what, std::uint32_t error)
{
    return Unusable(std::move(what) + L" (Windows error " + DecimalText(error) + L")");
}

// Why an existing name could not be opened as a mutex; created is why making
// it failed in the first place.
ApplyLockResult NotOpened(std::uint32_t created, std::uint32_t opened)
{
    switch (opened) {
    case kWin32InvalidHandle:
        return Unusable(L"its name Global\\Hostwend.Apply is held by an object of another kind, not made by a "
                        L"Hostwend",
                        opened);
    // A Hostwend's mutex is open to every administrator and to SYSTEM, and
    // only they apply.
    case kWin32AccessDenied:
        return Unusable(L"its mutex Global\\Hostwend.Apply may not be opened by an administrator, so it was not "
                        L"made by a Hostwend",
                        opened);
    // No such name after all: making it failed for its own reason.
    case kWin32FileNotFound:
        return Unusable(L"its mutex could not be made", created);
    default:
        return Unusable(L"its mutex could not be opened", opened);
    }
}

std::wstring MadeBy(const MutexOwner& owner)
{
    return owner.kind == OwnerKind::None ? L"made with no owner" : L"made by " + owner.account;
}

} // namespace

// A standard user can create Global\Hostwend.Apply before any Hostwend does,
// as a mutex they hold forever or as an object of another kind. Only an
// administrator or SYSTEM can make the Administrators group an object's
// owner, and a Hostwend always does, so an existing name is checked before
// it is waited on: anything else answers "unusable" at once, with who made
// it. Every failure other than a wait that ran out is "unusable", never
// "busy": the difference tells an administrator what to do.
//
// No private namespace: CreatePrivateNamespaceW's documentation says "The
// handle is also closed when the creating process terminates. After the
// namespace handle is closed, subsequent calls to OpenPrivateNamespace fail,
// but all operations on objects in the namespace succeed." Apply A makes the
// namespace, B opens it and waits, A ends: C finds no namespace, makes a second
// one with a second mutex, and writes while B does.
ApplyLockResult TakeApplyLock(std::unique_ptr<LockObjects> objects, std::uint32_t waitMilliseconds)
{
    bool existed = false;
    if (const std::uint32_t created = objects->CreateLockMutex(existed); created != 0) {
        existed = true;
        if (const std::uint32_t opened = objects->OpenLockMutex(); opened != 0)
            return NotOpened(created, opened);
    }
    if (existed) {
        MutexOwner owner;
        if (const std::uint32_t error = objects->QueryOwner(owner); error != 0)
            return Unusable(L"the owner of its mutex Global\\Hostwend.Apply could not be read", error);
        if (owner.kind != OwnerKind::Administrators && owner.kind != OwnerKind::System)
            return Unusable(L"its mutex Global\\Hostwend.Apply was not made by a Hostwend (" + MadeBy(owner) + L")");
    }

    std::uint32_t error = 0;
    switch (objects->Wait(waitMilliseconds, error)) {
    case WaitResult::Signalled:
    // Its holder ended part-way. Either turn goes by what the values hold now:
    // an apply rewrites every one, an undo checks each against the record.
    case WaitResult::Abandoned:
        return {LockState::Acquired, std::make_unique<HeldLock>(std::move(objects)), {}};
    case WaitResult::TimedOut:
        return {LockState::Busy, nullptr, {}};
    case WaitResult::Failed:
        break;
    }
    return Unusable(L"waiting for it failed", error);
}

} // namespace hostwend
