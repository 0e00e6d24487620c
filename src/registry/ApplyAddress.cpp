#include "registry/ApplyAddress.h"

#include "registry/ApplySteps.h"
#include "registry/UpdateRegValue.h"

#include <string>

namespace hostwend {

// Earlier writes are left in place after a failure: the operator is told which
// value failed, and applying again rewrites them all.
bool ApplyAddress(Platform& platform, std::wstring_view address, std::wstring_view port)
{
    for (const ApplyStep& step : ApplySteps()) {
        // Asked when the step is reached: the option button as it is set then.
        if (step.onlyForVsat && !platform.IsOptionSet(OptionButton::OptVsat))
            continue;
        if (UpdateRegValue(platform, kHkeyLocalMachine, step.keyPath, step.valueName, step.compose(address, port))
                .empty())
            continue;
        const std::wstring title = platform.MainWindowCaption();
        platform.MsgBox(step.prompt, kMbCritical, title);
        return false;
    }
    return true;
}

} // namespace hostwend
