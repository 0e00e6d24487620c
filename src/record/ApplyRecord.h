#pragma once

#include "profile/ConnectionType.h"
#include "platform/EventLog.h"
#include "registry/ApplyAddress.h"
#include "registry/ReadStepValues.h"
#include "rollback/LastApply.h"
#include "rollback/UndoPlan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// The events an apply or an undo writes, one each, as the message table numbers them.
inline constexpr std::uint32_t kEventApplied = 1000;      // every value written
inline constexpr std::uint32_t kEventStopped = 1001;      // stopped part-way: some values may be written
inline constexpr std::uint32_t kEventRefused = 1002;      // refused before any write
inline constexpr std::uint32_t kEventUndone = 1003;       // an undo put every value back
inline constexpr std::uint32_t kEventUndoRefused = 1004;  // an undo refused before any write
inline constexpr std::uint32_t kEventUndoStopped = 1005;  // an undo stopped part-way

// What one apply did, as the program that ran it knows it once the apply lock
// is released. Views only: composing the record allocates, gathering it not.
struct ApplyAttempt {
    ApplyProgram program = ApplyProgram::Console;
    std::wstring_view connectionType;
    std::optional<std::wstring_view> address;  // unset: never read
    std::optional<std::wstring_view> port;
    std::wstring_view profilePath;
    ApplyEnd end = ApplyEnd::Refused;
    std::wstring_view outcome;  // what the program told its operator
    int exitCode = 0;           // the console program's exit code for it
    bool windows64 = true;      // where regedit shows the client's keys
    const StepValues* before = nullptr;  // set with run: the values as the walk found them
    const ApplyRun* run = nullptr;       // the walk, once it has begun
    const std::vector<std::wstring>* warnings = nullptr;  // the profile values' warnings, if any
};

struct ApplyEvent {
    EventType type = EventType::Information;
    std::uint32_t id = 0;
    std::vector<std::wstring> strings;  // %1, %2, ... of the event's sentence
};

// The event for an apply: its type, ID and inserted strings.
[[nodiscard]] ApplyEvent ComposeApplyEvent(std::wstring_view account, std::wstring_view computer,
                                           const ApplyAttempt& attempt);

// Composes and writes the event; returns the Windows error code, 0 when
// written. Never throws: the record never changes an apply's outcome.
[[nodiscard]] std::uint32_t RecordApply(EventLog& log, const ApplyAttempt& attempt) noexcept;

// What one undo did: the apply it took back, and each value's way back.
struct UndoAttempt {
    ApplyProgram program = ApplyProgram::Console;
    ApplyEnd end = ApplyEnd::Refused;  // Undone, Stopped or Refused
    std::wstring_view outcome;
    int exitCode = 0;
    bool windows64 = true;
    const LastApply* record = nullptr;  // the apply taken back, when there was one to read
    const UndoPlan* plan = nullptr;     // once made: each value now and what it gets back, or why not
    const PutBackRun* run = nullptr;    // the writes, once they began
};

// The event for an undo: the apply it took back in the place of the profile's
// values (the record's key for the profile file), each value before the
// undo and after it; for a refusal, each value now beside the record's.
[[nodiscard]] ApplyEvent ComposeUndoEvent(std::wstring_view account, std::wstring_view computer,
                                          const UndoAttempt& attempt);
[[nodiscard]] std::uint32_t RecordUndo(EventLog& log, const UndoAttempt& attempt) noexcept;

} // namespace hostwend
