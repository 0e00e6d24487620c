#include "registry/ApplyAddress.h"

#include "registry/UpdateRegValue.h"

namespace hostwend {
namespace {

// The profile, not the client, is at fault when what it holds cannot be kept
// the way clients keep that value: the port as a number, any text in the code
// page. An address kept as a number is a client out of order, like a missing
// value.
bool ProfileDataAtFault(const ApplyStep& step, std::wstring_view updateResult)
{
    switch (MisfitOf(updateResult)) {
    case DataMisfit::OutsideCodePage:
        return true;
    case DataMisfit::NotAWholeNumber:
        return !step.carriesAddress;
    case DataMisfit::None:
        break;
    }
    return false;
}

} // namespace

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
        if (run.failedStep && mode == ApplyMode::Write)
            continue;  // not reached
        if (step.onlyForVsat && !vsatStepWanted()) {
            current.state = StepState::NotForThisType;
            continue;
        }
        current.afterFailure = run.failedStep.has_value();
        current.updateResult =
            mode == ApplyMode::Write
                ? UpdateRegValue(registry, kHkeyLocalMachine, step.keyPath, step.valueName, current.newValue)
                : CheckRegValue(registry, kHkeyLocalMachine, step.keyPath, step.valueName, current.newValue);
        if (current.updateResult.empty()) {
            current.state = mode == ApplyMode::Write ? StepState::Written : StepState::WouldBeWritten;
            continue;
        }
        current.state = StepState::Failed;
        current.profileDataAtFault = ProfileDataAtFault(step, current.updateResult);
        if (!run.failedStep)
            run.failedStep = i;
        if (current.profileDataAtFault && !run.profileDataStep)
            run.profileDataStep = i;
    }
    return run;
}

} // namespace hostwend
