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
    WaitResult waitResult = WaitResult::Signalled;
    std::vector<std::string>& calls;

    explicit ScriptedObjects(std::vector<std::string>& log) : calls(log) {}
    std::uint32_t Call(const std::string& name)
    {
        calls.push_back(name);
        auto error = errors.find(name);
        return error == errors.end() ? 0 : error->second;
    }
    static std::string In(LockPlace place) { return place == LockPlace::PrivateNamespace ? " namespace" : " global"; }
    std::uint32_t CreateBoundary() override { return Call("boundary"); }
    std::uint32_t AddAdministratorsToBoundary() override { return Call("administrators"); }
    std::uint32_t CreateNamespace() override { return Call("create namespace"); }
    std::uint32_t OpenNamespace() override { return Call("open namespace"); }
    std::uint32_t CreateLockMutex(LockPlace place) override { return Call("create mutex" + In(place)); }
    std::uint32_t OpenLockMutex(LockPlace place) override { return Call("open mutex" + In(place)); }
    WaitResult Wait(std::uint32_t milliseconds, std::uint32_t& error) override
    {
        calls.push_back("wait " + std::to_string(milliseconds));
        error = 6;
        return waitResult;
    }
    void Release() override { calls.push_back("release"); }
};

TEST(ApplyLock, TakesANamespacedLockFallsBackWhereThereIsNoneAndTellsBusyFromUnusable)
{
    using Calls = std::vector<std::string>;
    const Calls namespaced{"boundary", "administrators", "create namespace", "create mutex namespace", "wait 500"};
    const struct {
        const char* name;
        std::map<std::string, std::uint32_t> errors;
        WaitResult waited;
        LockOutcome outcome;
        Calls calls;
        std::wstring reason{};
    } cases[] = {
        {"namespace", {}, WaitResult::Signalled, LockOutcome::Acquired, namespaced},
        {"made by another apply", {{"create namespace", 183}}, WaitResult::Signalled, LockOutcome::Acquired,
         {"boundary", "administrators", "create namespace", "open namespace", "create mutex namespace", "wait 500"}},
        // Wine: nothing is called after the boundary fails; the next call may end the process.
        {"no boundary", {{"boundary", 120}}, WaitResult::Signalled, LockOutcome::Acquired,
         {"boundary", "create mutex global", "wait 500"}},
        {"no SID in it", {{"administrators", 120}}, WaitResult::Signalled, LockOutcome::Acquired,
         {"boundary", "administrators", "create mutex global", "wait 500"}},
        {"no namespaces", {{"create namespace", 50}}, WaitResult::Signalled, LockOutcome::Acquired,
         {"boundary", "administrators", "create namespace", "create mutex global", "wait 500"}},
        {"namespace neither made nor opened", {{"create namespace", 183}, {"open namespace", 5}},
         WaitResult::Signalled, LockOutcome::Unusable,
         {"boundary", "administrators", "create namespace", "open namespace"},
         L"its private namespace could neither be made nor opened (Windows error 5)"},
        {"an event holds the name", {{"boundary", 120}, {"create mutex global", 6}}, WaitResult::Signalled,
         LockOutcome::Unusable, {"boundary", "create mutex global"},
         L"its name is held by an object of another kind (Windows error 6)"},
        {"another account's mutex", {{"create mutex namespace", 5}}, WaitResult::Signalled, LockOutcome::Acquired,
         {"boundary", "administrators", "create namespace", "create mutex namespace", "open mutex namespace",
          "wait 500"}},
        {"may not even open it", {{"create mutex namespace", 5}, {"open mutex namespace", 5}}, WaitResult::Signalled,
         LockOutcome::Unusable,
         {"boundary", "administrators", "create namespace", "create mutex namespace", "open mutex namespace"},
         L"its mutex could not be opened (Windows error 5)"},
        {"abandoned", {}, WaitResult::Abandoned, LockOutcome::Acquired, namespaced},
        {"busy", {}, WaitResult::TimedOut, LockOutcome::Busy, namespaced},
        {"wait failed", {}, WaitResult::Failed, LockOutcome::Unusable, namespaced,
         L"waiting for it failed (Windows error 6)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Calls calls;
        auto objects = std::make_unique<ScriptedObjects>(calls);
        objects->errors = c.errors;
        objects->waitResult = c.waited;

        ApplyLockResult result = TakeApplyLock(std::move(objects), 500);

        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.held != nullptr, c.outcome == LockOutcome::Acquired);
        EXPECT_EQ(result.reason, c.reason);
        result.held.reset();
        Calls expected = c.calls;
        if (c.outcome == LockOutcome::Acquired)
            expected.push_back("release");  // once, when the holder lets go
        EXPECT_EQ(calls, expected);
    }
}

} // namespace
} // namespace hostwend
