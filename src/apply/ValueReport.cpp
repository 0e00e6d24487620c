#include "apply/ValueReport.h"

namespace hostwend {
namespace {

ValueEnd EndOf(StepState state)
{
    switch (state) {
    case StepState::Written:
        return ValueEnd::Written;
    case StepState::WouldBeWritten:
        return ValueEnd::WouldBeWritten;
    case StepState::Unchanged:
        return ValueEnd::Unchanged;
    case StepState::Failed:
        return ValueEnd::Failed;
    case StepState::NotForThisType:
        return ValueEnd::NotForThisType;
    case StepState::NotReached:
        break;
    }
    return ValueEnd::NotReached;
}

// Where a plan's value ends: unchanged, changed since, or as its put-back went.
ValueEnd EndOf(const UndoStep& planned, const PutBackStep* done, ApplyMode mode)
{
    if (planned.action == UndoAction::Unchanged)
        return ValueEnd::Unchanged;
    if (planned.action == UndoAction::ChangedSince)
        return ValueEnd::ChangedSince;
    if (mode == ApplyMode::CheckOnly)
        return ValueEnd::WouldBeWritten;
    if (!done)
        return ValueEnd::NotReached;
    switch (done->state) {
    case PutBackState::Written:
        return ValueEnd::PutBack;
    case PutBackState::Failed:
        return ValueEnd::Failed;
    case PutBackState::Unchanged:
        return ValueEnd::Unchanged;
    case PutBackState::NotReached:
        break;
    }
    return ValueEnd::NotReached;
}

} // namespace

ValueReports ReportValues(const StepValues& values)
{
    ValueReports reports;
    for (std::size_t i = 0; i < kApplyStepCount; ++i) {
        ValueReport report;
        report.index = i;
        report.found = values[i];
        reports.push_back(std::move(report));
    }
    return reports;
}

ValueReports ReportValues(const ApplyOutcome& outcome)
{
    ValueReports reports;
    for (std::size_t i = 0; outcome.walk && i < kApplyStepCount; ++i) {
        const WalkStep& step = outcome.walk->steps[i];
        ValueReport report;
        report.index = i;
        report.found = outcome.before[i];
        report.end = EndOf(step.state);
        report.newData = step.newData;
        report.update = step.result;
        report.afterFailure = step.afterFailure;
        reports.push_back(std::move(report));
    }
    return reports;
}

ValueReports ReportValues(const UndoOutcome& outcome, ApplyMode mode)
{
    ValueReports reports;
    for (std::size_t i = 0; outcome.plan && i < kApplyStepCount; ++i) {
        const UndoStep& planned = (*outcome.plan)[i];
        const PutBackStep* done = outcome.putBack ? &(*outcome.putBack)[i] : nullptr;
        ValueReport report;
        report.index = i;
        report.found = planned.now;
        report.end = EndOf(planned, done, mode);
        report.dataBefore = planned.lastApply.before;
        report.dataApplied = planned.lastApply.written;
        if (done)
            report.putBack = *done;
        reports.push_back(std::move(report));
    }
    return reports;
}

std::optional<ProfileMisfit> MisfitOf(const ApplyOutcome& outcome, const ConnectionType& type)
{
    if (outcome.refusal != Refusal::ProfileData)
        return std::nullopt;
    const WalkStep& misfit = outcome.walk->steps[*outcome.walk->profileDataStep];
    const bool address = ApplySteps()[*outcome.walk->profileDataStep].carriesAddress;
    return ProfileMisfit{*outcome.walk->profileDataStep, address ? type.addressKey : kPortKey,
                         address ? outcome.address->asWritten : outcome.port->asWritten, misfit.result};
}

std::optional<std::size_t> NamedStep(const ApplyOutcome& outcome)
{
    if (!outcome.walk)
        return std::nullopt;
    return outcome.refusal == Refusal::ProfileData ? outcome.walk->profileDataStep : outcome.walk->failedStep;
}

std::optional<std::wstring> AppliedAddress(const ApplyOutcome& outcome)
{
    // Refused before the port was read, the address is the value refused.
    const bool valueRefused = outcome.refusal == Refusal::ProfileValue;
    if (outcome.address && !(valueRefused && !outcome.port))
        return outcome.address->value;
    return std::nullopt;
}

std::optional<std::wstring> AppliedPort(const ApplyOutcome& outcome)
{
    if (outcome.port && outcome.refusal != Refusal::ProfileValue)
        return outcome.port->value;
    return std::nullopt;
}

} // namespace hostwend
