#pragma once

#include "platform/ProfileFiles.h"
#include "profile/ConnectionType.h"
#include "profile/ProfileState.h"
#include "registry/ReadStepValues.h"
#include "rollback/LastApplyStore.h"

#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

// Where the client's eight values point, as far as the profile can tell.
enum class PointsAt {
    NoClient,     // none of the eight values exists
    NoProfile,    // no profile file to compare with
    Mixed,        // two values carry different addresses
    NoType,       // one address, of none of the profile's types
    ProfileType,  // one address, the profile's address of a type
};

struct ClientPointing {
    PointsAt pointsAt = PointsAt::NoType;
    const ConnectionType* type = nullptr;  // with ProfileType
    // The address all six address-carrying values hold, each in its own form.
    std::optional<std::wstring> heldAddress;
};

// Addresses are written upper-cased; a client set by hand may hold lower case.
[[nodiscard]] bool SameAddress(std::wstring_view a, std::wstring_view b);

// Compares the values with each connection type's address in the profile
// (read through the shared buffer, refused values skipped).
[[nodiscard]] ClientPointing PointingOf(const StepValues& values, ProfileFiles& files, ProfileState& state,
                                        bool profileFound);

// What show shows: the eight values as they are, and where they point.
struct ClientView {
    bool profileFound = false;
    StepValues values;
    ClientPointing pointing;
    UndoRecordRead undoRecord;  // what undo would take back
};

// Reads only, with read access: no administrator rights needed.
[[nodiscard]] ClientView ShowClient(Registry& registry, ProfileFiles& files, ProfileState& state,
                                    const std::wstring& profilePath);

} // namespace hostwend
