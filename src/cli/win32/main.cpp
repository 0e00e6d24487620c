#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "terms/Terms.h"
#include "cli/Report.h"
#include "cli/win32/Console.h"
#include "platform/win32/DllSearch.h"
#include "platform/DecimalText.h"
#include "platform/win32/Win32Computer.h"
#include "platform/win32/Win32Network.h"
#include "platform/win32/Win32EventLog.h"
#include "platform/win32/Win32ProfileFiles.h"
#include "platform/win32/Win32Registry.h"

#include <csignal>
#include <exception>
#include <string>
#include <vector>

#include <windows.h>

using namespace hostwend;
using namespace hostwend::cli;

namespace {

// A relative --profile path is taken from the current directory; the profile
// read itself would look for it in the Windows directory.
std::wstring FullPath(const std::wstring& path)
{
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(size);
    return full;
}

// The line a crash writes, made at start-up and never changed: by the time
// something has gone wrong the heap may be corrupt or a lock held for good,
// so the crash path neither allocates nor converts.
const std::string& InternalErrorLine()
{
    static const std::string line =
        BytesFor(STD_ERROR_HANDLE, L"hostwend-cli: " + std::wstring(kInternalError) + L"\r\n");
    return line;
}

// Whatever ends the program unexpectedly ends it with kExitInternalError:
// the C runtime's abort() would exit with 3, which deployment tools are told
// means a refused profile value, and a crash with an exception code.
// TerminateProcess, not ExitProcess: that would run DLL detach code under the
// loader lock, which the failure may hold.
void EndWithInternalError()
{
    const std::string& line = InternalErrorLine();
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    TerminateProcess(GetCurrentProcess(), kExitInternalError);
}

void OnAbort(int) { EndWithInternalError(); }

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*)
{
    EndWithInternalError();
    return EXCEPTION_EXECUTE_HANDLER;
}

void EndUnexpectedFailuresAsInternalErrors()
{
    InternalErrorLine();  // made before any handler can need it
    std::signal(SIGABRT, OnAbort);
    std::set_terminate(EndWithInternalError);
    SetUnhandledExceptionFilter(OnUnhandledException);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    EndUnexpectedFailuresAsInternalErrors();
    RestrictDllSearch();
    // Unattended: no system dialog may wait for a click that never comes.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    const Arguments arguments = ParseArguments(std::vector<std::wstring>(argv + 1, argv + argc));
    if (arguments.help) {
        Write(STD_OUTPUT_HANDLE, UsageText());
        return kExitDone;
    }
    if (!arguments.usageError.empty()) {
        Write(STD_ERROR_HANDLE, L"hostwend-cli: " + arguments.usageError + L"\r\nhostwend-cli: " +
                                    std::wstring(UsageHint()) + L"\r\n");
        return kExitUsage;
    }

    Win32Registry registry;
    Win32ProfileFiles files;
    Win32Computer computer;
    Win32Network network;
    ProfileState state;
    const std::wstring profilePath = arguments.profilePath
                                         ? FullPath(*arguments.profilePath)
                                         : files.ProgramDirectory() + std::wstring(kProfileFileSuffix);
    Win32EventLog eventLog;
    // The one line written before the end: said at once, while this apply
    // waits and holds nothing. The apply is on record as it ends, before
    // output that a full pipe may hold up.
    const CommandResult result =
        RunCommand({registry, files, computer, eventLog}, network, state, arguments, profilePath,
                   [] { Write(STD_ERROR_HANDLE, TextWaiting()); });

    // Written only now, with the apply lock released and every step done: a
    // console paused by a selection, or a full pipe, cannot hold an apply
    // half-way or keep another waiting.
    if (arguments.json) {
        Write(STD_OUTPUT_HANDLE, JsonDocument(result));
    } else {
        std::wstring text;
        if (result.started) {
            text = TextHeader(result);
            for (const ValueReport& value : result.steps)
                text += TextStep(value, result.windows64);
        }
        Write(STD_OUTPUT_HANDLE, text + TextFooter(result));
    }
    Write(STD_ERROR_HANDLE, TextDiagnostics(result));
    if (result.eventError != 0)
        Write(STD_ERROR_HANDLE, L"hostwend-cli: this " +
                                    std::wstring(result.command == CommandName::Undo ? L"undo" : L"apply") +
                                    L" could not be recorded in the event log (Windows error " +
                                    DecimalText(result.eventError) + L")\r\n");
    return result.exitCode;
}
