#include "apply/ClientPointing.h"

#include "profile/ProfileValueCheck.h"
#include "profile/ReadProfileValue.h"

#include <algorithm>

namespace hostwend {
namespace {

wchar_t Upper(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// The address the values agree on, when every value that carries one holds it;
// Mixed when two of them carry different addresses.
ClientPointing HeldAddress(const StepValues& values)
{
    ClientPointing pointing;
    std::size_t carrying = 0;
    std::size_t agreeing = 0;
    std::optional<std::wstring> held;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const ApplyStep& step = ApplySteps()[i];
        if (!step.carriesAddress)
            continue;
        ++carrying;
        std::wstring carried;
        if (!values[i].now || !AddressCarried(step, values[i].now->data, carried))
            continue;
        if (held && !SameAddress(*held, carried)) {
            pointing.pointsAt = PointsAt::Mixed;
            return pointing;
        }
        held = carried;
        ++agreeing;
    }
    if (agreeing == carrying)
        pointing.heldAddress = held;
    return pointing;
}

} // namespace

bool SameAddress(std::wstring_view a, std::wstring_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return Upper(x) == Upper(y); });
}

ClientPointing PointingOf(const StepValues& values, ProfileFiles& files, ProfileState& state, bool profileFound)
{
    ClientPointing pointing = HeldAddress(values);
    // Not one of the eight: a computer without a client, which points nowhere
    // whatever the profile says, unlike a client pointed at another server.
    if (std::all_of(values.begin(), values.end(),
                    [](const RegValueRead& value) { return value.State() == ValueRead::Missing; })) {
        pointing.pointsAt = PointsAt::NoClient;
        return pointing;
    }
    if (!profileFound) {
        pointing.pointsAt = PointsAt::NoProfile;
        return pointing;
    }
    if (!pointing.heldAddress)
        return pointing;
    for (const ConnectionType& type : kConnectionTypes) {
        const ProfileValue address = ReadProfileEntry(files, state, type.addressKey);
        if (ProfileValueRefusal(type.addressKey, address.value, address.Length()).empty() &&
            SameAddress(address.value, *pointing.heldAddress)) {
            pointing.pointsAt = PointsAt::ProfileType;
            pointing.type = &type;
            return pointing;
        }
    }
    return pointing;
}

ClientView ShowClient(Registry& registry, ProfileFiles& files, ProfileState& state, const std::wstring& profilePath)
{
    ClientView view;
    view.profileFound = !files.FileTest(profilePath).name.empty();
    state.ProfilePath = profilePath;
    view.values = ReadStepValues(registry);
    view.pointing = PointingOf(view.values, files, state, view.profileFound);
    view.undoRecord = ReadLastApply(registry);
    return view;
}

} // namespace hostwend
