#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {

// Windows Sockets error codes, as Windows returns them.
inline constexpr std::uint32_t kWsaNetworkDown = 10050;         // WSAENETDOWN
inline constexpr std::uint32_t kWsaNetworkUnreachable = 10051;  // WSAENETUNREACH
inline constexpr std::uint32_t kWsaTimedOut = 10060;            // WSAETIMEDOUT
inline constexpr std::uint32_t kWsaConnectionRefused = 10061;   // WSAECONNREFUSED
inline constexpr std::uint32_t kWsaHostUnreachable = 10065;     // WSAEHOSTUNREACH
inline constexpr std::uint32_t kWsaHostNotFound = 11001;        // WSAHOST_NOT_FOUND
inline constexpr std::uint32_t kWsaNoData = 11004;              // WSANO_DATA: the name has no address

enum class AddressFamily { IPv4, IPv6 };

// One address a name resolved to, in numeric form ("10.0.0.5", "fe80::1%3").
struct ResolvedAddress {
    AddressFamily family = AddressFamily::IPv4;
    std::wstring text;
};

// The network as seen from this computer: name resolution, TCP connections
// and a clock to keep a time limit by. Each call returns the Windows error
// code, 0 when done.
class Network {
public:
    virtual ~Network() = default;

    // getaddrinfo for TCP, in the order the resolver gives; waits at most
    // milliseconds, then returns kWsaTimedOut.
    virtual std::uint32_t Resolve(std::wstring_view name, std::uint32_t milliseconds,
                                  std::vector<ResolvedAddress>& addresses) = 0;
    // Opens a TCP connection to a resolved address, waiting at most
    // milliseconds (kWsaTimedOut), and closes it again without sending.
    virtual std::uint32_t ConnectAndClose(const ResolvedAddress& address, std::uint16_t port,
                                          std::uint32_t milliseconds) = 0;
    // A clock that only moves forward.
    virtual std::uint64_t Milliseconds() = 0;
};

} // namespace hostwend
