#pragma once

#include "platform/Desk.h"
#include "platform/ProfileFiles.h"
#include "profile/ProfileState.h"

namespace hostwend {

// Load handler of the main window: finds HWD.ini beside the program or ends it.
void Form_Load(ProfileFiles& files, Desk& desk, ProfileState& state);
void CmdClose_Click(Desk& desk);

} // namespace hostwend
