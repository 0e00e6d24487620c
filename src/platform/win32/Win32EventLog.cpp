#include "platform/win32/Win32EventLog.h"

#include "platform/win32/LastError.h"
#include "platform/win32/SidText.h"
#include "platform/win32/UniqueHandle.h"

#include <sddl.h>

namespace hostwend {
namespace {

constexpr wchar_t kSourceName[] = L"Hostwend";

void DeregisterSource(HANDLE source) { DeregisterEventSource(source); }
using UniqueEventSource = UniqueHandle<NullIsInvalid<HANDLE, DeregisterSource>>;

// The process token's TOKEN_USER: the account's SID, in a buffer that owns it.
class ProcessUser {
public:
    ProcessUser()
    {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        const UniqueKernelHandle owned(token);
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        buffer_.resize(size);
        if (size == 0 || !GetTokenInformation(token, TokenUser, buffer_.data(), size, &size))
            buffer_.clear();
    }
    PSID Sid() const
    {
        return buffer_.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(buffer_.data())->User.Sid;
    }

private:
    std::vector<BYTE> buffer_;
};

} // namespace

std::wstring Win32EventLog::AccountName()
{
    const ProcessUser user;
    if (!user.Sid())
        return {};
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, user.Sid(), name, &nameLength, domain, &domainLength, &use))
        return domainLength == 0 ? std::wstring(name, nameLength)
                                 : std::wstring(domain, domainLength) + L"\\" + std::wstring(name, nameLength);
    // An account no name can be found for (a deleted one, or a domain out of
    // reach) is still told apart by its SID.
    return SidText(user.Sid());
}

std::wstring Win32EventLog::ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? std::wstring(name, length) : std::wstring();
}

std::uint32_t Win32EventLog::Report(EventType type, std::uint32_t eventId, const std::vector<std::wstring>& strings)
{
    if (strings.size() > 0xFFFF)
        return ERROR_INVALID_PARAMETER;
    const UniqueEventSource source(RegisterEventSourceW(nullptr, kSourceName));
    if (!source)
        return LastErrorOr(ERROR_INVALID_HANDLE);
    std::vector<const wchar_t*> inserts;
    for (const std::wstring& text : strings)
        inserts.push_back(text.c_str());
    // With the account's SID, Event Viewer's User column names who applied.
    const ProcessUser user;
    if (!ReportEventW(source.get(), static_cast<WORD>(type), 0, eventId, user.Sid(), static_cast<WORD>(inserts.size()),
                      0, inserts.data(), nullptr))
        return LastErrorOr(ERROR_GEN_FAILURE);
    return 0;
}

} // namespace hostwend
