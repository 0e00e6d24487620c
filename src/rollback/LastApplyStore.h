#pragma once

#include "platform/Registry.h"
#include "rollback/LastApply.h"

#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

// Stores the record, replacing the one before. 0 when it is whole on disk,
// else the Windows error (1338, ERROR_INVALID_SECURITY_DESCR, when the key
// is one that others could change): the apply must then not begin.
[[nodiscard]] RegStatus WriteLastApply(Registry& registry, const LastApply& record);

enum class UndoRecordState {
    None,        // no apply was ever recorded here
    Read,
    Untrusted,   // someone but SYSTEM and the Administrators could have written it
    Unreadable,  // not whole, or not in a form this program knows
    Denied,      // this account may not read it: it is for SYSTEM and the Administrators
};

struct UndoRecordRead {
    UndoRecordState state = UndoRecordState::None;
    std::optional<LastApply> lastApply;  // when Read
    std::wstring reason;              // when Untrusted, Unreadable or Denied
    RegStatus status = kErrorSuccess; // the Windows error behind an Unreadable or Denied, if any
};

[[nodiscard]] UndoRecordRead ReadLastApply(Registry& registry);

// Notes on the record that its apply made its last write.
[[nodiscard]] RegStatus MarkFinished(Registry& registry);

// Notes on the record that its apply was undone.
[[nodiscard]] RegStatus MarkUndone(Registry& registry, std::wstring_view when, std::wstring_view by);

} // namespace hostwend
