#include "platform/win32/Win32Computer.h"

#include "platform/win32/LastError.h"
#include "platform/win32/UniqueHandle.h"

#include <sddl.h>

#include <atomic>
#include <utility>

namespace hostwend {
namespace {

// The namespace's name and its boundary: the Administrators group, and no
// session, so the window in a user's session and the console program running
// as SYSTEM meet in the same one.
constexpr wchar_t kNamespaceName[] = L"Hostwend";
constexpr wchar_t kNamespacedMutexName[] = L"Hostwend\\Apply";
// Where there are no private namespaces (Wine among them): one name for the
// whole machine, in every session.
constexpr wchar_t kGlobalMutexName[] = L"Global\\Hostwend.Apply";
// SYSTEM and Administrators only, nothing inherited.
constexpr wchar_t kAdministratorsOnly[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

// The namespace functions exist from Vista, but not in every Windows
// look-alike: imported, their absence would stop the program from starting.
template <typename Function>
Function Kernel32Function(const char* name)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC found = kernel ? GetProcAddress(kernel, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

class Win32LockObjects final : public LockObjects {
public:
    explicit Win32LockObjects(LockWait wait) : wait_(std::move(wait))
    {
        ULONG size = 0;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1, &descriptor,
                                                                 &size))
            descriptor_.reset(descriptor);
        attributes_.lpSecurityDescriptor = descriptor_.get();
    }
    ~Win32LockObjects() override
    {
        mutex_.reset();
        if (namespace_)
            Kernel32Function<BOOLEAN(WINAPI*)(HANDLE, ULONG)>("ClosePrivateNamespace")(namespace_, 0);
        if (boundary_)
            Kernel32Function<VOID(WINAPI*)(HANDLE)>("DeleteBoundaryDescriptor")(boundary_);
    }
    Win32LockObjects(const Win32LockObjects&) = delete;
    Win32LockObjects& operator=(const Win32LockObjects&) = delete;

    std::uint32_t CreateBoundary() override
    {
        auto create = Kernel32Function<HANDLE(WINAPI*)(LPCWSTR, ULONG)>("CreateBoundaryDescriptorW");
        if (!create)
            return ERROR_CALL_NOT_IMPLEMENTED;
        SetLastError(0);
        boundary_ = create(kNamespaceName, 0);
        return boundary_ ? 0 : LastErrorOr(ERROR_CALL_NOT_IMPLEMENTED);
    }
    std::uint32_t AddAdministratorsToBoundary() override
    {
        auto add = Kernel32Function<BOOL(WINAPI*)(HANDLE*, PSID)>("AddSIDToBoundaryDescriptor");
        if (!add)
            return ERROR_CALL_NOT_IMPLEMENTED;
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof(sid);
        if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size))
            return LastErrorOr(ERROR_INVALID_SID);
        return add(&boundary_, sid) ? 0 : LastErrorOr(ERROR_CALL_NOT_IMPLEMENTED);
    }
    std::uint32_t CreateNamespace() override
    {
        if (!descriptor_)
            return ERROR_INVALID_SECURITY_DESCR;
        auto create = Kernel32Function<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR)>(
            "CreatePrivateNamespaceW");
        if (!create)
            return ERROR_CALL_NOT_IMPLEMENTED;
        namespace_ = create(&attributes_, boundary_, kNamespaceName);
        return namespace_ ? 0 : LastErrorOr(ERROR_CALL_NOT_IMPLEMENTED);
    }
    std::uint32_t OpenNamespace() override
    {
        auto open = Kernel32Function<HANDLE(WINAPI*)(LPVOID, LPCWSTR)>("OpenPrivateNamespaceW");
        if (!open)
            return ERROR_CALL_NOT_IMPLEMENTED;
        namespace_ = open(boundary_, kNamespaceName);
        return namespace_ ? 0 : LastErrorOr(ERROR_PATH_NOT_FOUND);
    }
    std::uint32_t CreateLockMutex(LockPlace place) override
    {
        const bool inNamespace = place == LockPlace::PrivateNamespace;
        mutex_.reset(CreateMutexW(inNamespace && descriptor_ ? &attributes_ : nullptr, FALSE, MutexName(place)));
        return mutex_ ? 0 : LastErrorOr(ERROR_INVALID_HANDLE);
    }
    std::uint32_t OpenLockMutex(LockPlace place) override
    {
        mutex_.reset(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, MutexName(place)));
        return mutex_ ? 0 : LastErrorOr(ERROR_ACCESS_DENIED);
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
    static const wchar_t* MutexName(LockPlace place)
    {
        return place == LockPlace::PrivateNamespace ? kNamespacedMutexName : kGlobalMutexName;
    }

    LockWait wait_;
    UniqueLocal descriptor_;
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    HANDLE boundary_ = nullptr;
    HANDLE namespace_ = nullptr;
    UniqueKernelHandle mutex_;
};

// Set while an apply writes; the console's handler thread waits on it.
class ConsoleInterruptionHold final : public InterruptionHold {
public:
    ConsoleInterruptionHold()
    {
        done_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        current_.store(this);
        SetConsoleCtrlHandler(&ConsoleInterruptionHold::OnControl, TRUE);
    }
    ~ConsoleInterruptionHold() override
    {
        current_.store(nullptr);
        if (done_)
            SetEvent(done_.get());
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
        ConsoleInterruptionHold* hold = current_.load();
        if (!hold)
            return FALSE;
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && hold->done_)
            WaitForSingleObject(hold->done_.get(), 4000);
        return TRUE;
    }

    // The console calls a plain function; there is one hold at a time.
    static inline std::atomic<ConsoleInterruptionHold*> current_{nullptr};
    UniqueKernelHandle done_;
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

} // namespace hostwend
