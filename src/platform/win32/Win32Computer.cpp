#include "platform/win32/Win32Computer.h"

#include "platform/win32/LastError.h"
#include "platform/win32/SidText.h"
#include "platform/win32/UniqueHandle.h"

#include <aclapi.h>
#include <sddl.h>

#include <utility>

namespace hostwend {
namespace {

// One name for the whole machine, in every session: the window in a user's
// session and the console program running as SYSTEM meet on it.
constexpr wchar_t kMutexName[] = L"Global\\Hostwend.Apply";
// Owned by the Administrators group, which only an administrator or SYSTEM can
// set, and open to SYSTEM and Administrators only, nothing inherited.
constexpr wchar_t kAdministratorsOwnOnly[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

// "DOMAIN\name" as Windows names the account, or the SID's text where it cannot.
std::wstring AccountName(PSID sid)
{
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = ARRAYSIZE(name);
    DWORD domainSize = ARRAYSIZE(domain);
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return domainSize == 0 ? std::wstring(name) : std::wstring(domain) + L"\\" + name;
    std::wstring text = SidText(sid);
    return text.empty() ? L"an account Windows cannot name" : text;
}

MutexOwner OwnerOf(PSID sid)
{
    // On Windows an object made with default security has its maker's
    // default owner; under Wine it has none, and that is no Hostwend's either.
    if (!sid)
        return {OwnerKind::None, {}};
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
        return {OwnerKind::Administrators, {}};
    if (IsWellKnownSid(sid, WinLocalSystemSid))
        return {OwnerKind::System, {}};
    return {OwnerKind::Account, AccountName(sid)};
}

class Win32LockObjects final : public LockObjects {
public:
    explicit Win32LockObjects(LockWait wait) : wait_(std::move(wait))
    {
        ULONG size = 0;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOwnOnly, SDDL_REVISION_1,
                                                                 &descriptor, &size))
            descriptor_.reset(descriptor);
        else
            descriptorError_ = LastErrorOr(ERROR_INVALID_SECURITY_DESCR);
        attributes_.lpSecurityDescriptor = descriptor_.get();
    }
    // attributes_ points into descriptor_.
    Win32LockObjects(const Win32LockObjects&) = delete;
    Win32LockObjects& operator=(const Win32LockObjects&) = delete;

    std::uint32_t CreateLockMutex(bool& existed) override
    {
        // Never made with default security: a standard user's could not be told from it.
        if (!descriptor_)
            return descriptorError_;
        SetLastError(ERROR_SUCCESS);
        mutex_.reset(CreateMutexW(&attributes_, FALSE, kMutexName));
        if (!mutex_)
            return LastErrorOr(ERROR_INVALID_HANDLE);
        existed = GetLastError() == ERROR_ALREADY_EXISTS;
        return 0;
    }
    std::uint32_t OpenLockMutex() override
    {
        mutex_.reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL, FALSE, kMutexName));
        return mutex_ ? 0 : LastErrorOr(ERROR_ACCESS_DENIED);
    }
    std::uint32_t QueryOwner(MutexOwner& owner) override
    {
        PSID sid = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        const DWORD error = GetSecurityInfo(mutex_.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &sid,
                                            nullptr, nullptr, nullptr, &descriptor);
        if (error != ERROR_SUCCESS)
            return error;
        UniqueLocal owned(descriptor);
        owner = OwnerOf(sid);
        return 0;
    }
    WaitResult Wait(std::uint32_t milliseconds, std::uint32_t& error) override
    {
        const DWORD waited = wait_ ? wait_(mutex_.get(), milliseconds) : WaitForSingleObject(mutex_.get(), milliseconds);
        switch (waited) {
        case WAIT_OBJECT_0:
            return WaitResult::Signalled;
        case WAIT_ABANDONED:
            return WaitResult::Abandoned;
        case WAIT_TIMEOUT:
            return WaitResult::TimedOut;
        default:
            error = LastErrorOr(ERROR_INVALID_HANDLE);
            return WaitResult::Failed;
        }
    }
    void Release() override { ReleaseMutex(mutex_.get()); }

private:
    LockWait wait_;
    UniqueLocal descriptor_;
    std::uint32_t descriptorError_ = 0;
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    UniqueKernelHandle mutex_;
};

// Set when no apply writes; the console's handler thread waits on it. Made
// once and never closed: the handler runs on a thread of its own and may still
// be waiting on it, or about to, when the hold that reset it is destroyed. A
// handle closed under it could be reused by an unrelated object, and a hold's
// own members would be freed memory by then; a handle that lives as long as
// the process is neither.
HANDLE NoApplyWriting()
{
    static const HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    return event;
}

// There is one hold at a time; it touches nothing but that event.
class ConsoleInterruptionHold final : public InterruptionHold {
public:
    ConsoleInterruptionHold()
    {
        if (HANDLE event = NoApplyWriting())
            ResetEvent(event);
        SetConsoleCtrlHandler(&ConsoleInterruptionHold::OnControl, TRUE);
    }
    ~ConsoleInterruptionHold() override
    {
        if (HANDLE event = NoApplyWriting())
            SetEvent(event);
        SetConsoleCtrlHandler(&ConsoleInterruptionHold::OnControl, FALSE);
    }
    ConsoleInterruptionHold(const ConsoleInterruptionHold&) = delete;
    ConsoleInterruptionHold& operator=(const ConsoleInterruptionHold&) = delete;

private:
    // Runs on a thread of its own. Ctrl+C and Ctrl+Break are swallowed: the
    // program ends by itself right after the apply. Closing the console,
    // logging off and shutting down end the process once this returns, so
    // wait for the apply's last write first (Windows allows a few seconds).
    static BOOL WINAPI OnControl(DWORD event)
    {
        HANDLE noApplyWriting = NoApplyWriting();
        if (!noApplyWriting || WaitForSingleObject(noApplyWriting, 0) != WAIT_TIMEOUT)
            return FALSE;
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
            WaitForSingleObject(noApplyWriting, 4000);
        return TRUE;
    }
};

} // namespace

Win32Computer::Win32Computer(LockWait wait) : wait_(std::move(wait)) {}

bool Win32Computer::IsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    UniqueKernelHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size))
        return elevation.TokenIsElevated != 0;
    // No elevation to ask about: administrator rights are membership of Administrators.
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

ApplyLockResult Win32Computer::LockApply(std::uint32_t waitMilliseconds)
{
    return TakeApplyLock(std::make_unique<Win32LockObjects>(wait_), waitMilliseconds);
}

std::unique_ptr<InterruptionHold> Win32Computer::HoldInterruptions()
{
    return std::make_unique<ConsoleInterruptionHold>();
}

bool Win32Computer::Is64BitWindows()
{
    // The machine behind WOW64 as well: a 32-bit build on 64-bit Windows
    // learns that it is, where GetSystemInfo would say x86.
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL;
}

std::wstring Win32Computer::UtcTimeNow()
{
    SYSTEMTIME now{};
    GetSystemTime(&now);
    auto digits = [](unsigned number, int count) {
        std::wstring text(static_cast<std::size_t>(count), L'0');
        for (int i = count - 1; i >= 0; --i, number /= 10)
            text[static_cast<std::size_t>(i)] = static_cast<wchar_t>(L'0' + number % 10);
        return text;
    };
    return digits(now.wYear, 4) + L"-" + digits(now.wMonth, 2) + L"-" + digits(now.wDay, 2) + L"T" +
           digits(now.wHour, 2) + L":" + digits(now.wMinute, 2) + L":" + digits(now.wSecond, 2) + L"Z";
}

} // namespace hostwend
