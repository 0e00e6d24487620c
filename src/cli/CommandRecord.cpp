#include "cli/CommandRecord.h"

#include "record/ExitCodes.h"
#include "record/ApplyRecord.h"

namespace hostwend::cli {

std::uint32_t RecordCommand(EventLog& log, Registry& registry, const CommandResult& result) noexcept
{
    if (result.command != CommandName::Apply)
        return 0;
    ApplyAttempt attempt;
    attempt.program = ApplyProgram::Console;
    if (result.type)
        attempt.connectionType = result.type->name;
    attempt.address = result.addressRead;
    attempt.port = result.portRead;
    attempt.profilePath = result.profilePath;
    attempt.exitCode = result.exitCode;
    if (result.exitCode == kExitDone) {
        attempt.end = ApplyEnd::Applied;
        attempt.outcome = result.report;
    } else {
        // An internal error may have come half-way through the writes.
        attempt.end = result.run || result.exitCode == kExitInternalError ? ApplyEnd::Stopped : ApplyEnd::Refused;
        attempt.outcome = result.error;
    }
    if (result.run) {
        attempt.before = &result.before;
        attempt.run = &*result.run;
    }
    return RecordApply(log, registry, attempt);
}

} // namespace hostwend::cli
