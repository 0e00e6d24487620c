#pragma once

#include "platform/Registry.h"
#include "registry/ApplySteps.h"
#include "registry/ReadStepValues.h"
#include "registry/UpdateRegValue.h"
#include "terms/Terms.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

enum class StepState {
    Written,
    WouldBeWritten,
    Unchanged,  // already holds exactly its new data: not written
    Failed,
    NotForThisType,
    NotReached,
};

// How one of the eight values went.
// How one of the eight values went; which one, and its number, follow from
// its index in the walk.
struct WalkStep {
    std::wstring newValue;  // as composed from the address and port
    // What the value shows once written: newValue as its type stores it (a
    // port of " 8888 " is the number 8888), as composed where it cannot be
    // stored; for a step not for this type, the data it keeps, if any.
    std::optional<std::wstring> newData;
    StepState state = StepState::NotReached;
    UpdateResult result = UpdateResult::Done;  // why it failed
    bool afterFailure = false;  // checked although an earlier step failed
};

struct ApplyWalk {
    std::array<WalkStep, kApplyStepCount> steps;
    std::optional<std::size_t> failedStep;  // index into steps of the first failure
    // Index of the first failure that is the profile's, not the client's:
    // what it holds cannot be kept the way every client keeps that value.
    std::optional<std::size_t> profileDataStep;

    [[nodiscard]] bool Succeeded() const { return !failedStep; }
    // Whether any value was (or would be) written.
    [[nodiscard]] bool ChangesAnything() const;
    // Whether the checked walk writes this step once its writes begin: a
    // step after the first failure, though it would be written, is not reached.
    [[nodiscard]] bool Writes(std::size_t step) const
    {
        return steps[step].state == StepState::WouldBeWritten && step < failedStep.value_or(kApplyStepCount);
    }
};

// Carries the address and port through the eight values in their fixed order,
// each in the type it already has, and stops at the first that fails. Earlier
// writes are left in place: applying again rewrites them all. A check goes on
// past a failure, so that one round shows every problem. A value that before
// shows holding exactly its new data is left alone. The VSAT-only step is
// decided by vsatStepWanted when that step is reached. Shows nothing: the
// caller tells the operator, once it holds no lock.
[[nodiscard]] ApplyWalk ApplyAddress(Registry& registry, std::wstring_view address, std::wstring_view port,
                                    ApplyMode mode, const std::function<bool()>& vsatStepWanted,
                                    const StepValues& before);

} // namespace hostwend
