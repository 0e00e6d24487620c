#pragma once

#include "platform/Registry.h"
#include "registry/ApplySteps.h"
#include "registry/ReadRegValue.h"

#include <array>

namespace hostwend {

// Each of the eight values as it is now, in step order.
using StepValues = std::array<RegValueRead, kApplyStepCount>;

// Reads the eight values with read access only: what show shows, what an
// apply is about to change, and what an undo compares with the record.
[[nodiscard]] StepValues ReadStepValues(Registry& registry);

} // namespace hostwend
