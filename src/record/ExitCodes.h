#pragma once

#include <cstddef>
#include <string_view>

namespace hostwend {

// How an apply ends, by number: the console program's exit code, which
// deployment tools see alone, and the outcome both programs put on record.
// Once released, a number never changes its meaning.
inline constexpr int kExitDone = 0;
inline constexpr int kExitInternalError = 1;  // never a code that means something else
inline constexpr int kExitProfileMissing = 2;
inline constexpr int kExitProfileValueRefused = 3;
inline constexpr int kExitApplyBusy = 4;
inline constexpr int kExitNotElevated = 5;
inline constexpr int kExitLockUnusable = 6;
inline constexpr int kExitServerUnreachable = 9;  // check --reach: the check passed, the server did not answer
inline constexpr int kExitNothingToUndo = 10;      // no record of an apply, or it was undone already
inline constexpr int kExitChangedSince = 11;       // undo: a value holds neither its data before nor the apply's
inline constexpr int kExitRecordUnusable = 12;     // the record of the last apply cannot be trusted, read or stored
inline constexpr int kExitFirstStepFailed = 21;  // 21 to 28: step 1 to 8
inline constexpr int kExitUsage = 87;            // ERROR_INVALID_PARAMETER, as Windows tools use it

inline constexpr int StepFailedExitCode(std::size_t stepNumber)
{
    return kExitFirstStepFailed - 1 + static_cast<int>(stepNumber);
}

} // namespace hostwend
