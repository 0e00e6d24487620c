#include "apply/RunApply.h"

#include "terms/Terms.h"
#include "rollback/LastApplyStore.h"
#include "rollback/UndoPlan.h"
#include "apply/EventFields.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace hostwend {
namespace {

// Everything refused before the lock: the file, its two values.
bool ReadProfile(const ApplyRoles& roles, ProfileState& state, const ApplyRequest& request, ApplyOutcome& outcome)
{
    if (request.program == ApplyProgram::Console && outcome.profile.name.empty()) {
        const bool missing = outcome.profile.error == 0 || outcome.profile.error == kWin32FileNotFound ||
                             outcome.profile.error == kWin32PathNotFound;
        outcome.refusal = missing ? Refusal::ProfileMissing : Refusal::ProfileUnreadable;
        return false;
    }
    state.ProfilePath = request.profilePath;
    ApplyValues values = ReadApplyValues(roles.files, state, request.type->addressKey, request.profileName);
    outcome.address = std::move(values.address);
    outcome.port = std::move(values.port);
    outcome.warnings = std::move(values.warnings);
    if (!values.refusal.empty()) {
        outcome.refusal = Refusal::ProfileValue;
        outcome.valueRefusal = std::move(values.refusal);
        return false;
    }
    if (request.strict && !outcome.warnings.empty()) {
        outcome.refusal = Refusal::Warnings;
        return false;
    }
    return true;
}

// Each value as it is and as the checked walk is about to write it, in the
// bytes a read returns, with who applies what. An earlier apply that stopped
// part-way and was not undone is folded in: undo takes the two back as one.
LastApply RecordOf(const ApplyRoles& roles, const ApplyRequest& request, const std::wstring& address,
                   const std::wstring& port, const StepValues& before, const ApplyWalk& check,
                   const LastApply* unfinished)
{
    LastApply record;
    record.time = roles.computer.UtcTimeNow();
    record.program = request.program;
    record.account = roles.eventLog.AccountName();
    record.connection = request.type->kind;
    record.address = address;
    record.port = port;
    record.finished = false;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        const std::optional<RegValueNow>& now = before[i].now;
        std::optional<RegData> toWrite;
        if (now && check.Writes(i))
            if (auto bytes = NewDataBytes(roles.registry, now->type, check.steps[i].newValue))
                toWrite = RegData{now->type, std::move(*bytes)};
        record.steps[i] = RecordedStepFor(before[i], std::move(toWrite), unfinished ? &unfinished->steps[i] : nullptr);
    }
    return record;
}

// Under the lock (for an apply): the values before, every step checked, then
// the writes. What the profile holds and this client cannot store fails on
// every such client, and is refused whole rather than found half-way.
void Walk(const ApplyRoles& roles, const ApplyRequest& request, ApplyOutcome& outcome)
{
    const bool vsat = request.type->kind == ConnectionKind::Vsat;
    const std::function<bool()> vsatWanted =
        request.vsatStepWanted ? request.vsatStepWanted : std::function<bool()>([vsat] { return vsat; });
    const std::wstring& address = outcome.address->value;
    const std::wstring& port = outcome.port->value;
    outcome.before = ReadStepValues(roles.registry);
    ApplyWalk& walk = outcome.walk.emplace(
        ApplyAddress(roles.registry, address, port, ApplyMode::CheckOnly, vsatWanted, outcome.before));
    if (walk.profileDataStep) {
        outcome.refusal = Refusal::ProfileData;
        return;
    }
    // A value written without its data before could never be put back.
    bool writes = false;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        if (!walk.Writes(i))
            continue;
        writes = true;
        if (outcome.before[i].State() != ValueRead::Read) {
            outcome.refusal = Refusal::BeforeUnreadable;
            outcome.unreadableStep = i;
            return;
        }
    }
    if (request.mode != ApplyMode::Write)
        return;
    // What undo needs, stored before the first write and marked finished
    // after the last. An apply that changes nothing leaves the record of the
    // last real change as it is, unless that one is still unfinished.
    const UndoRecordRead last = ReadLastApply(roles.registry);
    const LastApply* previous = last.lastApply ? &*last.lastApply : nullptr;
    const LastApply* unfinished = previous && !previous->finished && !previous->undone ? previous : nullptr;
    const bool recorded = writes || unfinished;
    if (recorded) {
        outcome.undoRecordStatus =
            WriteLastApply(roles.registry, RecordOf(roles, request, address, port, outcome.before, walk, unfinished));
        if (outcome.undoRecordStatus != kErrorSuccess) {
            outcome.refusal = Refusal::UndoRecordUnwritable;
            return;
        }
    }
    walk = ApplyAddress(roles.registry, address, port, ApplyMode::Write, vsatWanted, outcome.before);
    if (!recorded)
        return;
    if (!walk.failedStep) {
        outcome.undoRecordUpdateStatus = MarkFinished(roles.registry);
    } else if (previous && std::none_of(walk.steps.begin(), walk.steps.end(),
                                        [](const WalkStep& step) { return step.state == StepState::Written; })) {
        // Stopped at its first write, it changed nothing: the last real
        // change stays the one undo takes back.
        outcome.undoRecordUpdateStatus = WriteLastApply(roles.registry, *previous);
    }
}

