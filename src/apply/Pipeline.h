#pragma once

#include "platform/Computer.h"
#include "platform/EventLog.h"
#include "platform/ProfileFiles.h"
#include "platform/Registry.h"
#include "terms/Terms.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

// The roles an apply or an undo reaches the computer through.
struct ApplyRoles {
    Registry& registry;
    ProfileFiles& files;
    Computer& computer;
    EventLog& eventLog;
};

// Why an apply, an undo or their check wrote nothing; the front ends have the words.
enum class Refusal {
    None,
    NotElevated,           // the console program without administrator rights
    ProfileMissing,        // apply: no profile file at the path
    ProfileUnreadable,     // apply: the file test failed otherwise: Windows' error in profile
    ProfileValue,          // apply: a value missing, blank or too long
    ProfileData,           // apply: a value this client cannot store: the run's profileDataStep names the step
    Warnings,              // apply --strict, and a value drew a warning
    LockBusy,              // another apply or undo held the lock for the whole wait
    LockUnusable,          // the lock cannot be used: lockReason says why
    UndoRecordUnwritable,  // apply: the undo record could not be stored: undoRecordStatus says why
    BeforeUnreadable,      // apply: a value it would write cannot be read, so undo could not put it back
    NothingToUndo,         // undo: no last apply, it was undone already, or every value is back already
    UndoRecordUnusable,    // undo: others could have written the undo record, or it cannot be read whole
    ChangedSince,          // undo: a value holds neither its data before nor the apply's
};

// How an apply or an undo ended, decided once by the pipeline: the end and
// the exit code follow from the refusal, an unexpected failure, or the step
// the writes stopped at.
struct CommandEnd {
    ApplyEnd end = ApplyEnd::Refused;
    int exitCode = 0;
    Refusal refusal = Refusal::None;
    bool internalError = false;   // an exception ended it; values may be written
    std::wstring lockReason;      // with LockUnusable
    FoundFile profile;            // the console's file test of the profile path
    std::uint32_t eventError = 0; // the event log's refusal of the event, 0 when written or none due

    [[nodiscard]] bool Refused() const { return refusal != Refusal::None; }
};

// What one command asks of the pipeline beside its body.
struct PipelineRequest {
    ApplyProgram program = ApplyProgram::Console;
    ApplyMode mode = ApplyMode::Write;
    std::wstring_view profilePath;  // the console tests it first, so a report of the rights says whether it is there
    std::function<void()> waiting;  // once, before waiting for another apply or undo
};

// What apply and undo each do within the pipeline: what they read, plan and
// write, and their event.
class CommandBody {
public:
    virtual ~CommandBody() = default;
    // Before the turn, once the rights are known: what may be refused
    // without holding the lock. False when refused.
    virtual bool Prepare(CommandEnd& how) = 0;
    // Under the turn; a check runs it without one and writes nothing.
    virtual void Run(CommandEnd& how) = 0;
    // After an unexpected failure, how far the writes got is not known.
    virtual void ForgetWrites() = 0;
    // The number (1 to 8) of the step the writes stopped at, if they did.
    [[nodiscard]] virtual std::optional<std::size_t> StoppedAt() const = 0;
    // How it ends when nothing stopped it: Applied or Undone.
    [[nodiscard]] virtual ApplyEnd WholeEnd() const = 0;
    // Writes its event once it has ended, the lock released, if it has one:
    // the event log's refusal, 0 when written or none is due.
    [[nodiscard]] virtual std::uint32_t WriteEvent(const CommandEnd& how) = 0;
};

// Rights, the body's preparation, the turn, the body, the catch of an
// unexpected failure, the end and exit code, the event: the steps apply and
// undo share. Never throws.
void RunPipeline(const ApplyRoles& roles, const PipelineRequest& request, CommandBody& body, CommandEnd& how) noexcept;

} // namespace hostwend
