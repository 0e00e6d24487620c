#include "rollback/UndoPlan.h"

#include "platform/OpenedKey.h"

#include <algorithm>

namespace hostwend {
namespace {

UndoAction ActionFor(const LastApplyStep& recorded, const RegValueRead& now)
{
    // Before first: an apply that wrote a value its own data changes nothing back.
    if (ValueHolds(now, recorded.before))
        return UndoAction::Unchanged;
    // A value that did not exist is never created, so it has no before to restore.
    if (recorded.before && recorded.written && ValueHolds(now, recorded.written))
        return UndoAction::Restore;
    return UndoAction::ChangedSince;
}

// Open, check that the value still holds what the apply wrote, write its
// before in its own type, close. The value must exist: a put-back never creates one.
PutBackStep PutBackOne(Registry& registry, const ApplyStep& step, const UndoStep& planned)
{
    RegKey handle{};
    if (const RegStatus status = registry.RegOpenKeyExW(kHkeyLocalMachine, step.keyPath,
                                                        kKeyQueryValue | kKeySetValue | kKeyWow64_32Key, handle);
        status != kErrorSuccess)
        return {PutBackState::Failed, PutBackFault::KeyNotOpened, status};
    const OpenedKey key(registry, handle);
    RegValueRead now{RegValueNow{}, kErrorSuccess};
    if (const RegStatus status = registry.RegQueryValueExW(key.Get(), step.valueName, now.now->type, now.now->bytes);
        status != kErrorSuccess)
        return {PutBackState::Failed, PutBackFault::ValueNotRead, status};
    if (!ValueHolds(now, planned.lastApply.written))
        return {PutBackState::Failed, PutBackFault::ChangedMeanwhile, kErrorSuccess};
    const RegData& before = *planned.lastApply.before;
    if (const RegStatus status = registry.RegSetValueExW(key.Get(), step.valueName, before.type, before.bytes);
        status != kErrorSuccess)
        return {PutBackState::Failed, PutBackFault::NotWritten, status};
    return {PutBackState::Written, PutBackFault::None, kErrorSuccess};
}

} // namespace

// Type and bytes, exactly: text in another case or a number's other width is another value.
bool ValueHolds(const RegValueRead& now, const std::optional<RegData>& data)
{
    if (!data)
        return now.State() == ValueRead::Missing;
    return now.State() == ValueRead::Read && now.now && now.now->type == data->type && now.now->bytes == data->bytes;
}

LastApplyStep RecordedStepFor(const RegValueRead& now, std::optional<RegData> toWrite, const LastApplyStep* unfinished)
{
    // A value that cannot be read is never written (the apply is refused);
    // what an earlier apply recorded of it stands.
    if (now.State() != ValueRead::Read && now.State() != ValueRead::Missing)
        return unfinished ? *unfinished : LastApplyStep{};
    const std::optional<RegData> held = now.now ? std::optional<RegData>(*now.now) : std::nullopt;
    LastApplyStep step;
    // A value changed by hand since the stopped apply (one mended so that
    // this apply can finish) keeps its data as it is now.
    step.before = unfinished && unfinished->written && ValueHolds(now, unfinished->written) ? unfinished->before : held;
    if (toWrite)
        step.written = std::move(toWrite);
    else if (step.before != held)
        step.written = held;
    return step;
}

UndoPlan PlanUndo(const LastApply& record, const StepValues& now)
{
    UndoPlan plan;
    for (std::size_t i = 0; i < kApplyStepCount; ++i)
        plan[i] = {ActionFor(record.steps[i], now[i]), record.steps[i], now[i]};
    return plan;
}

bool AnyChangedSince(const UndoPlan& plan)
{
    return std::any_of(plan.begin(), plan.end(),
                       [](const UndoStep& step) { return step.action == UndoAction::ChangedSince; });
}

PutBackWalk PutBack(Registry& registry, const UndoPlan& plan)
{
    PutBackWalk run{};
    if (AnyChangedSince(plan))
        return run;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        if (plan[i].action == UndoAction::Unchanged) {
            run[i].state = PutBackState::Unchanged;
            continue;
        }
        run[i] = PutBackOne(registry, ApplySteps()[i], plan[i]);
        if (run[i].state == PutBackState::Failed)
            break;
    }
    return run;
}

bool PutBackSucceeded(const PutBackWalk& run)
{
    return std::none_of(run.begin(), run.end(), [](const PutBackStep& step) {
        return step.state == PutBackState::Failed || step.state == PutBackState::NotReached;
    });
}

} // namespace hostwend
