#pragma once

#include "platform/Network.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace hostwend::testing {

// A test double of the network with a clock of its own: every wait moves the
// clock on by as long as it would take, so time limits are tested exactly.
class FakeNetwork : public Network {
public:
    // What each name resolves to, in the resolver's order; other names are not found.
    std::map<std::wstring, std::vector<ResolvedAddress>> names;
    std::uint64_t resolveTakes = 0;  // milliseconds

    struct Answer {
        std::uint32_t error;  // 0: connected
        std::uint64_t takes;  // milliseconds
    };
    // How each address answers a connection; one not listed never answers.
    std::map<std::wstring, Answer> answers;

    struct Attempt {
        std::wstring address;
        std::uint16_t port;
        std::uint32_t waitMilliseconds;
    };
    std::vector<std::uint32_t> resolveWaits;
    std::vector<Attempt> attempts;
    std::uint64_t now = 100000;

    std::uint32_t Resolve(std::wstring_view name, std::uint32_t milliseconds,
                          std::vector<ResolvedAddress>& addresses) override;
    std::uint32_t ConnectAndClose(const ResolvedAddress& address, std::uint16_t port,
                                  std::uint32_t milliseconds) override;
    std::uint64_t Milliseconds() override { return now; }
};

} // namespace hostwend::testing
