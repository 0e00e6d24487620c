#include "cli/ReachReport.h"

#include "cli/Report.h"

namespace hostwend::cli {
namespace {

// As scripts read them in the JSON's reach.error: never reworded.
std::wstring_view ReachFailureText(ReachFailure failure)
{
    switch (failure) {
    case ReachFailure::None:
        return L"";
    case ReachFailure::NameNotResolved:
        return L"name not resolved";
    case ReachFailure::Refused:
        return L"refused";
    case ReachFailure::TimedOut:
        return L"timed out";
    case ReachFailure::NetworkUnreachable:
        return L"network unreachable";
    case ReachFailure::Failed:
        break;
    }
    return L"failed";
}

// Where it answered or was tried last, the port and the time: "at 10.0.0.5,
// TCP port 7777, in 3 ms".
std::wstring Attempt(const ReachResult& reach)
{
    std::wstring text;
    if (reach.resolved) {
        text += L" at ";
        text += *reach.resolved;
    }
    text += L", TCP port ";
    text += std::to_wstring(reach.port);
    text += reach.reachable ? L", in " : L", after ";
    text += std::to_wstring(reach.milliseconds);
    text += L" ms";
    if (!reach.reachable) {
        text += L" (Windows error ";
        text += std::to_wstring(reach.errorCode);
        text += L")";
    }
    return text;
}

} // namespace

std::wstring ReachRefusal(const ReachResult& reach)
{
    std::wstring text = L"the server ";
    text += reach.address;
    text += L" cannot be reached from this computer: ";
    text += ReachFailureText(reach.failure);
    text += Attempt(reach);
    return text;
}

std::wstring ReachTextLine(const CommandResult& result)
{
    if (!result.reachAsked)
        return {};
    if (!result.reach)
        return L"Reach:   not tried: the check did not pass\r\n";
    std::wstring text = L"Reach:   ";
    text += result.reach->reachable ? L"reachable" : L"not reachable: ";
    text += ReachFailureText(result.reach->failure);
    text += Attempt(*result.reach);
    text += L"\r\n";
    return text;
}

std::wstring ReachJsonMember(const CommandResult& result)
{
    if (!result.reach)
        return L", \"reach\": null";
    const ReachResult& reach = *result.reach;
    std::wstring json = L", \"reach\": {\"address\": ";
    json += Quoted(reach.address, true);
    json += L", \"port\": ";
    json += std::to_wstring(reach.port);
    json += reach.reachable ? L", \"reachable\": true" : L", \"reachable\": false";
    json += L", \"resolved\": ";
    json += reach.resolved ? Quoted(*reach.resolved, true) : L"null";
    json += L", \"milliseconds\": ";
    json += std::to_wstring(reach.milliseconds);
    json += L", \"error\": ";
    json += reach.reachable ? L"null" : Quoted(ReachFailureText(reach.failure), true);
    json += L", \"error_code\": ";
    json += reach.reachable ? L"null" : std::to_wstring(reach.errorCode);
    json += L"}";
    return json;
}

} // namespace hostwend::cli
