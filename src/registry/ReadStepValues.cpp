#include "registry/ReadStepValues.h"

namespace hostwend {

StepValues ReadStepValues(Registry& registry)
{
    StepValues values;
    for (std::size_t i = 0; i < kApplyStepCount; ++i)
        values[i] = ReadRegValue(registry, ApplySteps()[i].keyPath, ApplySteps()[i].valueName);
    return values;
}

} // namespace hostwend
