// The TARN client's registry for tests driven from outside Wine: seeds,
// damages and reads it, all in one process per call, since every start of a
// Windows program under Wine costs far more than the work itself.
//   tarnreg.exe COMMAND [ARGS] [COMMAND [ARGS]]...
// Commands, run in order:
//   wipe | seed                  no client | a client holding "old", port 1, flag 0
//   set STEP TYPE HEX            value STEP (1-8) of type TYPE (a number) with the
//                                given bytes, through the wide functions
//   delete-value STEP | delete-key PATH   (PATH below HKLM, 32-bit view)
//   values                       prints {"values": [[type, "hex"] or null, x8]}
//   snapshot                     prints {"snapshot": {"keys": [...], "values": {id: [type, "hex"]}}}
//   lock COUNT MS                takes the apply mutex, made as a Hostwend makes it
//                                (prints {"locked": true}),
//                                waits until COUNT hostwend-cli.exe processes
//                                exist, then up to MS for any of them to end;
//                                prints {"lock": {"running": n, "ended": m}}
//   unlock                       releases it
//   squat                        makes an event of the apply mutex's name (prints
//                                {"squatting": true}) and keeps it until its
//                                standard input ends, as a hostile user might
//   hold-mutex [taken] [mine]    makes the apply mutex with default security, or
//                                owned by this process's user (mine), taken or not
//                                (prints {"holding": true}), and keeps it until its
//                                standard input ends or it is stopped
//   crash-cli                    starts a thread at address 0 in every running
//                                hostwend-cli.exe, a crash from outside its own
//                                code (prints {"crashed": n})
// Each printed document is one line. Exit code 0, or 2 on a bad command.
#include "TarnClient.h"
#include "TarnRegistry.h"

#include "ProgramUnderTest.h"

#include <sddl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace hostwend::driver;
using hostwend::testing::kTarnValues;

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::string Hex(const std::vector<BYTE>& bytes)
{
    std::string out;
    for (BYTE b : bytes) {
        out.push_back("0123456789abcdef"[b >> 4]);
        out.push_back("0123456789abcdef"[b & 15]);
    }
    return out;
}

std::vector<BYTE> Bytes(const std::wstring& hex)
{
    std::vector<BYTE> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<BYTE>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Key and value names here are ASCII; only the quote and backslash need escaping.
std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string JsonValue(const RegData& value)
{
    std::string json = "[";
    json.append(std::to_string(value.type)).append(", \"").append(Hex(value.data)).append("\"]");
    return json;
}

void PrintLine(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::vector<UniqueHandle> ConsolePrograms(DWORD access = SYNCHRONIZE)
{
    std::vector<UniqueHandle> found;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        snapshot.release();
        return found;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, L"hostwend-cli.exe") == 0)
            if (HANDLE process = OpenProcess(access, FALSE, entry.th32ProcessID))
                found.emplace_back(process);
    return found;
}

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};
using UniqueLocal = std::unique_ptr<void, LocalFreer>;

// A descriptor whose owner is the user this process runs as, open to everyone.
UniqueLocal OwnedByThisUser()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        throw std::runtime_error("no process token");
    UniqueHandle owned(token);
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    wchar_t* sid = nullptr;
    if (!GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid))
        throw std::runtime_error("no user SID");
    const std::wstring sddl = L"O:" + std::wstring(sid) + L"D:(A;;GA;;;WD)";
    LocalFree(sid);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        throw std::runtime_error("no descriptor");
    return UniqueLocal(descriptor);
}

