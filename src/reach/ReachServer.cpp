#include "reach/ReachServer.h"

#include <algorithm>
#include <vector>

namespace hostwend {
namespace {

ReachFailure ConnectFailure(std::uint32_t error)
{
    switch (error) {
    case kWsaConnectionRefused:
        return ReachFailure::Refused;
    case kWsaTimedOut:
        return ReachFailure::TimedOut;
    case kWsaNetworkDown:
    case kWsaNetworkUnreachable:
    case kWsaHostUnreachable:
        return ReachFailure::NetworkUnreachable;
    default:
        return ReachFailure::Failed;
    }
}

} // namespace

// The client tries IPv4 first; a name with several addresses is tried on each
// in turn. Every address gets an equal share of the time still left, so one
// that swallows its connection attempts cannot use up the time of the others.
ReachResult ReachServer(Network& network, std::wstring_view address, std::uint32_t limitMilliseconds)
{
    ReachResult result;
    result.address = address;
    const std::uint64_t started = network.Milliseconds();
    const std::uint64_t deadline = started + limitMilliseconds;
    auto finish = [&](ReachFailure failure, std::uint32_t error) {
        result.reachable = failure == ReachFailure::None;
        result.failure = failure;
        result.errorCode = error;
        result.milliseconds = network.Milliseconds() - started;
        return result;
    };

    std::vector<ResolvedAddress> addresses;
    if (const std::uint32_t error = network.Resolve(address, limitMilliseconds, addresses); error != 0)
        return finish(error == kWsaTimedOut ? ReachFailure::TimedOut : ReachFailure::NameNotResolved, error);
    if (addresses.empty())
        return finish(ReachFailure::NameNotResolved, kWsaNoData);
    std::stable_partition(addresses.begin(), addresses.end(),
                          [](const ResolvedAddress& a) { return a.family == AddressFamily::IPv4; });

    std::uint32_t error = kWsaTimedOut;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const std::uint64_t now = network.Milliseconds();
        if (now >= deadline) {
            error = kWsaTimedOut;
            break;
        }
        const std::uint64_t share = std::max<std::uint64_t>((deadline - now) / (addresses.size() - i), 1);
        result.resolved = addresses[i].text;
        error = network.ConnectAndClose(addresses[i], result.port, static_cast<std::uint32_t>(share));
        if (error == 0)
            return finish(ReachFailure::None, 0);
    }
    // What the last address tried answered, so that it goes with the address shown.
    return finish(ConnectFailure(error), error);
}

} // namespace hostwend
