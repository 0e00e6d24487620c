// Measures hostwend.exe against its floors and writes the results as a
// Markdown table. Run under Wine by bench/run.sh, in a prefix that holds a
// TARN client's registry values and an HWD.ini beside the program.
//
//   bench_runner.exe --hostwend EXE --floor EXE --out TABLE.md [--samples FILE.csv]
//                    [--cli EXE] [--floor-show EXE] [--floor-console EXE] [--reach-listener ADDRESS] [--runs N]
//                    [--warmup N] [--apply-runs N] [--reg-runs N] [--floor-class NAME]
//                    [--hostwend-x86 EXE] [--cli-x86 EXE]
//
// --apply-runs 0 leaves the Apply measurements out. --floor-class names the
// window class to wait for in the floor program: with Hostwend.Form1 another
// build of hostwend.exe can stand in as the floor, to compare two builds.
//
// Start-up: from just before CreateProcess until WaitForInputIdle has returned
// and a visible top-level window of the expected class belongs to the process.
// The peak working set is read from the same process at that moment.
// Apply: the eight value updates of one Apply, three ways: ApplyAddress on the
// real registry; the same 32 registry calls in a bare loop; eight reg.exe add.
// With --cli, also one hostwend-cli.exe apply vsat, in the reg.exe rounds, and
// hostwend-cli.exe undo against the apply before it, both as whole processes;
// with --floor-show too, hostwend-cli.exe show as a whole process against a
// program that only reads and prints the eight values, and with
// --floor-console an empty console program beside them. With
// --reach-listener ADDRESS (a loopback
// address), hostwend-cli.exe check lan --reach against a listener this program
// opens on ADDRESS port 7777, beside check lan, both as whole processes.
// Contenders take turns round by round; warm-up rounds are not recorded.
// The sizes of hostwend-cli.exe and of the 32-bit build's programs
// (--hostwend-x86, --cli-x86) are listed beside hostwend.exe's.
#include "platform/win32/Win32Network.h"
#include "platform/win32/Win32Registry.h"
#include "reach/ReachServer.h"
#include "registry/ApplyAddress.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <utility>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using hostwend::RegKey;
using hostwend::RegStatus;

// ---------------------------------------------------------------- timing

double Milliseconds()
{
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

struct Summary {
    std::size_t runs = 0;
    double median = 0, min = 0, max = 0;
};

Summary Summarise(std::vector<double> samples)
{
    Summary s;
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.runs = samples.size();
    s.min = samples.front();
    s.max = samples.back();
    std::size_t mid = samples.size() / 2;
    s.median = samples.size() % 2 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2;
    return s;
}

// The median of the ratios of samples taken side by side, round by round.
double PairedRatio(const std::vector<double>& contender, const std::vector<double>& floor)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < contender.size() && i < floor.size(); ++i)
        if (floor[i] > 0)
            ratios.push_back(contender[i] / floor[i]);
    return Summarise(ratios).median;
}

[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

// ---------------------------------------------------------------- start-up

// A process we started, ended by its own handle when we are done with it.
class StartedProcess {
public:
    StartedProcess() = default;
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;
    ~StartedProcess()
    {
        if (!info.hProcess)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 0);
            WaitForSingleObject(info.hProcess, 10000);
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    PROCESS_INFORMATION info{};
};

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wcscmp(name, search->className) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND VisibleWindow(DWORD processId, const wchar_t* className)
{
    WindowSearch search{processId, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Launch {
    double startupMs;
    double peakWorkingSetKb;
};

constexpr DWORD kLaunchDeadlineMs = 30000;

Launch StartAndWatch(const std::wstring& exe, const wchar_t* className)
{
    std::wstring directory = exe.substr(0, exe.find_last_of(L'\\'));
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    StartedProcess process;

    double start = Milliseconds();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, directory.c_str(),
                        &startup, &process.info))
        Fail("cannot start " + Narrow(exe));
    DWORD idle = WaitForInputIdle(process.info.hProcess, kLaunchDeadlineMs);
    if (idle != 0)
        Fail(Narrow(exe) + " did not become idle");
    // Usually visible already; if not, look again every millisecond.
    while (!VisibleWindow(process.info.dwProcessId, className)) {
        if (Milliseconds() - start > kLaunchDeadlineMs)
            Fail(Narrow(exe) + " showed no visible " + Narrow(className) + " window");
        if (WaitForSingleObject(process.info.hProcess, 1) != WAIT_TIMEOUT)
            Fail(Narrow(exe) + " ended before its window showed");
    }
    double shown = Milliseconds();

    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process.info.hProcess, &counters, sizeof(counters)))
        Fail("cannot read the memory counters of " + Narrow(exe));
    return {shown - start, static_cast<double>(counters.PeakWorkingSetSize) / 1024.0};
}

