#include "cli/StepErrors.h"

#include "registry/UpdateRegValue.h"

namespace hostwend::cli {
namespace {

// As regedit's address bar shows it, the view included.
std::wstring Setting(const StepOutcome& outcome)
{
    return L"step " + std::to_wstring(outcome.number) + L" " + std::wstring(outcome.step->valueName) + L" in " +
           outcome.regeditKey;
}

} // namespace

// Not the window's prompt: steps 4 to 6 share one, step 2's has a line break
// and step 3's a trailing blank. The value's own name tells them apart.
std::wstring StepFailure(const StepOutcome& outcome)
{
    return Setting(outcome) + L": " + std::wstring(DescribeUpdateResult(outcome.update));
}

std::wstring ProfileDataRefusal(const StepOutcome& outcome, std::wstring_view profileKey,
                                std::wstring_view profileName, std::wstring_view asWritten)
{
    const std::wstring source = std::wstring(profileKey) + L" in " + std::wstring(profileName);
    const std::wstring why = outcome.update == UpdateResult::OutsideCodePage
                                 ? L" holds text (REG_SZ), and " + source +
                                       L" has characters that this computer's code page cannot carry: "
                                 : L" holds a number (REG_DWORD), and " + source +
                                       L" is not a whole number it can hold: ";
    return Setting(outcome) + why + std::wstring(asWritten);
}

} // namespace hostwend::cli
