#pragma once

#include "profile/ConnectionType.h"
#include "registry/ApplySteps.h"
#include "registry/ReadRegValue.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// Below HKEY_LOCAL_MACHINE, in the 64-bit view: one record per computer,
// whichever build wrote it.
inline constexpr std::wstring_view kLastApplyKey = L"SOFTWARE\\Wendlebrook\\Hostwend\\LastApply";

struct LastApplyStep {
    std::optional<RegData> before;   // empty: the value did not exist
    std::optional<RegData> written;  // empty: the apply does not write it (not for this type, or refused)
    bool operator==(const LastApplyStep&) const = default;
};

struct UndoMark {
    std::wstring when;  // UTC, ISO 8601
    std::wstring by;    // the account
    bool operator==(const UndoMark&) const = default;
};

// What an apply is about to change, stored before its first write.
struct LastApply {
    std::wstring time;  // UTC, ISO 8601: 2026-12-07T23:30:00Z
    ApplyProgram program = ApplyProgram::Console;
    std::wstring account;
    ConnectionKind connection = ConnectionKind::Lan;
    std::wstring address;
    std::wstring port;
    std::array<LastApplyStep, kApplyStepCount> steps{};  // in step order
    // False from before the apply's first write until after its last: an
    // apply that stopped part-way (a failure, a kill, a power cut) leaves its
    // record unfinished, and the applies that complete it are folded into it.
    bool finished = true;
    std::optional<UndoMark> undone;
    bool operator==(const LastApply&) const = default;
};

} // namespace hostwend