// ---------------------------------------------------------------- Apply

// The eight values, and what an Apply of an address and port writes to them.
struct Update {
    const char* key;
    const char* name;
    DWORD type;
    std::string text;  // as reg.exe takes it; for REG_SZ also the bytes written
};

constexpr char kClientTcpIp[] = "SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP";
constexpr char kBroadcast[] = "SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP\\BroadcastServer";
constexpr char kClientOdbc[] = "SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC";
constexpr char kOdbcSource[] = "SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database";

std::vector<Update> UpdatesFor(const std::string& address, const std::string& port)
{
    return {
        {kClientTcpIp, "Remote-Addr", REG_SZ, address + ":7777:0"},
        {kClientTcpIp, "UDP-Remote-Addr", REG_SZ, address + ":7777:0"},
        {kBroadcast, "BcastTCPAddress", REG_SZ, address},
        {kBroadcast, "BcastUDPAddress", REG_SZ, "239.255.255.255:" + address},
        {kBroadcast, "BcastUDPPort", REG_DWORD, port},
        {kBroadcast, "DisableTCPBcast", REG_DWORD, "1"},
        {kClientOdbc, "DataBase-IPAddress", REG_SZ, address},
        {kOdbcSource, "Server", REG_SZ, address},
    };
}

// The bytes RegSetValueEx is given, worked out before the clock starts.
struct PreparedUpdate {
    const char* key;
    const char* name;
    std::vector<BYTE> data;
};

std::vector<PreparedUpdate> Prepare(const std::vector<Update>& updates)
{
    std::vector<PreparedUpdate> prepared;
    for (const Update& u : updates) {
        PreparedUpdate p{u.key, u.name, {}};
        if (u.type == REG_SZ) {
            p.data.assign(u.text.begin(), u.text.end());
            p.data.push_back(0);
        } else {
            DWORD number = std::strtoul(u.text.c_str(), nullptr, 10);
            p.data.assign(reinterpret_cast<const BYTE*>(&number), reinterpret_cast<const BYTE*>(&number) + 4);
        }
        prepared.push_back(std::move(p));
    }
    return prepared;
}

// ApplyAddress with the VSAT option set, so that it takes all eight steps.
double TimeApplyAddress(hostwend::Registry& registry, const std::wstring& address, const std::wstring& port)
{
    double start = Milliseconds();
    const bool applied =
        // No values before: every one is written, whatever the last round left.
        hostwend::ApplyAddress(registry, address, port, hostwend::ApplyMode::Write, [] { return true; },
                               hostwend::StepValues{})
            .Succeeded();
    double elapsed = Milliseconds() - start;
    if (!applied)
        throw std::runtime_error("ApplyAddress failed: is the TARN client's registry seeded?");
    return elapsed;
}

// The floor: open, query the type, write, close, for each value, and nothing else.
double TimeBareLoop(const std::vector<PreparedUpdate>& updates)
{
    double start = Milliseconds();
    for (const PreparedUpdate& u : updates) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, u.key, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
            throw std::runtime_error(std::string("cannot open ") + u.key);
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status = RegQueryValueExA(key, u.name, nullptr, &type, nullptr, &size);
        if (status == ERROR_SUCCESS)
            status = RegSetValueExA(key, u.name, 0, type, u.data.data(), static_cast<DWORD>(u.data.size()));
        RegCloseKey(key);
        if (status != ERROR_SUCCESS)
            throw std::runtime_error(std::string("cannot update ") + u.name);
    }
    return Milliseconds() - start;
}

