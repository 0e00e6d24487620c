#pragma once

#include <cstddef>
#include <string_view>

namespace hostwend {

// The words every room below the front ends shares: which program runs a
// command, which connection type, whether it writes, how it ended and the
// number it ends with.

// Which of the two programs runs an apply or an undo: both go in the event
// log, and an apply in the undo record.
enum class ApplyProgram { Window, Console };

// How the event log and the undo record name a program.
[[nodiscard]] constexpr std::wstring_view ProgramName(ApplyProgram program)
{
    return program == ApplyProgram::Window ? L"window" : L"console";
}

// The four connection types, in the order the window tests its option buttons.
enum class ConnectionKind { Lan, Vpn, Vsat, Others };

enum class ApplyMode {
    Write,      // an apply or an undo, from either program
    CheckOnly,  // the console's check: the same road without the writes, on past a failure
};

// How an apply or an undo ended.
enum class ApplyEnd { Applied, Stopped, Refused, Undone };

// The console program's exit code, which deployment tools see alone, and
// the end both programs put in the event log. Once released, a number never
// changes its meaning.
inline constexpr int kExitDone = 0;
inline constexpr int kExitInternalError = 1;  // never a code that means something else
inline constexpr int kExitProfileMissing = 2;
inline constexpr int kExitProfileValueRefused = 3;
inline constexpr int kExitApplyBusy = 4;
inline constexpr int kExitNotElevated = 5;
inline constexpr int kExitLockUnusable = 6;
inline constexpr int kExitServerUnreachable = 9;  // check --reach: the check passed, the server did not answer
inline constexpr int kExitNothingToUndo = 10;      // no apply in the undo record, or it was undone already
inline constexpr int kExitChangedSince = 11;       // undo: a value holds neither its data before nor the apply's
inline constexpr int kExitRecordUnusable = 12;     // the undo record cannot be trusted, read or stored
inline constexpr int kExitFirstStepFailed = 21;    // 21 to 28: step 1 to 8
inline constexpr int kExitUsage = 87;              // ERROR_INVALID_PARAMETER, as Windows tools use it

[[nodiscard]] constexpr int StepFailedExitCode(std::size_t stepNumber)
{
    return kExitFirstStepFailed - 1 + static_cast<int>(stepNumber);
}

} // namespace hostwend
