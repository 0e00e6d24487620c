#include "platform/ApplyLock.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace hostwend {
namespace {

// Kernel objects that answer each call from a script and log the calls made.
struct ScriptedObjects final : LockObjects {
    std::map<std::string, std::uint32_t> errors;  // call -> Windows error; absent: done
    bool existed = false;                         // the name was there before this apply
    MutexOwner owner{OwnerKind::Administrators, {}};
    WaitResult waitResult = WaitResult::Signalled;
    std::vector<std::string>& calls;

    explicit ScriptedObjects(std::vector<std::string>& log) : calls(log) {}
    std::uint32_t Call(const std::string& name)
    {
        calls.push_back(name);
        auto error = errors.find(name);
        return error == errors.end() ? 0 : error->second;
    }
    std::uint32_t CreateLockMutex(bool& found) override
    {
        const std::uint32_t error = Call("create mutex");
        found = error == 0 && existed;
        return error;
    }
    std::uint32_t OpenLockMutex() override { return Call("open mutex"); }
    std::uint32_t QueryOwner(MutexOwner& found) override
    {
        found = owner;
        return Call("owner");
    }
    WaitResult Wait(std::uint32_t milliseconds, std::uint32_t& error) override
    {
        calls.push_back("wait " + std::to_string(milliseconds));
        error = 6;
        return waitResult;
    }
    void Release() override { calls.push_back("release"); }
};

TEST(ApplyLock, ChecksWhoMadeAnExistingNameBeforeWaitingAndTellsBusyFromUnusable)
{
    using Calls = std::vector<std::string>;
    const Calls madeHere{"create mutex", "wait 500"};
    const Calls checked{"create mutex", "owner", "wait 500"};
    const Calls refused{"create mutex", "owner"};
    const MutexOwner administrators{OwnerKind::Administrators, {}};
    const struct {
        const char* name;
        std::map<std::string, std::uint32_t> errors;
        bool existed;
        MutexOwner owner;
        WaitResult waited;
        LockState state;
        Calls calls;
        std::wstring reason{};
    } cases[] = {
        {"made here", {}, false, administrators, WaitResult::Signalled, LockState::Acquired, madeHere},
        {"made by another apply", {}, true, administrators, WaitResult::Signalled, LockState::Acquired, checked},
        {"made by an apply running as SYSTEM", {}, true, {OwnerKind::System, {}}, WaitResult::Signalled,
         LockState::Acquired, checked},
        {"made by a standard user", {}, true, {OwnerKind::Account, L"CORP\\jdoe"}, WaitResult::Signalled,
         LockState::Unusable, refused,
         L"its mutex Global\\Hostwend.Apply was not made by a Hostwend (made by CORP\\jdoe)"},
        {"made by an account Windows cannot name", {}, true, {OwnerKind::Account, L"S-1-5-21-1-2-3-1001"},
         WaitResult::Signalled, LockState::Unusable, refused,
         L"its mutex Global\\Hostwend.Apply was not made by a Hostwend (made by S-1-5-21-1-2-3-1001)"},
        // Wine: a mutex made with default security has no owner at all.
        {"made with no owner", {}, true, {OwnerKind::None, {}}, WaitResult::Signalled, LockState::Unusable,
         refused, L"its mutex Global\\Hostwend.Apply was not made by a Hostwend (made with no owner)"},
        {"its owner cannot be read", {{"owner", 5}}, true, administrators, WaitResult::Signalled,
         LockState::Unusable, refused,
         L"the owner of its mutex Global\\Hostwend.Apply could not be read (Windows error 5)"},
        {"an event holds the name", {{"create mutex", 6}, {"open mutex", 6}}, true, administrators,
         WaitResult::Signalled, LockState::Unusable, {"create mutex", "open mutex"},
         L"its name Global\\Hostwend.Apply is held by an object of another kind, not made by a Hostwend "
         L"(Windows error 6)"},
        {"may not even open it", {{"create mutex", 5}, {"open mutex", 5}}, true, administrators,
         WaitResult::Signalled, LockState::Unusable, {"create mutex", "open mutex"},
         L"its mutex Global\\Hostwend.Apply may not be opened by an administrator, so it was not made by a "
         L"Hostwend (Windows error 5)"},
        // Its owner decides, not the rights it grants: an administrator could have set either.
        {"opened with fewer rights, made by Administrators", {{"create mutex", 5}}, true, administrators,
         WaitResult::Signalled, LockState::Acquired, {"create mutex", "open mutex", "owner", "wait 500"}},
        {"opened with fewer rights, made by a standard user", {{"create mutex", 5}}, true,
         {OwnerKind::Account, L"CORP\\jdoe"}, WaitResult::Signalled, LockState::Unusable,
         {"create mutex", "open mutex", "owner"},
         L"its mutex Global\\Hostwend.Apply was not made by a Hostwend (made by CORP\\jdoe)"},
        // Its security could not be built: never made without it.
        {"cannot be made", {{"create mutex", 1338}, {"open mutex", 2}}, false, administrators,
         WaitResult::Signalled, LockState::Unusable, {"create mutex", "open mutex"},
         L"its mutex could not be made (Windows error 1338)"},
        {"cannot be opened", {{"create mutex", 5}, {"open mutex", 8}}, true, administrators, WaitResult::Signalled,
         LockState::Unusable, {"create mutex", "open mutex"}, L"its mutex could not be opened (Windows error 8)"},
        {"abandoned", {}, true, administrators, WaitResult::Abandoned, LockState::Acquired, checked},
        {"busy", {}, true, administrators, WaitResult::TimedOut, LockState::Busy, checked},
        {"busy where this apply made it", {}, false, administrators, WaitResult::TimedOut, LockState::Busy,
         madeHere},
        {"wait failed", {}, true, administrators, WaitResult::Failed, LockState::Unusable, checked,
         L"waiting for it failed (Windows error 6)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Calls calls;
        auto objects = std::make_unique<ScriptedObjects>(calls);
        objects->errors = c.errors;
        objects->existed = c.existed;
        objects->owner = c.owner;
        objects->waitResult = c.waited;

        ApplyLockResult result = TakeApplyLock(std::move(objects), 500);

        EXPECT_EQ(result.state, c.state);
        EXPECT_EQ(result.held != nullptr, c.state == LockState::Acquired);
        EXPECT_EQ(result.reason, c.reason);
        result.held.reset();
        Calls expected = c.calls;
        if (c.state == LockState::Acquired)
            expected.push_back("release");  // once, when the holder lets go
        EXPECT_EQ(calls, expected);
    }
}

TEST(ApplyLock, OnlyAWaitThatRunsOutIsBusy)
{
    // Errors that read like time running out among them: ERROR_SEM_TIMEOUT,
    // WAIT_TIMEOUT, ERROR_TIMEOUT.
    const std::uint32_t errors[] = {2, 5, 6, 8, 87, 121, 258, 1338, 1460};
    // Making it fails and so does opening it, or reading its owner fails.
    for (const char* call : {"open mutex", "owner"}) {
        for (std::uint32_t error : errors) {
            SCOPED_TRACE(std::string(call) + " " + std::to_string(error));
            std::vector<std::string> calls;
            auto objects = std::make_unique<ScriptedObjects>(calls);
            objects->existed = true;
            objects->errors = {{call, error}};
            if (std::string(call) == "open mutex")
                objects->errors["create mutex"] = error;
            objects->waitResult = WaitResult::TimedOut;

            const ApplyLockResult result = TakeApplyLock(std::move(objects), 500);

            EXPECT_EQ(result.state, LockState::Unusable);
            EXPECT_EQ(calls.back().rfind("wait", 0), std::string::npos) << "waited on a mutex it could not check";
        }
    }
}

} // namespace
} // namespace hostwend
