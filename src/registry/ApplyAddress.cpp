#include "registry/ApplyAddress.h"

#include "registry/UpdateRegValue.h"

namespace hostwend {

ApplyRun ApplyAddress(Registry& registry, std::wstring_view address, std::wstring_view port, ApplyMode mode,
                      const std::function<bool()>& vsatStepWanted)
{
    ApplyRun run;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const ApplyStep& step = ApplySteps()[i];
        StepRun& current = run.steps[i];
        current.number = i + 1;
        current.step = &step;
        current.newValue = step.compose(address, port);
        if (run.failedStep)
            continue;  // not reached
        if (step.onlyForVsat && !vsatStepWanted()) {
            current.state = StepState::NotForThisType;
            continue;
        }
        current.updateResult =
            mode == ApplyMode::Write
                ? UpdateRegValue(registry, kHkeyLocalMachine, step.keyPath, step.valueName, current.newValue)
                : CheckRegValue(registry, kHkeyLocalMachine, step.keyPath, step.valueName, current.newValue);
        if (current.updateResult.empty()) {
            current.state = mode == ApplyMode::Write ? StepState::Written : StepState::WouldBeWritten;
        } else {
            current.state = StepState::Failed;
            run.failedStep = i;
        }
    }
    return run;
}

} // namespace hostwend
