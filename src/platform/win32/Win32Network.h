#pragma once

#include "platform/Network.h"

namespace hostwend {

// Name resolution and TCP connections through Windows Sockets. Winsock is
// started by each call and stopped when it returns, so a program that never
// asks the network never starts it.
class Win32Network final : public Network {
public:
    std::uint32_t Resolve(std::wstring_view name, std::uint32_t milliseconds,
                          std::vector<ResolvedAddress>& addresses) override;
    std::uint32_t ConnectAndClose(const ResolvedAddress& address, std::uint16_t port,
                                  std::uint32_t milliseconds) override;
    std::uint64_t Milliseconds() override;
};

} // namespace hostwend
