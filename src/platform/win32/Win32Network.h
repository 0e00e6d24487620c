#pragma once

#include "platform/Network.h"

#include <memory>

namespace hostwend {

// Name resolution and TCP connections through Windows Sockets. ws2_32.dll is
// loaded by the first call, and Winsock started by each call and stopped when
// it returns, so a program that never asks the network never loads it.
class Win32Network final : public Network {
public:
    Win32Network();
    ~Win32Network() override;
    Win32Network(const Win32Network&) = delete;
    Win32Network& operator=(const Win32Network&) = delete;

    std::uint32_t Resolve(std::wstring_view name, std::uint32_t milliseconds,
                          std::vector<ResolvedAddress>& addresses) override;
    std::uint32_t ConnectAndClose(const ResolvedAddress& address, std::uint16_t port,
                                  std::uint32_t milliseconds) override;
    std::uint64_t Milliseconds() override;

    struct Winsock;

private:
    std::uint32_t LoadWinsock();

    std::shared_ptr<const Winsock> winsock_;
};

} // namespace hostwend
