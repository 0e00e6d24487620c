#pragma once

#include "platform/Computer.h"
#include "platform/Desk.h"
#include "platform/EventLog.h"
#include "platform/ProfileFiles.h"
#include "platform/Registry.h"

namespace hostwend {

// Everything the window's commands need from the operating system, by role.
// The logic below them takes only the role it uses, so code that writes the
// registry cannot show a box, and the console program has no desk at all.
struct Platform {
    Registry& registry;
    ProfileFiles& files;
    Computer& computer;
    Desk& desk;
    EventLog& eventLog;
};

} // namespace hostwend