// What an administrator's script would do: one reg.exe add for each value.
std::vector<std::wstring> RegExeCommands(const std::vector<Update>& updates)
{
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::vector<std::wstring> commands;
    for (const Update& u : updates) {
        std::string line = std::string("\"") + Narrow(system) + "\\reg.exe\" add \"HKLM\\" + u.key + "\" /v " +
                           u.name + (u.type == REG_SZ ? " /t REG_SZ" : " /t REG_DWORD") + " /d " + u.text +
                           " /reg:32 /f";
        commands.emplace_back(line.begin(), line.end());
    }
    return commands;
}

// The NUL device, inheritable: standard input, output and error of the console
// programs we start, so that none waits on input or on a full pipe.
class NulDevice {
public:
    NulDevice()
    {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        handle = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            Fail("cannot open NUL");
    }
    NulDevice(const NulDevice&) = delete;
    NulDevice& operator=(const NulDevice&) = delete;
    ~NulDevice() { CloseHandle(handle); }
    HANDLE handle;
};

// Whole processes, one after another, each run to its end: reg.exe add, or
// hostwend-cli.exe. Any exit code but 0, or a process still running after
// 30 s, fails the run.
double TimeProcesses(const std::vector<std::wstring>& commands, const NulDevice& nul)
{
    double start = Milliseconds();
    for (const std::wstring& command : commands) {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.handle;
        StartedProcess process;
        std::wstring line = command;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &startup, &process.info))
            Fail("cannot start " + Narrow(command));
        DWORD code = 1;
        if (WaitForSingleObject(process.info.hProcess, 30000) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process.info.hProcess, &code) || code != 0)
            throw std::runtime_error("failed (exit code " + std::to_string(code) + "): " + Narrow(command));
    }
    return Milliseconds() - start;
}

// ---------------------------------------------------------------- report

struct Options {
    std::wstring hostwend, floor, cli, floorShow, floorConsole, reachListener, out, samples, hostwendX86, cliX86,
        floorClass = L"Hostwend.Floor";
    int runs = 40, warmup = 3, applyRuns = 201, regRuns = 15;
};

Options Parse(int argc, wchar_t** argv)
{
    Options o;
    for (int i = 1; i < argc; i += 2) {
        std::wstring flag = argv[i];
        if (i + 1 == argc)
            throw std::runtime_error("no value after " + Narrow(flag));
        std::wstring value = argv[i + 1];
        if (flag == L"--hostwend") o.hostwend = value;
        else if (flag == L"--floor") o.floor = value;
        else if (flag == L"--cli") o.cli = value;
        else if (flag == L"--floor-show") o.floorShow = value;
        else if (flag == L"--floor-console") o.floorConsole = value;
        else if (flag == L"--reach-listener") o.reachListener = value;
        else if (flag == L"--out") o.out = value;
        else if (flag == L"--samples") o.samples = value;
        else if (flag == L"--floor-class") o.floorClass = value;
        else if (flag == L"--hostwend-x86") o.hostwendX86 = value;
        else if (flag == L"--cli-x86") o.cliX86 = value;
        else if (flag == L"--runs") o.runs = std::max(1, _wtoi(value.c_str()));
        else if (flag == L"--warmup") o.warmup = std::max(0, _wtoi(value.c_str()));
        else if (flag == L"--apply-runs") o.applyRuns = std::max(0, _wtoi(value.c_str()));
        else if (flag == L"--reg-runs") o.regRuns = std::max(1, _wtoi(value.c_str()));
        else throw std::runtime_error("unknown option " + Narrow(flag));
    }
    if (o.hostwend.empty() || o.floor.empty() || o.out.empty())
        throw std::runtime_error(
            "usage: bench_runner --hostwend EXE --floor EXE --out TABLE.md [--samples FILE.csv] [--cli EXE] "
            "[--floor-show EXE] [--floor-console EXE] [--reach-listener ADDRESS] [--runs N] [--warmup N] "
            "[--apply-runs N] [--reg-runs N] [--floor-class NAME] [--hostwend-x86 EXE] [--cli-x86 EXE]");
    o.regRuns = std::min(o.regRuns, o.applyRuns);
    return o;
}

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

