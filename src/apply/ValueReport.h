#pragma once

#include "apply/RunApply.h"
#include "apply/RunUndo.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// How one of the eight values ended, for apply, check and undo alike.
enum class ValueEnd {
    Written,
    WouldBeWritten,
    Unchanged,  // already holds exactly the data it would get: not written
    Failed,
    NotForThisType,
    NotReached,
    PutBack,       // undo: its data from before the apply is back
    ChangedSince,  // undo: it holds neither its data before nor what the apply wrote
};

// One of the eight values as a command found it and, for every command but
// show, what became of it. The front ends turn it into words.
struct ValueReport {
    std::size_t index = 0;
    RegValueRead found;
    std::optional<ValueEnd> end;  // unset for show, which only reads
    // apply and check: the data it gets, as it is stored (or would be); for
    // a value not for this type, the data it keeps, if any.
    std::optional<std::wstring> newData;
    std::optional<RegData> dataBefore;   // undo: its data from before the apply; unset: it did not exist
    std::optional<RegData> dataApplied;  // undo: as the apply wrote it; unset: the apply wrote nothing there
    UpdateResult update = UpdateResult::Done;  // apply and check: why it failed
    PutBackStep putBack;                       // undo: why it failed
    bool afterFailure = false;                 // check: tested although an earlier step failed

    [[nodiscard]] std::size_t Number() const { return index + 1; }  // 1 to 8, as the exit codes count
    [[nodiscard]] const ApplyStep& Step() const { return ApplySteps()[index]; }
};
using ValueReports = std::vector<ValueReport>;

// A value of the profile this client cannot store, for the refusal's words.
struct ProfileMisfit {
    std::size_t index = 0;          // the setting that cannot hold it
    std::wstring_view profileKey;   // LanAddress, ..., BcastUDPPort
    std::wstring_view asWritten;    // the value as the file holds it
    UpdateResult why = UpdateResult::Done;
};

// show: each value as it is.
[[nodiscard]] ValueReports ReportValues(const StepValues& values);
// apply and check: each value once the walk began; none before.
[[nodiscard]] ValueReports ReportValues(const ApplyOutcome& outcome);
// undo and its check: each value once there was a plan; none before.
[[nodiscard]] ValueReports ReportValues(const UndoOutcome& outcome, ApplyMode mode);

// With Refusal::ProfileData: which setting, which profile key, which text.
[[nodiscard]] std::optional<ProfileMisfit> MisfitOf(const ApplyOutcome& outcome, const ConnectionType& type);

// The step an apply's or a check's error names: the misfit's, else the first failure.
[[nodiscard]] std::optional<std::size_t> NamedStep(const ApplyOutcome& outcome);

// The profile's address and port as applied: a refused value is no value
// (the read's one-blank default is not the file's).
[[nodiscard]] std::optional<std::wstring> AppliedAddress(const ApplyOutcome& outcome);
[[nodiscard]] std::optional<std::wstring> AppliedPort(const ApplyOutcome& outcome);

} // namespace hostwend
