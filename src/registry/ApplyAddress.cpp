#include "registry/ApplyAddress.h"

#include <algorithm>

namespace hostwend {
namespace {

// The profile, not the client, is at fault when what it holds cannot be kept
// the way clients keep that value: the port as a number, any text in the code
// page. An address kept as a number is a client out of order, like a missing
// value.
bool ProfileDataAtFault(const ApplyStep& step, UpdateResult result)
{
    return result == UpdateResult::OutsideCodePage ||
           (result == UpdateResult::NotAWholeNumber && !step.carriesAddress);
}

bool HoldsAlready(Registry& registry, const RegValueRead& before, std::wstring_view newValue)
{
    if (!before.now)
        return false;
    const auto bytes = NewDataBytes(registry, before.now->type, newValue);
    return bytes && *bytes == before.now->bytes;
}

} // namespace

bool ApplyWalk::ChangesAnything() const
{
    return std::any_of(steps.begin(), steps.end(), [](const WalkStep& step) {
        return step.state == StepState::Written || step.state == StepState::WouldBeWritten;
    });
}

ApplyWalk ApplyAddress(Registry& registry, std::wstring_view address, std::wstring_view port, ApplyMode mode,
                      const std::function<bool()>& vsatStepWanted, const StepValues& before)
{
    ApplyWalk run;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const ApplyStep& step = ApplySteps()[i];
        WalkStep& current = run.steps[i];
        current.newValue = step.compose(address, port);
        const std::optional<RegValueNow>& now = before[i].now;
        // Not for this type whatever came before: no apply of it would touch it.
        if (step.onlyForVsat && !vsatStepWanted()) {
            current.state = StepState::NotForThisType;
            if (now)
                current.newData = now->data;
            continue;
        }
        current.newData = now ? NewDataAsStored(registry, now->type, current.newValue) : std::nullopt;
        if (!current.newData)
            current.newData = current.newValue;
        if (run.failedStep && mode == ApplyMode::Write)
            continue;  // not reached
        current.afterFailure = run.failedStep.has_value();
        if (HoldsAlready(registry, before[i], current.newValue)) {
            current.state = StepState::Unchanged;
            continue;
        }
        current.result =
            mode == ApplyMode::Write
                ? UpdateRegValue(registry, kHkeyLocalMachine, step.keyPath, step.valueName, current.newValue)
                : CheckRegValue(registry, kHkeyLocalMachine, step.keyPath, step.valueName, current.newValue);
        if (current.result == UpdateResult::Done) {
            current.state = mode == ApplyMode::Write ? StepState::Written : StepState::WouldBeWritten;
            continue;
        }
        current.state = StepState::Failed;
        // Shown as the profile holds it, not with the substitutes it would get.
        if (IsDataMisfit(current.result))
            current.newData = current.newValue;
        if (!run.failedStep)
            run.failedStep = i;
        if (ProfileDataAtFault(step, current.result) && !run.profileDataStep)
            run.profileDataStep = i;
    }
    return run;
}

} // namespace hostwend