struct Row {
    std::string measure, contender, unit;
    Summary summary;
    double ratio = 0, paired = 0;  // 0: no ratio to show
    std::string target;            // as shown; limit 0 when there is nothing to meet
    double limit = 0;
};

std::string Cell(double value, const std::string& unit)
{
    if (unit == "ms")
        return Format(value < 10 ? "%.3f ms" : "%.1f ms", value);
    if (unit == "KB")
        return Format("%.0f KB", value);
    return Format("%.0f", value) + " " + unit;
}

std::string Table(const std::vector<Row>& rows)
{
    std::string md =
        "| Measure | Contender | Runs | Median | Min | Max | Ratio to floor (medians) | Ratio, paired | Target | Met |\n"
        "|---|---|---:|---:|---:|---:|---:|---:|---|---|\n";
    for (const Row& r : rows) {
        const Summary& s = r.summary;
        bool hasRatio = r.ratio > 0;
        // A ratio is met only when the paired one is too: both are targets.
        bool within = hasRatio ? r.ratio <= r.limit && (r.paired <= 0 || r.paired <= r.limit) : s.median <= r.limit;
        std::string met = r.limit <= 0 ? "" : (within ? "yes" : "**no**");
        md += "| " + r.measure + " | " + r.contender + " | " + std::to_string(s.runs) + " | " + Cell(s.median, r.unit) +
              " | " + Cell(s.min, r.unit) + " | " + Cell(s.max, r.unit) + " | " +
              (hasRatio ? Format("%.2f", r.ratio) : "") + " | " + (r.paired > 0 ? Format("%.2f", r.paired) : "") +
              " | " + r.target + " | " + met + " |\n";
    }
    return md;
}

void WriteText(const std::wstring& path, const std::string& text)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        throw std::runtime_error("cannot write " + Narrow(path));
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

double FileKb(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        Fail("cannot read the size of " + Narrow(path));
    return static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) / 1024.0;
}

// hostwend-cli takes its address from a profile: one for each address, in the
// temporary folder while the run lasts.
class CliProfile {
public:
    CliProfile(const std::string& name, const std::string& address, const std::string& port,
               const std::string& addressKey = "VsatAddress")
    {
        wchar_t temp[MAX_PATH] = {};
        if (!GetTempPathW(MAX_PATH, temp))
            Fail("cannot find the temporary folder");
        path = temp + std::wstring(name.begin(), name.end());
        WriteText(path, "[SETUP]\r\n" + addressKey + "=" + address + "\r\nBcastUDPPort=" + port + "\r\n");
    }
    CliProfile(const CliProfile&) = delete;
    CliProfile& operator=(const CliProfile&) = delete;
    ~CliProfile() { DeleteFileW(path.c_str()); }
    std::wstring path;
};

