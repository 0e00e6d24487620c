#pragma once

#include "cli/Commands.h"
#include "platform/EventLog.h"
#include "platform/Registry.h"

#include <cstdint>

namespace hostwend::cli {

// Writes an apply's event to the event log, once the apply lock is released;
// show and check change nothing and write none. Returns the Windows error code
// when the event could not be written, else 0. Changes nothing of the result.
[[nodiscard]] std::uint32_t RecordCommand(EventLog& log, Registry& registry, const CommandResult& result) noexcept;

} // namespace hostwend::cli