void WaitForStandardInputToEnd()
{
    char ignored[64];
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), ignored, sizeof(ignored), &read, nullptr) && read > 0) {
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    UniqueHandle mutex;
    std::vector<std::wstring> args(argv + 1, argv + argc);
    auto step = [](const std::wstring& text) { return static_cast<std::size_t>(std::stoul(text) - 1); };
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::wstring& command = args[i];
            auto next = [&]() -> const std::wstring& {
                if (++i >= args.size())
                    throw std::invalid_argument("missing argument");
                return args[i];
            };
            if (command == L"wipe") {
                WipeTarnKeys();
            } else if (command == L"seed") {
                SeedTarnClient();
            } else if (command == L"set") {
                const std::size_t index = step(next());
                const DWORD type = std::stoul(next());
                SeedTarnValueW(index, RegData{type, Bytes(next())});
            } else if (command == L"delete-value") {
                RemoveTarnValue(step(next()));
            } else if (command == L"delete-key") {
                const std::wstring& path = next();
                RemoveTarnKey(std::string(path.begin(), path.end()));
            } else if (command == L"values") {
                std::string line = "{\"values\": [";
                for (std::size_t s = 0; s < kTarnValues.size(); ++s) {
                    const std::optional<RegData> value = ReadTarnValueW(s);
                    line += (s ? ", " : "") + (value ? JsonValue(*value) : std::string("null"));
                }
                PrintLine(line + "]}");
            } else if (command == L"snapshot") {
                const Snapshot snapshot = TakeSnapshot();
                std::string line = "{\"snapshot\": {\"keys\": [";
                bool first = true;
                for (const std::string& key : snapshot.keys) {
                    line += (first ? "" : ", ") + JsonString(key);
                    first = false;
                }
                line += "], \"values\": {";
                first = true;
                for (const auto& [id, value] : snapshot.values) {
                    line += (first ? "" : ", ") + JsonString(id) + ": " + JsonValue(value);
                    first = false;
                }
                PrintLine(line + "}}}");
            } else if (command == L"lock") {
                const std::size_t count = std::stoul(next());
                const auto hold = std::chrono::milliseconds(std::stoul(next()));
                mutex.reset(CreateApplyMutex(false));
                if (!mutex || WaitForSingleObject(mutex.get(), 10000) != WAIT_OBJECT_0)
                    throw std::runtime_error("the apply mutex was not ours within 10 s");
                PrintLine("{\"locked\": true}");
                std::vector<UniqueHandle> programs;
                WaitUntil([&] { return (programs = ConsolePrograms()).size() >= count; }, 20s);
                std::vector<HANDLE> handles;
                for (const UniqueHandle& program : programs)
                    handles.push_back(program.get());
                // Any that ends while the mutex is ours has not waited for it.
                std::size_t ended = 0;
                if (!handles.empty()) {
                    WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                           static_cast<DWORD>(hold.count()));
                    for (HANDLE handle : handles)
                        ended += WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
                }
                PrintLine("{\"lock\": {\"running\": " + std::to_string(programs.size()) +
                          ", \"ended\": " + std::to_string(ended) + "}}");
            } else if (command == L"unlock") {
                if (mutex)
                    ReleaseMutex(mutex.get());
            } else if (command == L"squat") {
                UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, L"Global\\Hostwend.Apply"));
                if (!event)
                    throw std::runtime_error("the apply mutex's name was not free for an event");
                PrintLine("{\"squatting\": true}");
                WaitForStandardInputToEnd();
            } else if (command == L"hold-mutex") {
                bool taken = false;
                bool mine = false;
                for (; i + 1 < args.size() && (args[i + 1] == L"taken" || args[i + 1] == L"mine"); ++i)
                    (args[i + 1] == L"taken" ? taken : mine) = true;
                // As any program that does not know better makes it, or as a
                // standard user on Windows would own it.
                UniqueLocal descriptor;
                if (mine)
                    descriptor = OwnedByThisUser();
                SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
                UniqueHandle held(CreateMutexW(mine ? &attributes : nullptr, taken, L"Global\\Hostwend.Apply"));
                if (!held || GetLastError() == ERROR_ALREADY_EXISTS)
                    throw std::runtime_error("the apply mutex's name was not free");
                PrintLine("{\"holding\": true}");
                WaitForStandardInputToEnd();
            } else if (command == L"crash-cli") {
                std::size_t crashed = 0;
                for (const UniqueHandle& program : ConsolePrograms(PROCESS_ALL_ACCESS)) {
                    UniqueHandle thread(CreateRemoteThread(program.get(), nullptr, 0, nullptr, nullptr, 0, nullptr));
                    crashed += thread != nullptr;
                }
                PrintLine("{\"crashed\": " + std::to_string(crashed) + "}");
            } else {
                throw std::invalid_argument("unknown command");
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarnreg: %s\n", error.what());
        return 2;
    }
    return 0;
}
