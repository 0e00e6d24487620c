#include "platform/win32/Win32Network.h"

#include "platform/DecimalText.h"
#include "platform/win32/UniqueHandle.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <iterator>
#include <memory>
#include <utility>

namespace hostwend {
namespace {

// Winsock, started for as long as the object lives.
class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data{};
        error_ = static_cast<std::uint32_t>(WSAStartup(MAKEWORD(2, 2), &data));
    }
    ~WinsockSession()
    {
        if (error_ == 0)
            WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    std::uint32_t Error() const { return error_; }

private:
    std::uint32_t error_ = 0;
};

struct SocketTraits {
    using Handle = SOCKET;
    static Handle Invalid() { return INVALID_SOCKET; }
    static void Close(Handle handle) { closesocket(handle); }
};
using UniqueSocket = UniqueHandle<SocketTraits>;

void FreeAddresses(ADDRINFOW* addresses) { FreeAddrInfoW(addresses); }
using UniqueAddresses = UniqueHandle<NullIsInvalid<ADDRINFOW*, FreeAddresses>>;

std::uint32_t LastSocketError() { return static_cast<std::uint32_t>(WSAGetLastError()); }

struct Resolution {
    std::uint32_t error = 0;
    std::vector<ResolvedAddress> addresses;
};

Resolution ResolveNow(const std::wstring& name)
{
    Resolution resolution;
    WinsockSession session;
    resolution.error = session.Error();
    if (resolution.error != 0)
        return resolution;
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    resolution.error = static_cast<std::uint32_t>(GetAddrInfoW(name.c_str(), nullptr, &hints, &found));
    if (resolution.error != 0)
        return resolution;
    const UniqueAddresses owned(found);
    for (const ADDRINFOW* address = found; address; address = address->ai_next) {
        if (address->ai_family != AF_INET && address->ai_family != AF_INET6)
            continue;
        wchar_t text[INET6_ADDRSTRLEN + 16] = {};
        DWORD size = static_cast<DWORD>(std::size(text));
        if (WSAAddressToStringW(address->ai_addr, static_cast<DWORD>(address->ai_addrlen), nullptr, text, &size) == 0)
            resolution.addresses.push_back(
                {address->ai_family == AF_INET ? AddressFamily::IPv4 : AddressFamily::IPv6, text});
    }
    return resolution;
}

// What the resolving thread and the caller share: whichever lets go last frees it.
struct PendingResolution {
    std::wstring name;
    Resolution result;
    UniqueKernelHandle done;  // set once result is complete
};

DWORD WINAPI ResolveOnThread(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<PendingResolution>> pending(
        static_cast<std::shared_ptr<PendingResolution>*>(parameter));
    try {
        (*pending)->result = ResolveNow((*pending)->name);
    } catch (...) {
        (*pending)->result = {WSA_NOT_ENOUGH_MEMORY, {}};  // nothing else throws here
    }
    SetEvent((*pending)->done.get());
    return 0;
}

} // namespace

// Windows 7 has no resolver call with a time limit: the resolution runs on a
// thread of its own, which is left to finish by itself when the time is up.
// It holds its own Winsock session and shares nothing else with this one.
std::uint32_t Win32Network::Resolve(std::wstring_view name, std::uint32_t milliseconds,
                                    std::vector<ResolvedAddress>& addresses)
{
    auto pending = std::make_shared<PendingResolution>();
    pending->name = name;
    pending->done.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!pending->done)
        return GetLastError();
    auto forThread = std::make_unique<std::shared_ptr<PendingResolution>>(pending);
    const UniqueKernelHandle thread(CreateThread(nullptr, 0, ResolveOnThread, forThread.get(), 0, nullptr));
    if (!thread)
        return GetLastError();
    static_cast<void>(forThread.release());  // the thread's own now
    if (WaitForSingleObject(pending->done.get(), milliseconds) != WAIT_OBJECT_0)
        return kWsaTimedOut;
    addresses = std::move(pending->result.addresses);
    return pending->result.error;
}

// A non-blocking connect and select, not WSAPoll: before Windows 10 2004,
// WSAPoll does not report a refused connection and would wait out the time.
std::uint32_t Win32Network::ConnectAndClose(const ResolvedAddress& address, std::uint16_t port,
                                            std::uint32_t milliseconds)
{
    WinsockSession session;
    if (session.Error() != 0)
        return session.Error();
    // Back from text to a socket address: numeric, so no resolver is asked.
    ADDRINFOW hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = address.family == AddressFamily::IPv4 ? AF_INET : AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    if (const int error = GetAddrInfoW(address.text.c_str(), DecimalText(port).c_str(), &hints, &found); error != 0)
        return static_cast<std::uint32_t>(error);
    const UniqueAddresses target(found);

    const UniqueSocket connection(socket(found->ai_family, found->ai_socktype, found->ai_protocol));
    if (!connection)
        return LastSocketError();
    u_long nonBlocking = 1;
    if (ioctlsocket(connection.get(), FIONBIO, &nonBlocking) != 0)
        return LastSocketError();
    if (connect(connection.get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0)
        return 0;
    if (const std::uint32_t error = LastSocketError(); error != WSAEWOULDBLOCK)
        return error;

    fd_set connected;
    FD_ZERO(&connected);
    FD_SET(connection.get(), &connected);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(connection.get(), &failed);
    timeval wait{static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000};
    const int ready = select(0, nullptr, &connected, &failed, &wait);
    if (ready == SOCKET_ERROR)
        return LastSocketError();
    if (ready == 0)
        return kWsaTimedOut;
    int error = 0;
    int size = sizeof(error);
    if (getsockopt(connection.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return LastSocketError();
    if (error != 0)
        return static_cast<std::uint32_t>(error);
    // A failure that names no cause: not connected all the same.
    return FD_ISSET(connection.get(), &failed) ? static_cast<std::uint32_t>(WSAENOTCONN) : 0;
}

std::uint64_t Win32Network::Milliseconds()
{
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

} // namespace hostwend
