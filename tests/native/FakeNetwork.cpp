#include "FakeNetwork.h"

namespace hostwend::testing {

std::uint32_t FakeNetwork::Resolve(std::wstring_view name, std::uint32_t milliseconds,
                                   std::vector<ResolvedAddress>& addresses)
{
    resolveWaits.push_back(milliseconds);
    if (resolveTakes > milliseconds) {
        now += milliseconds;
        return kWsaTimedOut;
    }
    now += resolveTakes;
    auto found = names.find(std::wstring(name));
    if (found == names.end())
        return kWsaHostNotFound;
    addresses = found->second;
    return 0;
}

std::uint32_t FakeNetwork::ConnectAndClose(const ResolvedAddress& address, std::uint16_t port,
                                           std::uint32_t milliseconds)
{
    attempts.push_back({address.text, port, milliseconds});
    auto answer = answers.find(address.text);
    if (answer == answers.end() || answer->second.takes > milliseconds) {
        now += milliseconds;
        return kWsaTimedOut;
    }
    now += answer->second.takes;
    return answer->second.error;
}

} // namespace hostwend::testing
