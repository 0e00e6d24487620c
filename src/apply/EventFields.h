#pragma once

#include "eventlog/ApplicationEvent.h"
#include "registry/ApplyAddress.h"
#include "registry/ReadStepValues.h"
#include "rollback/UndoPlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hostwend {

// An apply's event, by how it ended: 1000, 1001 or 1002.
[[nodiscard]] std::uint32_t ApplyEventId(ApplyEnd end);

// The fields of an apply's event after its head. A refusal claims nothing
// about the values, none being written: the profile values' warnings
// (warnings unset when they were never drawn). Otherwise each value before
// and after, so that an investigator can see exactly what a partial apply
// left behind (before and run unset when a failure of its own stopped it
// before it could say how far it got).
[[nodiscard]] std::vector<EventField> ApplyEventFields(ApplyEnd end, const std::vector<std::wstring>* warnings,
                                                       const StepValues* before, const ApplyWalk* run, bool windows64);

// An undo's event, by how it ended: 1003, 1004 or 1005. An undo has events
// of its own: a search for applies never finds one.
[[nodiscard]] std::uint32_t UndoEventId(ApplyEnd end);

// The fields of an undo's event after its head: for a refusal, how each
// value stands, its data now, before the apply and as the apply wrote it;
// otherwise each value before and after the undo. plan unset: the values
// were never read; run unset: how far the writes got is not known.
[[nodiscard]] std::vector<EventField> UndoEventFields(ApplyEnd end, const UndoPlan* plan, const PutBackWalk* run,
                                                      bool windows64);

} // namespace hostwend