// The apply's body in the pipeline: the profile before the turn, the walk
// under it, the event after.
class ApplyBody final : public CommandBody {
public:
    ApplyBody(const ApplyRoles& roles, ProfileState& state, const ApplyRequest& request, ApplyOutcome& outcome)
        : roles_(roles), state_(state), request_(request), outcome_(outcome)
    {
    }
    bool Prepare(CommandEnd&) override { return ReadProfile(roles_, state_, request_, outcome_); }
    void Run(CommandEnd&) override { Walk(roles_, request_, outcome_); }
    // How far it got is not known: the event must not guess.
    void ForgetWrites() override { outcome_.walk.reset(); }
    std::optional<std::size_t> StoppedAt() const override
    {
        if (outcome_.walk && outcome_.walk->failedStep)
            return *outcome_.walk->failedStep + 1;
        return std::nullopt;
    }
    ApplyEnd WholeEnd() const override { return ApplyEnd::Applied; }
    std::uint32_t WriteEvent(const CommandEnd&) override;

private:
    const ApplyRoles& roles_;
    ProfileState& state_;
    const ApplyRequest& request_;
    ApplyOutcome& outcome_;
};

// An apply that found every value as it would leave it writes no event.
std::uint32_t ApplyBody::WriteEvent(const CommandEnd&)
{
    if (outcome_.end == ApplyEnd::Applied && !outcome_.ChangesAnything())
        return 0;
    const std::wstring told = request_.told ? request_.told(outcome_) : std::wstring();
    EventHead head{request_.program, request_.type->name, std::nullopt, std::nullopt, request_.profilePath,
                   told, outcome_.exitCode};
    if (outcome_.address)
        head.address = outcome_.address->value;
    if (outcome_.port)
        head.port = outcome_.port->value;
    // Warnings are drawn once both values are read and neither is refused.
    const bool warned = outcome_.port && outcome_.valueRefusal.empty();
    const bool walked = outcome_.walk && outcome_.end != ApplyEnd::Refused;
    return hostwend::WriteEvent(roles_.eventLog, ApplyEventId(outcome_.end), head,
                                ApplyEventFields(outcome_.end, warned ? &outcome_.warnings : nullptr,
                                                 walked ? &outcome_.before : nullptr,
                                                 walked ? &*outcome_.walk : nullptr,
                                                 roles_.computer.Is64BitWindows()));
}

} // namespace

ApplyOutcome RunApply(const ApplyRoles& roles, ProfileState& state, const ApplyRequest& request) noexcept
{
    ApplyOutcome outcome;
    ApplyBody body(roles, state, request, outcome);
    RunPipeline(roles, {request.program, request.mode, request.profilePath, request.waiting}, body, outcome);
    return outcome;
}

} // namespace hostwend
