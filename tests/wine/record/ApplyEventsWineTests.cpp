#include "ProgramUnderTest.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

namespace hostwend {
namespace {

using driver::ProgramPath;

// A built program loaded as Event Viewer loads an event source's message
// file: for its resources only, none of its code run.
class MessageFile {
public:
    explicit MessageFile(const std::wstring& path)
        : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE))
    {
    }
    ~MessageFile()
    {
        if (module_)
            FreeLibrary(module_);
    }
    MessageFile(const MessageFile&) = delete;
    MessageFile& operator=(const MessageFile&) = delete;

    HMODULE Get() const { return module_; }

    // The event's sentence with the inserts in it, or "" when there is none.
    std::wstring Format(DWORD eventId, const std::vector<std::wstring>& inserts) const
    {
        std::vector<DWORD_PTR> arguments;
        for (const std::wstring& insert : inserts)
            arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
        wchar_t* text = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY, module_,
            eventId, 0, reinterpret_cast<wchar_t*>(&text), 0, reinterpret_cast<va_list*>(arguments.data()));
        std::wstring message(text ? text : L"", length);
        LocalFree(text);
        return message;
    }

private:
    HMODULE module_;
};

// Each event ID gives its sentence from either program, each insert in its
// place, each line ending as Event Viewer breaks lines.
TEST(ApplyEvents, BothProgramsCarryEverySentenceWithItsInserts)
{
    const std::vector<std::wstring> head{L"console", L"2.1", L"BRANCH\\operator", L"TILL-04", L"vpn", L"10.0.0.7",
                                         L"7777", L"C:\\Program Files\\Hostwend\\HWD.ini", L"OUTCOME", L"25"};
    // Each value's inserts named for their place (KEY3, NAME3, ...): four a
    // value as an apply and a whole or stopped undo have them, six as a
    // refused undo has them.
    std::vector<std::wstring> applyInserts = head;
    std::vector<std::wstring> refusedUndoInserts = head;
    std::wstring values;
    std::wstring standing;
    for (int value = 1; value <= 8; ++value) {
        const std::wstring n = std::to_wstring(value);
        for (const wchar_t* part : {L"KEY", L"NAME", L"BEFORE", L"AFTER"})
            applyInserts.push_back(part + n);
        for (const wchar_t* part : {L"KEY", L"NAME", L"STANDS", L"NOW", L"BEFORE", L"WRITTEN"})
            refusedUndoInserts.push_back(part + n);
        values += L"\r\n" + n + L". NAME" + n + L" in KEY" + n + L" - before: BEFORE" + n + L"; after: AFTER" + n;
        standing += L"\r\n" + n + L". NAME" + n + L" in KEY" + n + L" - STANDS" + n + L"; now: NOW" + n +
                    L"; before the apply: BEFORE" + n + L"; as the apply wrote it: WRITTEN" + n;
    }
    std::vector<std::wstring> refusedApplyInserts = head;
    refusedApplyInserts.push_back(L"WARNINGS");
    const std::wstring who = L"Hostwend 2.1 (console program), run by BRANCH\\operator on TILL-04, ";
    const std::wstring what = L"connection type vpn with address 10.0.0.7 and port 7777 from the profile "
                              L"C:\\Program Files\\Hostwend\\HWD.ini";
    const std::wstring undone = L"the last apply, of connection type vpn with address 10.0.0.7 and port 7777, as "
                                L"the record C:\\Program Files\\Hostwend\\HWD.ini ";
    const struct {
        DWORD id;
        const std::vector<std::wstring>& inserts;
        std::wstring sentence;
    } events[] = {
        {1000, applyInserts,
         who + L"applied " + what + L" and wrote every value: OUTCOME (exit code 25).\r\n" + values + L"\r\n"},
        {1001, applyInserts,
         who + L"stopped part-way through applying " + what +
             L"; the values written before it stopped stay written: OUTCOME (exit code 25).\r\n" + values + L"\r\n"},
        {1002, refusedApplyInserts,
         who + L"refused to apply " + what +
             L" and wrote nothing: OUTCOME (exit code 25).\r\n\r\nWarnings about the profile's values: WARNINGS\r\n"},
        {1003, applyInserts,
         who + L"undid " + undone + L"kept it, and put back every value it had changed: OUTCOME (exit code 25).\r\n" +
             values + L"\r\n"},
        {1004, refusedUndoInserts,
         who + L"refused to undo " + undone + L"keeps it, and wrote nothing: OUTCOME (exit code 25).\r\n" + standing +
             L"\r\n"},
        {1005, applyInserts,
         who + L"stopped part-way through undoing " + undone +
             L"kept it; the values put back before it stopped stay put back, and undo can be run again to finish: "
             L"OUTCOME (exit code 25).\r\n" + values + L"\r\n"},
    };
    std::wstring folder = ProgramPath();
    folder.erase(folder.find_last_of(L'\\') + 1);
    for (const wchar_t* program : {L"hostwend.exe", L"hostwend-cli.exe"}) {
        SCOPED_TRACE(std::string(program, program + wcslen(program)));
        const MessageFile file(folder + program);
        ASSERT_NE(file.Get(), nullptr) << GetLastError();
        for (const auto& event : events)
            EXPECT_EQ(file.Format(event.id, event.inserts), event.sentence) << event.id;
        EXPECT_EQ(file.Format(1006, applyInserts), L"") << "an event no program writes";
    }
}

} // namespace
} // namespace hostwend
