#pragma once

#include "platform/EventLog.h"
#include "terms/Terms.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// The events an apply or an undo writes to the Application log, one each, as
// the message table numbers them.
inline constexpr std::uint32_t kEventApplied = 1000;      // every value written
inline constexpr std::uint32_t kEventStopped = 1001;      // stopped part-way: some values may be written
inline constexpr std::uint32_t kEventRefused = 1002;      // refused before any write
inline constexpr std::uint32_t kEventUndone = 1003;       // an undo put every value back
inline constexpr std::uint32_t kEventUndoRefused = 1004;  // an undo refused before any write
inline constexpr std::uint32_t kEventUndoStopped = 1005;  // an undo stopped part-way

// How a field's backslashes are written. Data (a value of the client or the
// profile) must read back exactly, so a backslash that would read as the
// start of an escape (followed by r, n, x or u) is written \x5C; a name or a
// path keeps its backslashes as Explorer and regedit show them ("CORP\nadia",
// "C:\Users"), since Windows allows no control character in account,
// computer or file names, and a sentence for people has its values in fields
// of their own. Everything else is escaped alike in both: a name is data too.
enum class FieldKind { Data, Name };

// One of the fields that follow the head, in the sentence's order.
struct EventField {
    std::wstring text;
    FieldKind kind = FieldKind::Data;
};

// The ten fields every event begins with: who ran what, where, what was
// asked and how it ended. Views only: composing the event allocates,
// gathering it not.
struct EventHead {
    ApplyProgram program = ApplyProgram::Console;
    std::wstring_view connectionType;          // empty: not read
    std::optional<std::wstring_view> address;  // unset: never read
    std::optional<std::wstring_view> port;
    std::wstring_view place;  // the profile file, or the undo record's key
    std::wstring_view told;   // what the program told its operator
    int exitCode = 0;         // the console program's exit code for it
};

struct ApplicationEvent {
    EventType type = EventType::Information;
    std::uint32_t id = 0;
    std::vector<std::wstring> strings;  // %1, %2, ... of the event's sentence
};

// The event's type (from its ID), ID and inserted strings: the head, then the
// fields, each written so that it holds data only.
[[nodiscard]] ApplicationEvent ComposeEvent(std::uint32_t id, std::wstring_view account, std::wstring_view computer,
                                            const EventHead& head, const std::vector<EventField>& fields);

// Composes and writes the event; returns the Windows error code, 0 when
// written. Never throws: the event never changes how a command ended.
[[nodiscard]] std::uint32_t WriteEvent(EventLog& log, std::uint32_t id, const EventHead& head,
                                       const std::vector<EventField>& fields) noexcept;

} // namespace hostwend
