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

ApplyLockResult Unusable(std::wstring what, std::uint32_t error)
{
    return {LockOutcome::Unusable, nullptr, std::move(what) + L" (Windows error " + DecimalText(error) + L")"};
}

bool MeansNotSupported(std::uint32_t error)
{
    return error == kWin32NotSupported || error == kWin32CallNotImplemented;
}

} // namespace

// A standard user can create a global name first and hold it, or make it an
// object of another kind; a private namespace bounded by the Administrators
// group is out of their reach. Every failure other than a wait that ran out is
// "unusable", never "busy": the difference tells an administrator what to do.
ApplyLockResult TakeApplyLock(std::unique_ptr<LockObjects> objects, std::uint32_t waitMilliseconds)
{
    LockPlace place = LockPlace::PrivateNamespace;
    // Nothing further is called once one step fails: where namespaces are
    // missing, the next call may not even exist.
    if (objects->CreateBoundary() != 0 || objects->AddAdministratorsToBoundary() != 0) {
        place = LockPlace::GlobalName;
    } else if (const std::uint32_t created = objects->CreateNamespace(); created != 0) {
        if (MeansNotSupported(created)) {
            place = LockPlace::GlobalName;
        } else if (const std::uint32_t opened = objects->OpenNamespace(); opened != 0) {
            return Unusable(L"its private namespace could neither be made nor opened", opened);
        }
    }

    if (const std::uint32_t created = objects->CreateLockMutex(place); created != 0) {
        if (created != kWin32AccessDenied)
            return Unusable(created == kWin32InvalidHandle
                                ? L"its name is held by an object of another kind"
                                : L"its mutex could not be made",
                            created);
        // Made by another account, whose mutex this one may only wait on.
        if (const std::uint32_t opened = objects->OpenLockMutex(place); opened != 0)
            return Unusable(L"its mutex could not be opened", opened);
    }

    std::uint32_t error = 0;
    switch (objects->Wait(waitMilliseconds, error)) {
    case WaitResult::Signalled:
    // Its holder ended mid-apply; this apply rewrites every value anyway.
    case WaitResult::Abandoned:
        return {LockOutcome::Acquired, std::make_unique<HeldLock>(std::move(objects)), {}};
    case WaitResult::TimedOut:
        return {LockOutcome::Busy, nullptr, {}};
    case WaitResult::Failed:
        break;
    }
    return Unusable(L"waiting for it failed", error);
}

} // namespace hostwend