// A TCP listener on a loopback address, port 7777, for check --reach to reach.
// Connections are accepted and closed between the timed processes, so the
// queue never fills.
class LoopbackListener {
public:
    explicit LoopbackListener(const std::wstring& address)
    {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(7777);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (listener_ == INVALID_SOCKET || InetPtonW(AF_INET, address.c_str(), &where.sin_addr) != 1 ||
            bind(listener_, reinterpret_cast<const sockaddr*>(&where), sizeof(where)) != 0 ||
            listen(listener_, SOMAXCONN) != 0) {
            const int error = WSAGetLastError();
            Close();
            throw std::runtime_error("cannot listen on " + Narrow(address) + ":7777 (error " +
                                     std::to_string(error) + ")");
        }
        // Not for the programs started meanwhile.
        SetHandleInformation(reinterpret_cast<HANDLE>(listener_), HANDLE_FLAG_INHERIT, 0);
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;
    ~LoopbackListener() { Close(); }

    // The floor of a probe: one connection opened and closed, the address
    // worked out before the clock starts.
    double TimeBareConnect() const
    {
        sockaddr_in where{};
        int size = sizeof(where);
        if (getsockname(listener_, reinterpret_cast<sockaddr*>(&where), &size) != 0)
            throw std::runtime_error("getsockname failed");
        const double start = Milliseconds();
        const SOCKET connection = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        const bool connected =
            connection != INVALID_SOCKET && connect(connection, reinterpret_cast<const sockaddr*>(&where), size) == 0;
        if (connection != INVALID_SOCKET)
            closesocket(connection);
        const double elapsed = Milliseconds() - start;
        if (!connected)
            throw std::runtime_error("the bare connection to the listener failed");
        return elapsed;
    }

    // Accepts and closes what has arrived; returns how many.
    int Drain()
    {
        int accepted = 0;
        for (;;) {
            fd_set waiting;
            FD_ZERO(&waiting);
            FD_SET(listener_, &waiting);
            timeval now{0, 0};
            if (select(0, &waiting, nullptr, nullptr, &now) != 1)
                return accepted;
            const SOCKET connection = accept(listener_, nullptr, nullptr);
            if (connection == INVALID_SOCKET)
                return accepted;
            closesocket(connection);
            ++accepted;
        }
    }

private:
    void Close()
    {
        if (listener_ != INVALID_SOCKET)
            closesocket(listener_);
        listener_ = INVALID_SOCKET;
        WSACleanup();
    }
    SOCKET listener_ = INVALID_SOCKET;
};

int Run(const Options& o)
{
    std::map<std::string, std::vector<double>> samples;
    auto keep = [&](bool record, const char* name, double value) {
        if (record)
            samples[name].push_back(value);
    };

    // Start-up and memory: hostwend.exe and the floor take turns.
    for (int round = 0; round < o.warmup + o.runs; ++round) {
        bool record = round >= o.warmup;
        Launch program = StartAndWatch(o.hostwend, L"Hostwend.Form1");
        Launch floor = StartAndWatch(o.floor, o.floorClass.c_str());
        keep(record, "startup.hostwend", program.startupMs);
        keep(record, "startup.floor", floor.startupMs);
        keep(record, "memory.hostwend", program.peakWorkingSetKb);
        keep(record, "memory.floor", floor.peakWorkingSetKb);
        std::fprintf(stderr, "start-up %2d%s: hostwend %7.1f ms %6.0f KB, floor %7.1f ms %6.0f KB\n", round,
                     record ? "" : " (warm-up)", program.startupMs, program.peakWorkingSetKb, floor.startupMs,
                     floor.peakWorkingSetKb);
    }

    // The console program's start-up: a whole "show" against its floor, which
    // reads and prints the eight values and nothing more, the order swapped
    // from round to round; then an empty console program, what any start costs.
    // In the same rounds, an apply and its undo: undo needs an apply before
    // it, and puts back what the round began with, so every round's apply
    // changes the same values.
    const NulDevice nul;
    const bool consoleStartup = !o.cli.empty() && !o.floorShow.empty();
    const bool emptyConsole = consoleStartup && !o.floorConsole.empty();
    const bool undoPairs = !o.cli.empty();
    // The client as installed (port 7777, broadcast on), and a profile that
    // differs from it in all eight values, so that undo puts back all eight.
    // Written once with the bare calls: a run stopped between an apply and
    // its undo would otherwise leave the values the next run's apply writes.
    const CliProfile undoProfile("hostwend-bench-undo.ini", "10.20.30.40", "7778");
    if (undoPairs) {
        std::vector<Update> installed = UpdatesFor("192.168.1.10", "7777");
        for (Update& update : installed)
            if (std::strcmp(update.name, "DisableTCPBcast") == 0)
                update.text = "0";
        TimeBareLoop(Prepare(installed));
    }
    const std::wstring applyForUndo = L"\"" + o.cli + L"\" --profile \"" + undoProfile.path + L"\" apply vsat";
    const std::wstring undo = L"\"" + o.cli + L"\" undo";
    for (int round = 0; (consoleStartup || undoPairs) && round < o.warmup + o.runs; ++round) {
        bool record = round >= o.warmup;
        double showMs = 0, floorMs = 0, emptyMs = 0, applyMs = 0, undoMs = 0;
        for (int turn = 0; consoleStartup && turn < 2; ++turn) {
            if ((turn == 0) == (round % 2 == 0))
                showMs = TimeProcesses({L"\"" + o.cli + L"\" show"}, nul);
            else
                floorMs = TimeProcesses({L"\"" + o.floorShow + L"\""}, nul);
        }
        if (emptyConsole)
            emptyMs = TimeProcesses({L"\"" + o.floorConsole + L"\""}, nul);
        if (consoleStartup) {
            keep(record, "console.show", showMs);
            keep(record, "console.floor_show", floorMs);
        }
        if (emptyConsole)
            keep(record, "console.empty", emptyMs);
        // Both must exit 0: an undo refused or with nothing to undo ends early.
        if (undoPairs) {
            applyMs = TimeProcesses({applyForUndo}, nul);
            undoMs = TimeProcesses({undo}, nul);
            keep(record, "undo.apply", applyMs);
            keep(record, "undo.undo", undoMs);
        }
        std::fprintf(stderr,
                     "console %2d%s: show %7.1f ms, floor_show %7.1f ms, empty %7.1f ms; "
                     "apply %7.1f ms, undo %7.1f ms\n",
                     round, record ? "" : " (warm-up)", showMs, floorMs, emptyMs, applyMs, undoMs);
    }

    // check lan and check lan --reach against a listener on this computer, in
    // turns, the order swapped each round: what the probe adds to a whole run.
    if (!o.cli.empty() && !o.reachListener.empty()) {
        const std::string address(o.reachListener.begin(), o.reachListener.end());
        const CliProfile reachProfile("hostwend-bench-reach.ini", address, "7777", "LanAddress");
        const std::wstring check = L"\"" + o.cli + L"\" --profile \"" + reachProfile.path + L"\" check lan";
        LoopbackListener listener(o.reachListener);
        for (int round = 0; round < o.warmup + o.runs; ++round) {
            bool record = round >= o.warmup;
            double checkMs = 0, reachMs = 0;
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == (round % 2 == 0)) {
                    checkMs = TimeProcesses({check}, nul);
                } else {
                    reachMs = TimeProcesses({check + L" --reach"}, nul);
                    if (listener.Drain() != 1)
                        throw std::runtime_error("check --reach did not connect to the listener exactly once");
                }
            }
            keep(record, "check.plain", checkMs);
            keep(record, "check.reach", reachMs);
            keep(record, "check.added", reachMs - checkMs);
            std::fprintf(stderr, "check %2d%s: check lan %7.1f ms, check lan --reach %7.1f ms\n", round,
                         record ? "" : " (warm-up)", checkMs, reachMs);
        }
        // The probe alone, in this process, against the same listener and in
        // more rounds than processes allow: ReachServer as the program runs
        // it, and one bare connection.
        hostwend::Win32Network network;
        for (int round = 0; round < o.warmup + 5 * o.runs; ++round) {
            bool record = round >= o.warmup;
            double bareMs = 0, probeMs = 0;
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == (round % 2 == 0)) {
                    bareMs = listener.TimeBareConnect();
                } else {
                    const double start = Milliseconds();
                    const bool reached = hostwend::ReachServer(network, o.reachListener, 5000).reachable;
                    probeMs = Milliseconds() - start;
                    if (!reached)
                        throw std::runtime_error("ReachServer did not reach the listener");
                }
            }
            if (listener.Drain() != 2)
                throw std::runtime_error("the probes did not connect to the listener once each");
            keep(record, "probe.bare", bareMs);
            keep(record, "probe.own", probeMs);
            keep(record, "probe.added", probeMs - bareMs);
        }
    }

    // Apply: two addresses in turn, so that every round really changes the
    // values; in a round every contender writes the same ones.
    const std::array<std::string, 2> addresses{"172.20.4.2", "10.8.0.1"};
    const std::string port = "7777";
    std::array<std::vector<PreparedUpdate>, 2> prepared;
    std::array<std::vector<std::wstring>, 2> regCommands;
    std::array<std::wstring, 2> wideAddresses;
    for (std::size_t i = 0; i < 2; ++i) {
        prepared[i] = Prepare(UpdatesFor(addresses[i], port));
        regCommands[i] = RegExeCommands(UpdatesFor(addresses[i], port));
        wideAddresses[i].assign(addresses[i].begin(), addresses[i].end());
    }
    const std::wstring widePort(port.begin(), port.end());
    const CliProfile cliProfiles[2] = {{"hostwend-bench-0.ini", addresses[0], port},
                                       {"hostwend-bench-1.ini", addresses[1], port}};
    // An apply writes only the values that change: the console program's
    // apply takes the other address than its round's, which the contenders
    // before it have written already, so that it writes as an operator's does
    // (the six values that hold the address; the port and DisableTCPBcast
    // already hold theirs).
    std::array<std::wstring, 2> cliCommands;
    for (std::size_t i = 0; i < 2; ++i)
        cliCommands[i] = L"\"" + o.cli + L"\" --profile \"" + cliProfiles[1 - i].path + L"\" apply vsat";
    hostwend::Win32Registry registry;

    for (int round = 0; o.applyRuns > 0 && round < o.warmup + o.applyRuns; ++round) {
        bool record = round >= o.warmup;
        int r = round - o.warmup;
        std::size_t which = static_cast<std::size_t>(round) % 2;
        keep(record, "apply.own", TimeApplyAddress(registry, wideAddresses[which], widePort));
        keep(record, "apply.bare", TimeBareLoop(prepared[which]));
        // reg.exe costs whole processes: fewer rounds, spread evenly over the run.
        bool regRound = !record ? round == 0 : (r * o.regRuns) / o.applyRuns != ((r + 1) * o.regRuns) / o.applyRuns;
        if (regRound) {
            double regMs = TimeProcesses(regCommands[which], nul);
            keep(record, "apply.regexe", regMs);
            double cliMs = o.cli.empty() ? 0 : TimeProcesses({cliCommands[which]}, nul);
            if (!o.cli.empty())
                keep(record, "apply.cli", cliMs);
            std::fprintf(stderr, "apply %3d%s: reg.exe x8 %.1f ms, hostwend-cli %.1f ms\n", round,
                         record ? "" : " (warm-up)", regMs, cliMs);
        }
    }

    std::vector<Row> rows;
    auto summary = [&](const char* name) { return Summarise(samples[name]); };
    Summary startFloor = summary("startup.floor"), startOwn = summary("startup.hostwend");
    rows.push_back({"Start-up", "floor_window.exe (floor)", "ms", startFloor, 0, 0, "", 0});
    rows.push_back({"Start-up", "hostwend.exe", "ms", startOwn, startOwn.median / startFloor.median,
                    PairedRatio(samples["startup.hostwend"], samples["startup.floor"]), "≤ 1.25 × floor", 1.25});
    if (consoleStartup) {
        Summary floorShow = summary("console.floor_show"), show = summary("console.show");
        rows.push_back({"Console start-up", "floor_show.exe, the eight values read and printed (floor)", "ms",
                        floorShow, 0, 0, "", 0});
        rows.push_back({"Console start-up", "hostwend-cli.exe show (whole process)", "ms", show,
                        show.median / floorShow.median,
                        PairedRatio(samples["console.show"], samples["console.floor_show"]), "≤ 1.1 × floor", 1.1});
        if (emptyConsole) {
            Summary empty = summary("console.empty");
            rows.push_back({"Console start-up", "floor_console.exe, an empty console program", "ms", empty,
                            empty.median / floorShow.median,
                            PairedRatio(samples["console.empty"], samples["console.floor_show"]), "for comparison", 0});
        }
    }
    if (undoPairs) {
        Summary apply = summary("undo.apply"), undone = summary("undo.undo");
        rows.push_back({"Undo (whole process)", "hostwend-cli.exe apply vsat, eight values changed (floor)", "ms",
                        apply, 0, 0, "", 0});
        rows.push_back({"Undo (whole process)", "hostwend-cli.exe undo of that apply, eight values put back", "ms",
                        undone, undone.median / apply.median, PairedRatio(samples["undo.undo"], samples["undo.apply"]),
                        "≤ 1.1 × apply", 1.1});
    }
    if (!o.cli.empty() && !o.reachListener.empty()) {
        Summary plain = summary("check.plain"), reach = summary("check.reach");
        rows.push_back({"Check (whole process)", "hostwend-cli.exe check lan (floor)", "ms", plain, 0, 0, "", 0});
        rows.push_back({"Check (whole process)", "hostwend-cli.exe check lan --reach, loopback listener", "ms", reach,
                        reach.median / plain.median, PairedRatio(samples["check.reach"], samples["check.plain"]),
                        "for comparison", 0});
        rows.push_back({"Check (whole process)", "--reach added (difference, paired)", "ms", summary("check.added"), 0,
                        0, "for comparison", 0});
        Summary bareProbe = summary("probe.bare"), ownProbe = summary("probe.own");
        rows.push_back({"Reach probe (in process)", "socket, connect, closesocket on loopback (floor)", "ms", bareProbe,
                        0, 0, "", 0});
        rows.push_back({"Reach probe (in process)", "ReachServer through Win32Network (the program's code path)", "ms",
                        ownProbe, ownProbe.median / bareProbe.median,
                        PairedRatio(samples["probe.own"], samples["probe.bare"]), "for comparison", 0});
        rows.push_back({"Reach probe (in process)", "ReachServer added (difference, paired)", "ms",
                        summary("probe.added"), 0, 0, "≤ 5 ms", 5});
    }
    Summary bare = summary("apply.bare"), own = summary("apply.own"), reg = summary("apply.regexe"),
            cli = summary("apply.cli");
    if (o.applyRuns > 0) {
        rows.push_back({"Apply (8 updates)", "32 registry calls, bare loop (floor)", "ms", bare, 0, 0, "", 0});
        rows.push_back({"Apply (8 updates)", "ApplyAddress (the program's code path)", "ms", own, own.median / bare.median,
                        PairedRatio(samples["apply.own"], samples["apply.bare"]), "≤ 1.2 × floor", 1.2});
        rows.push_back({"Apply (8 updates)", "8 × reg.exe add", "ms", reg, reg.median / bare.median, 0,
                        "for comparison", 0});
        if (!o.cli.empty())
            rows.push_back({"Apply (8 updates)", "hostwend-cli.exe apply vsat (whole process)", "ms", cli,
                            cli.median / bare.median, 0, "for comparison", 0});
    }
    Summary memFloor = summary("memory.floor"), memOwn = summary("memory.hostwend");
    rows.push_back({"Peak working set", "floor_window.exe (floor)", "KB", memFloor, 0, 0, "", 0});
    rows.push_back({"Peak working set", "hostwend.exe", "KB", memOwn, memOwn.median / memFloor.median,
                    PairedRatio(samples["memory.hostwend"], samples["memory.floor"]), "≤ 1.3 × floor", 1.3});
    double ownKb = FileKb(o.hostwend), floorKb = FileKb(o.floor);
    rows.push_back({"File size", "floor_window.exe", "KB", {1, floorKb, floorKb, floorKb}, 0, 0, "", 0});
    rows.push_back({"File size", "hostwend.exe", "KB", {1, ownKb, ownKb, ownKb}, 0, 0, "≤ 300 KB", 300});
    const std::pair<const std::wstring*, const char*> others[] = {{&o.cli, "hostwend-cli.exe"},
                                                                  {&o.hostwendX86, "hostwend.exe, 32-bit build"},
                                                                  {&o.cliX86, "hostwend-cli.exe, 32-bit build"}};
    for (const auto& [path, name] : others) {
        if (path->empty())
            continue;
        const double kb = FileKb(*path);
        rows.push_back({"File size", name, "KB", {1, kb, kb, kb}, 0, 0, "for comparison", 0});
    }
    WriteText(o.out, Table(rows));

    if (!o.samples.empty()) {
        std::string csv = "series,index,value\n";
        for (const auto& [name, values] : samples)
            for (std::size_t i = 0; i < values.size(); ++i)
                csv += name + "," + std::to_string(i) + "," + Format("%.4f", values[i]) + "\n";
        WriteText(o.samples, csv);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        return Run(Parse(argc, argv));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_runner: %s\n", error.what());
        return 1;
    }
}
