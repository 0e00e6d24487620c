#include "platform/win32/Win32Network.h"

#include "platform/DecimalText.h"
#include "platform/win32/UniqueHandle.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <iterator>
#include <memory>
#include <utility>

namespace hostwend {

// ws2_32.dll and what is used of it, loaded when the network is first asked
// for: show, check without --reach and apply never load it, and each start of
// the console program stays as cheap as an empty program's. It is a
// KnownDLL, so Windows maps it from System32 whatever the search path.
struct Win32Network::Winsock {
    HMODULE module = nullptr;
    decltype(&::WSAStartup) startup = nullptr;
    decltype(&::WSACleanup) cleanup = nullptr;
    decltype(&::WSAGetLastError) lastError = nullptr;
    decltype(&::GetAddrInfoW) getAddrInfo = nullptr;
    decltype(&::FreeAddrInfoW) freeAddrInfo = nullptr;
    decltype(&::WSAAddressToStringW) addressToString = nullptr;
    decltype(&::socket) openSocket = nullptr;
    decltype(&::closesocket) closeSocket = nullptr;
    decltype(&::ioctlsocket) control = nullptr;
    decltype(&::connect) connectTo = nullptr;
    decltype(&::select) selectReady = nullptr;
    decltype(&::getsockopt) option = nullptr;

    Winsock() = default;
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    ~Winsock()
    {
        if (module)
            FreeLibrary(module);
    }
};

namespace {

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return function != nullptr;
}

// Winsock, started for as long as the object lives.
class WinsockSession {
public:
    explicit WinsockSession(const Win32Network::Winsock& winsock) : winsock_(winsock)
    {
        WSADATA data{};
        error_ = static_cast<std::uint32_t>(winsock_.startup(MAKEWORD(2, 2), &data));
    }
    ~WinsockSession()
    {
        if (error_ == 0)
            winsock_.cleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

    std::uint32_t Error() const { return error_; }

private:
    const Win32Network::Winsock& winsock_;
    std::uint32_t error_ = 0;
};

// A socket or an address list, closed or freed through the loaded Winsock.
template <typename Handle>
class WinsockOwned {
public:
    using Release = void (*)(const Win32Network::Winsock&, Handle);
    WinsockOwned(const Win32Network::Winsock& winsock, Handle handle, Handle none, Release release)
        : winsock_(winsock), handle_(handle), none_(none), release_(release)
    {
    }
    WinsockOwned(const WinsockOwned&) = delete;
    WinsockOwned& operator=(const WinsockOwned&) = delete;
    ~WinsockOwned()
    {
        if (handle_ != none_)
            release_(winsock_, handle_);
    }
    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != none_; }

private:
    const Win32Network::Winsock& winsock_;
    Handle handle_;
    Handle none_;
    Release release_;
};

WinsockOwned<SOCKET> OwnedSocket(const Win32Network::Winsock& winsock, SOCKET socket)
{
    return {winsock, socket, INVALID_SOCKET, [](const Win32Network::Winsock& w, SOCKET s) { w.closeSocket(s); }};
}

WinsockOwned<ADDRINFOW*> OwnedAddresses(const Win32Network::Winsock& winsock, ADDRINFOW* addresses)
{
    return {winsock, addresses, nullptr,
            [](const Win32Network::Winsock& w, ADDRINFOW* a) { w.freeAddrInfo(a); }};
}

struct Resolution {
    std::uint32_t error = 0;
    std::vector<ResolvedAddress> addresses;
};

// With numericOnly, only an address written out in numbers: no resolver is
// asked, and the call cannot wait on one.
Resolution ResolveNow(const Win32Network::Winsock& winsock, const std::wstring& name, bool numericOnly)
{
    Resolution resolution;
    WinsockSession session(winsock);
    resolution.error = session.Error();
    if (resolution.error != 0)
        return resolution;
    ADDRINFOW hints{};
    hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    resolution.error = static_cast<std::uint32_t>(winsock.getAddrInfo(name.c_str(), nullptr, &hints, &found));
    if (resolution.error != 0)
        return resolution;
    const auto owned = OwnedAddresses(winsock, found);
    for (const ADDRINFOW* address = found; address; address = address->ai_next) {
        if (address->ai_family != AF_INET && address->ai_family != AF_INET6)
            continue;
        wchar_t text[INET6_ADDRSTRLEN + 16] = {};
        DWORD size = static_cast<DWORD>(std::size(text));
        if (winsock.addressToString(address->ai_addr, static_cast<DWORD>(address->ai_addrlen), nullptr, text, &size) == 0)
            resolution.addresses.push_back(
                {address->ai_family == AF_INET ? AddressFamily::IPv4 : AddressFamily::IPv6, text});
    }
    return resolution;
}

// What the resolving thread and the caller share: whichever lets go last frees it.
struct PendingResolution {
    std::shared_ptr<const Win32Network::Winsock> winsock;  // loaded for as long as the thread runs
    std::wstring name;
    Resolution result;
    UniqueKernelHandle done;  // set once result is complete
};

DWORD WINAPI ResolveOnThread(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<PendingResolution>> pending(
        static_cast<std::shared_ptr<PendingResolution>*>(parameter));
    try {
        (*pending)->result = ResolveNow(*(*pending)->winsock, (*pending)->name, false);
    } catch (...) {
        (*pending)->result = {WSA_NOT_ENOUGH_MEMORY, {}};  // nothing else throws here
    }
    SetEvent((*pending)->done.get());
    return 0;
}

} // namespace

