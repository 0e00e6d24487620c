#pragma once

#include "platform/Platform.h"
#include "profile/ProfileState.h"

namespace hostwend {

// Click handler of CmdApply: confirm the chosen connection type, read its
// address and the broadcast port from HWD.ini and apply them.
void CmdApply_Click(const Platform& platform, ProfileState& state);

} // namespace hostwend
