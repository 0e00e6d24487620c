#pragma once

#include "platform/Registry.h"
#include "registry/ApplySteps.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

enum class ApplyMode {
    Write,      // the window's Apply and the console's apply
    CheckOnly,  // the console's check: the same road without the writes, on past a failure
};

enum class StepState { Written, WouldBeWritten, Failed, NotForThisType, NotReached };

// How one of the eight values went.
struct StepRun {
    std::size_t number = 0;  // 1 to 8
    const ApplyStep* step = nullptr;
    std::wstring newValue;  // as composed from the address and port
    StepState state = StepState::NotReached;
    std::wstring updateResult;  // the updater's marker when it failed
    bool afterFailure = false;  // checked although an earlier step failed
    bool profileDataAtFault = false;  // failed for what the profile holds, not for the client
};

struct ApplyRun {
    std::array<StepRun, kApplyStepCount> steps;
    std::optional<std::size_t> failedStep;  // index into steps of the first failure
    std::optional<std::size_t> profileDataStep;  // index of the first failure that is the profile's

    [[nodiscard]] bool Succeeded() const { return !failedStep; }
};

// Carries the address and port through the eight values in their fixed order,
// each in the type it already has, and stops at the first that fails. Earlier
// writes are left in place: applying again rewrites them all. A check goes on
// past a failure, so that one round shows every problem. The VSAT-only step
// is decided by vsatStepWanted when that step is reached. Shows nothing: the
// caller tells the operator, once it holds no lock.
[[nodiscard]] ApplyRun ApplyAddress(Registry& registry, std::wstring_view address, std::wstring_view port,
                                    ApplyMode mode, const std::function<bool()>& vsatStepWanted);

} // namespace hostwend