Win32Network::Win32Network() = default;
Win32Network::~Win32Network() = default;

std::uint32_t Win32Network::LoadWinsock()
{
    if (winsock_)
        return 0;
    auto winsock = std::make_shared<Winsock>();
    winsock->module = LoadLibraryW(L"ws2_32.dll");
    if (!winsock->module)
        return GetLastError();
    HMODULE module = winsock->module;
    const bool found = Find(module, "WSAStartup", winsock->startup) && Find(module, "WSACleanup", winsock->cleanup) &&
                       Find(module, "WSAGetLastError", winsock->lastError) &&
                       Find(module, "GetAddrInfoW", winsock->getAddrInfo) &&
                       Find(module, "FreeAddrInfoW", winsock->freeAddrInfo) &&
                       Find(module, "WSAAddressToStringW", winsock->addressToString) &&
                       Find(module, "socket", winsock->openSocket) && Find(module, "closesocket", winsock->closeSocket) &&
                       Find(module, "ioctlsocket", winsock->control) && Find(module, "connect", winsock->connectTo) &&
                       Find(module, "select", winsock->selectReady) && Find(module, "getsockopt", winsock->option);
    if (!found)
        return GetLastError();
    winsock_ = std::move(winsock);
    return 0;
}

// Windows 7 has no resolver call with a time limit: a name is resolved on a
// thread of its own, which is left to finish by itself when the time is up.
// It holds its own Winsock session and shares nothing else with this one.
// An address in numbers, what profiles hold, is converted here instead:
// starting a thread and waiting for it costs more than the whole connection
// on a local network, and several times that on a busy computer.
std::uint32_t Win32Network::Resolve(std::wstring_view name, std::uint32_t milliseconds,
                                    std::vector<ResolvedAddress>& addresses)
{
    if (const std::uint32_t error = LoadWinsock(); error != 0)
        return error;
    if (Resolution numeric = ResolveNow(*winsock_, std::wstring(name), true); numeric.error == 0) {
        addresses = std::move(numeric.addresses);
        return 0;
    }
    auto pending = std::make_shared<PendingResolution>();
    pending->winsock = winsock_;
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
    if (const std::uint32_t error = LoadWinsock(); error != 0)
        return error;
    const Winsock& winsock = *winsock_;
    WinsockSession session(winsock);
    if (session.Error() != 0)
        return session.Error();
    auto lastError = [&winsock] { return static_cast<std::uint32_t>(winsock.lastError()); };
    // Back from text to a socket address: numeric, so no resolver is asked.
    ADDRINFOW hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = address.family == AddressFamily::IPv4 ? AF_INET : AF_INET6;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    if (const int error = winsock.getAddrInfo(address.text.c_str(), DecimalText(port).c_str(), &hints, &found);
        error != 0)
        return static_cast<std::uint32_t>(error);
    const auto target = OwnedAddresses(winsock, found);

    const auto connection = OwnedSocket(winsock, winsock.openSocket(found->ai_family, found->ai_socktype,
                                                                    found->ai_protocol));
    if (!connection)
        return lastError();
    u_long nonBlocking = 1;
    if (winsock.control(connection.get(), FIONBIO, &nonBlocking) != 0)
        return lastError();
    if (winsock.connectTo(connection.get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0)
        return 0;
    if (const std::uint32_t error = lastError(); error != WSAEWOULDBLOCK)
        return error;

    fd_set connected;
    FD_ZERO(&connected);
    FD_SET(connection.get(), &connected);
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(connection.get(), &failed);
    timeval wait{static_cast<long>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000};
    const int ready = winsock.selectReady(0, nullptr, &connected, &failed, &wait);
    if (ready == SOCKET_ERROR)
        return lastError();
    if (ready == 0)
        return kWsaTimedOut;
    int error = 0;
    int size = sizeof(error);
    if (winsock.option(connection.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return lastError();
    if (error != 0)
        return static_cast<std::uint32_t>(error);
    // A failure that names no cause: not connected all the same. (FD_ISSET
    // would call into ws2_32 by import; the set is read here instead.)
    for (u_int i = 0; i < failed.fd_count; ++i)
        if (failed.fd_array[i] == connection.get())
            return static_cast<std::uint32_t>(WSAENOTCONN);
    return 0;
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
