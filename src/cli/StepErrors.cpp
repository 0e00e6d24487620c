#include "cli/StepErrors.h"

#include "platform/DecimalText.h"
#include "registry/RegeditPath.h"
#include "registry/UpdateRegValue.h"

namespace hostwend::cli {
namespace {

// Why a put-back of undo failed.
std::wstring PutBackFault(const PutBackStep& done)
{
    std::wstring why;
    switch (done.fault) {
    case PutBackFault::KeyNotOpened:
        why = L"the key is missing or cannot be opened to query and set values";
        break;
    case PutBackFault::ValueNotRead:
        why = L"the value is missing or cannot be read";
        break;
    case PutBackFault::ChangedMeanwhile:
        why = L"the value changed while undo ran";
        break;
    case PutBackFault::NotWritten:
    case PutBackFault::None:
        why = L"the registry refused the write";
        break;
    }
    if (done.status != kErrorSuccess)
        why += L" (Windows error " + DecimalText(static_cast<std::uint32_t>(done.status)) + L")";
    return why;
}

std::wstring DataShown(const std::optional<RegData>& data)
{
    return data ? RegTypeName(data->type) + L" \"" + RegDataText(data->type, data->bytes) + L"\"" : L"missing";
}

} // namespace

// As regedit's address bar shows it, the view included.
std::wstring Setting(const ValueReport& value, bool windows64)
{
    return L"step " + std::to_wstring(value.Number()) + L" " + std::wstring(value.Step().valueName) + L" in " +
           RegeditKeyName(value.Step().keyPath, windows64);
}

// Not the window's prompt: steps 4 to 6 share one, step 2's has a line break
// and step 3's a trailing blank. The value's own name tells them apart.
std::wstring StepFailure(const ValueReport& value, bool windows64)
{
    const bool undo = value.putBack.state == PutBackState::Failed;
    return Setting(value, windows64) + L": " +
           (undo ? PutBackFault(value.putBack) : std::wstring(DescribeUpdateResult(value.update)));
}

std::wstring ProfileDataRefusal(const ProfileMisfit& misfit, std::wstring_view profileName, bool windows64)
{
    const std::wstring source = std::wstring(misfit.profileKey) + L" in " + std::wstring(profileName);
    const std::wstring why = misfit.why == UpdateResult::OutsideCodePage
                                 ? L" holds text (REG_SZ), and " + source +
                                       L" has characters that this computer's code page cannot carry: "
                                 : L" holds a number (REG_DWORD), and " + source +
                                       L" is not a whole number it can hold: ";
    ValueReport setting;
    setting.index = misfit.index;
    return Setting(setting, windows64) + why + std::wstring(misfit.asWritten);
}

std::wstring ChangedSinceLine(const ValueReport& value, bool windows64)
{
    const std::optional<RegData> now =
        value.found.now ? std::optional<RegData>(*value.found.now) : std::nullopt;
    return Setting(value, windows64) + L" changed since the apply: now " + DataShown(now) + L", before " +
           DataShown(value.dataBefore) + L", as the apply wrote it " + DataShown(value.dataApplied);
}

} // namespace hostwend::cli
