#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Report.h"
#include "cli/win32/Console.h"
#include "platform/win32/DllSearch.h"
#include "platform/win32/Win32Platform.h"

#include <string>
#include <vector>

#include <windows.h>

using namespace hostwend;
using namespace hostwend::cli;

namespace {

// Text mode shows the header and each step as they happen; JSON waits for
// the whole result. Warnings go to standard error in both.
class ConsoleProgress final : public Progress {
public:
    explicit ConsoleProgress(bool json) : json_(json) {}
    void Started(const CommandResult& result) override
    {
        if (!json_)
            Write(STD_OUTPUT_HANDLE, TextHeader(result));
    }
    void StepDone(const StepOutcome& outcome) override
    {
        if (!json_)
            Write(STD_OUTPUT_HANDLE, TextStep(outcome));
    }

private:
    bool json_;
};

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

} // namespace

int wmain(int argc, wchar_t** argv)
{
    RestrictDllSearch();
    // Unattended: no system dialog may wait for a click that never comes.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    const Arguments arguments = ParseArguments(std::vector<std::wstring>(argv + 1, argv + argc));
    if (arguments.help) {
        Write(STD_OUTPUT_HANDLE, UsageText());
        return kExitDone;
    }
    if (!arguments.usageError.empty()) {
        Write(STD_ERROR_HANDLE, L"hostwend-cli: " + arguments.usageError + L"\r\n\r\n" + std::wstring(UsageText()));
        return kExitUsage;
    }

    Win32Platform platform;  // no window: nothing here shows a message box
    ProfileState state;
    const std::wstring profilePath = arguments.profilePath
                                         ? FullPath(*arguments.profilePath)
                                         : platform.ProgramDirectory() + std::wstring(kProfileFileSuffix);
    ConsoleProgress progress(arguments.json);
    const CommandResult result = RunCommand(platform, state, arguments, profilePath, progress);

    if (arguments.json)
        Write(STD_OUTPUT_HANDLE, JsonDocument(result));
    else
        Write(STD_OUTPUT_HANDLE, TextFooter(result));
    Write(STD_ERROR_HANDLE, TextDiagnostics(result));
    return result.exitCode;
}
