#pragma once

#include "platform/Platform.h"
#include "profile/ProfileState.h"

namespace hostwend {

// Load handler of the main window: finds HWD.ini beside the program or ends it.
void Form_Load(Platform& platform, ProfileState& state);
void CmdClose_Click(Platform& platform);

} // namespace hostwend
