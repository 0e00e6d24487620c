#pragma once

#include "platform/Network.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hostwend {

// The port the client connects to, as Remote-Addr names it (ADDRESS:7777:0).
inline constexpr std::uint16_t kServerTcpPort = 7777;

// How long a probe may take, in seconds.
inline constexpr std::uint32_t kReachDefaultSeconds = 5;
inline constexpr std::uint32_t kReachLeastSeconds = 1;
inline constexpr std::uint32_t kReachMostSeconds = 60;

enum class ReachFailure { None, NameNotResolved, Refused, TimedOut, NetworkUnreachable, Failed };

struct ReachResult {
    std::wstring address;  // as the profile gives it
    std::uint16_t port = kServerTcpPort;
    bool reachable = false;
    std::optional<std::wstring> resolved;  // the address that answered, else the one tried last
    std::uint64_t milliseconds = 0;        // from asking the resolver to the answer or giving up
    ReachFailure failure = ReachFailure::None;
    std::uint32_t errorCode = 0;  // the Windows error code behind the failure
};

// Opens a TCP connection to the server at address, as the client would reach
// it, within limitMilliseconds in all, and closes it without sending.
[[nodiscard]] ReachResult ReachServer(Network& network, std::wstring_view address,
                                      std::uint32_t limitMilliseconds);

} // namespace hostwend
