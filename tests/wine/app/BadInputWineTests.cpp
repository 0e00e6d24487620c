// Bad input, end to end: odd HWD.ini files and a damaged client registry,
// each run through the real program. Every case must end in one clear
// message with the registry either untouched or holding exactly the values a
// correct apply (or the steps before the failing one) leaves; never a crash,
// a hang, a created key or value, a changed type or garbage data.
#include "ProgramUnderTest.h"
#include "TarnClient.h"
#include "TarnRegistry.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hostwend::driver {
namespace {

using testing::kTarnValues;

constexpr wchar_t kCaption[] = L"Hostwend 2.1 (Only for TARN 6.x)";
constexpr wchar_t kResultTitle[] = L"Hostwend 2.0";
constexpr wchar_t kLan[] = L"Lan / &Dial-up";
constexpr wchar_t kVsat[] = L"&Vsat";
constexpr auto kBoxDeadline = 5s;
constexpr auto kTimeBudget = 35s;  // the whole matrix normally takes a third of it

// What each step says when it cannot write its value, as operators know it.
const std::array<std::wstring, 8> kStepFailure{
    L"Error occured while updating - Remote Address",
    L"Error occured while updating - UDP Remote Address \r\n- Contact the Software Vendor",
    L"Error occured while updating - Bcast Address (1 of 2) ",
    L"Error occured while updating Bcast Address (2 of 2)",
    L"Error occured while updating Bcast Address (2 of 2)",
    L"Error occured while updating Bcast Address (2 of 2)",
    L"Error occured while updating ODBC IPAddress under SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC",
    L"Error occured while updating ODBC IPAddress under \\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database",
};

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c >= 32 && c < 127 ? static_cast<char>(c) : '?');
    return out;
}

// ---- Damage done to the installed client before a case (removals: TarnRegistry.h).

struct OtherType {
    const char* name;
    RegData value;
};
const OtherType kOtherTypes[] = {
    {"REG_EXPAND_SZ", {REG_EXPAND_SZ, {'o', 'l', 'd', '%', 'X', '%', 0}}},
    {"REG_MULTI_SZ", {REG_MULTI_SZ, {'o', 'l', 'd', 0, 'x', 0, 0}}},
    {"REG_BINARY", {REG_BINARY, {0x6f, 0x6c, 0x64, 0x00, 0xff}}},
    {"REG_QWORD", {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}}},
};

// ---- The table.

using Writes = std::array<std::optional<RegData>, 8>;  // new data per step; none: left as it was

// What a complete apply writes, literally, for one address and port.
Writes AllWrites(const std::string& address, const RegData& port, bool vsat)
{
    return {Sz(address + ":7777:0"), Sz(address + ":7777:0"), Sz(address), Sz("239.255.255.255:" + address),
            port,                    vsat ? std::optional(Dword(1)) : std::nullopt,
            Sz(address),             Sz(address)};
}

struct Outcome {
    std::string label;  // named in the report where the platform decides
    std::wstring text;
    std::wstring title;
    Writes writes;
};

Outcome Refused(const std::wstring& text) { return {"refused: " + Narrow(text), text, kCaption, {}}; }

Outcome AppliedLan(const std::string& address, const RegData& port, const std::string& label = "applied")
{
    return {label, L"Lan/Dial up IP address ( " + Wide(address) + L" ) applied.", kResultTitle,
            AllWrites(address, port, false)};
}

Outcome AppliedVsat(const std::string& address, const RegData& port)
{
    return {"applied", L"VSAT IP address ( " + Wide(address) + L" ) applied. ", kResultTitle,
            AllWrites(address, port, true)};
}

// Steps before the failing one (1-based) are written, it and the rest are not.
Outcome StoppedAt(std::size_t step, Writes writes)
{
    for (std::size_t i = step - 1; i < writes.size(); ++i)
        writes[i].reset();
    return {"stopped at step " + std::to_string(step), kStepFailure[step - 1], kCaption, writes};
}

struct Case {
    std::string name;
    std::string profile;  // HWD.ini, byte for byte
    const wchar_t* option;
    std::function<void()> damage;  // done to the seeded client before the apply
    std::vector<Outcome> accepted;
};

std::string Utf16Le(const std::string& ascii)
{
    std::string out;
    for (char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

std::string Utf16Be(const std::string& ascii)
{
    std::string out;
    for (char c : ascii) {
        out.push_back('\0');
        out.push_back(c);
    }
    return out;
}

// Fixed bytes that look like nothing, the same on every run.
std::string Garbage(std::size_t size)
{
    std::string out;
    std::uint32_t state = 0x2545F491u;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        out.push_back(static_cast<char>(state >> 24));
    }
    out[0] = '\x80';  // no byte-order mark by chance
    return out;
}

std::string Lines(const std::string& address, const std::string& port, const std::string& eol = "\r\n")
{
    return "LanAddress=" + address + eol + "BcastUDPPort=" + port + eol;
}

std::vector<Case> ProfileCases()
{
    const std::string setup = "[SETUP]\r\n";
    const RegData port7777 = Dword(7777);
    const std::wstring lanMissing = L"LanAddress missing in HWD.ini";
    const std::wstring portMissing = L"BcastUDPPort missing in HWD.ini";
    const std::wstring lanTooLong = L"LanAddress in HWD.ini is too long";
    const std::wstring portTooLong = L"BcastUDPPort in HWD.ini is too long";

    std::string big = setup;
    for (int i = 0; big.size() < 5u * 1024 * 1024; ++i)
        big += "Pad" + std::to_string(i) + "=0123456789abcdefghijklmnopqrstuvwxyz\r\n";
    big += Lines("10.0.5.5", "7777");

    // Each applying case has an address of its own, so a stale read shows.
    std::vector<Case> cases{
        {"empty file", "", kLan, {}, {Refused(lanMissing)}},
        {"no SETUP section", "[OTHER]\r\n" + Lines("10.0.0.1", "7777"), kLan, {}, {Refused(lanMissing)}},
        {"keys before any section", Lines("10.0.0.2", "7777") + "[SETUP]\r\n", kLan, {}, {Refused(lanMissing)}},
        {"UTF-8 BOM glued to [SETUP]", "\xEF\xBB\xBF" + setup + Lines("10.0.1.1", "7777"), kLan, {},
         {Refused(lanMissing), AppliedLan("10.0.1.1", port7777, "section found, applied")}},
        {"UTF-8 BOM on a line of its own", "\xEF\xBB\xBF\r\n" + setup + Lines("10.0.1.2", "7777"), kLan, {},
         {AppliedLan("10.0.1.2", port7777)}},
        {"UTF-16 LE with BOM", "\xFF\xFE" + Utf16Le(setup + Lines("10.0.1.3", "7777")), kLan, {},
         {AppliedLan("10.0.1.3", port7777)}},
        // Read whole, and refused before any write: seven values would get the
        // code page's substitutes.
        {"UTF-16 LE, an address beyond the code page",
         "\xFF\xFE" + Utf16Le(setup + "LanAddress=") + std::string("\x41\x01\xD3\x00\x44\x00\x79\x01", 8) +
             Utf16Le(".CORP\r\nBcastUDPPort=7777\r\n"),
         kLan, {},
         {Refused(L"LanAddress in HWD.ini cannot be stored on this computer: the setting Remote-Addr in "
                  L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\TARN\\TARN6\\TARN Manager\\Client TCP-IP holds text, "
                  L"and \u0141\u00d3D\u0179.CORP has characters that this computer's code page cannot carry. "
                  L"Nothing was changed.")}},
        {"UTF-16 BE with BOM", "\xFE\xFF" + Utf16Be(setup + Lines("10.0.1.4", "7777")), kLan, {},
         {Refused(lanMissing), AppliedLan("10.0.1.4", port7777, "read as Unicode, applied")}},
        {"binary garbage", Garbage(4096), kLan, {}, {Refused(lanMissing)}},
        {"binary garbage, then a good section", Garbage(4096) + "\r\n" + setup + Lines("10.0.1.5", "7777"), kLan,
         {},
         {Refused(lanMissing), AppliedLan("10.0.1.5", port7777, "section after the garbage found, applied")}},
        {"5 MB file, keys at its end", big, kLan, {}, {AppliedLan("10.0.5.5", port7777)}},
        {"CR-only line ends", "[SETUP]\r" + Lines("10.0.2.1", "7777", "\r"), kLan, {},
         {Refused(lanMissing), AppliedLan("10.0.2.1", port7777, "CR taken as line end, applied")}},
        {"LF-only line ends", "[SETUP]\n" + Lines("10.0.2.2", "7777", "\n"), kLan, {},
         {AppliedLan("10.0.2.2", port7777)}},
        {"10,000-character line before the keys",
         setup + "Notes=" + std::string(10000 - 6, 'x') + "\r\n" + Lines("10.0.2.3", "7777"), kLan, {},
         {AppliedLan("10.0.2.3", port7777)}},
        {"10,000-character address", setup + Lines(std::string(10000, '1'), "7777"), kLan, {},
         {Refused(lanTooLong)}},
        {"duplicate LanAddress",
         setup + "LanAddress=10.0.3.1\r\nLanAddress=10.0.3.2\r\nBcastUDPPort=7777\r\n", kLan, {},
         {AppliedLan("10.0.3.1", port7777, "first one taken"), AppliedLan("10.0.3.2", port7777, "last one taken")}},
        {"duplicate BcastUDPPort", setup + "LanAddress=10.0.3.3\r\nBcastUDPPort=1111\r\nBcastUDPPort=2222\r\n", kLan,
         {},
         {AppliedLan("10.0.3.3", Dword(1111), "first one taken"),
          AppliedLan("10.0.3.3", Dword(2222), "last one taken")}},
        {"duplicate SETUP sections", setup + "LanAddress=10.0.3.4\r\n" + setup + "BcastUDPPort=7777\r\n", kLan, {},
         {Refused(portMissing), AppliedLan("10.0.3.4", port7777, "sections merged, applied")}},
        {"LanAddress missing", setup + "BcastUDPPort=7777\r\n", kLan, {}, {Refused(lanMissing)}},
        {"LanAddress empty", setup + Lines("", "7777"), kLan, {}, {Refused(lanMissing)}},
        {"LanAddress blank", setup + Lines("     ", "7777"), kLan, {}, {Refused(lanMissing)}},
        {"LanAddress 255 characters", setup + Lines(std::string(255, 'a'), "7777"), kLan, {},
         {Refused(lanTooLong)}},
        {"LanAddress 254 characters", setup + Lines(std::string(254, 'h'), "7777"), kLan, {},
         {AppliedLan(std::string(254, 'H'), port7777)}},
        {"BcastUDPPort missing", setup + "LanAddress=10.0.4.1\r\n", kLan, {}, {Refused(portMissing)}},
        {"BcastUDPPort empty", setup + Lines("10.0.4.2", ""), kLan, {}, {Refused(portMissing)}},
        {"BcastUDPPort blank", setup + Lines("10.0.4.3", "    "), kLan, {}, {Refused(portMissing)}},
        {"BcastUDPPort 255 characters", setup + Lines("10.0.4.4", std::string(255, '1')), kLan, {},
         {Refused(portTooLong)}},
        {"BcastUDPPort 254 characters", setup + Lines("10.0.4.5", std::string(252, '0') + "42"), kLan, {},
         {AppliedLan("10.0.4.5", Dword(42))}},
        {"names in other letter case", "[setup]\r\nlanaddress=host.example\r\nbcastudpport=7777\r\n", kLan, {},
         {AppliedLan("HOST.EXAMPLE", port7777)}},
    };
    return cases;
}

std::vector<Case> RegistryCases()
{
    const std::string profile = "[SETUP]\r\nVsatAddress=10.9.9.9\r\nBcastUDPPort=7777\r\n";
    const Writes vsat = AllWrites("10.9.9.9", Dword(7777), true);
    std::vector<Case> cases;
    for (std::size_t step = 0; step < 8; ++step)
        cases.push_back({kTarnValues[step].second + " missing", profile, kVsat, [step] { RemoveTarnValue(step); },
                         {StoppedAt(step + 1, vsat)}});
    for (const OtherType& type : kOtherTypes)
        for (std::size_t step = 0; step < 8; ++step)
            cases.push_back({kTarnValues[step].second + " is " + type.name, profile, kVsat,
                             [step, value = type.value] { SeedTarnValue(step, value); },
                             {StoppedAt(step + 1, vsat)}});

    const std::string keys[] = {kTarnValues[0].first, kTarnValues[2].first, kTarnValues[6].first,
                                kTarnValues[7].first};
    const std::size_t firstStepOfKey[] = {1, 3, 7, 8};
    for (std::size_t i = 0; i < 4; ++i)
        cases.push_back({"key " + keys[i] + " missing", profile, kVsat, [key = keys[i]] { RemoveTarnKey(key); },
                         {StoppedAt(firstStepOfKey[i], vsat)}});

    // The port into a number value: a signed 32-bit decimal, or refused
    // before the first write, as it would be on every such client.
    auto portRefused = [](const std::string& text) {
        return Refused(L"BcastUDPPort in HWD.ini cannot be stored on this computer: the setting BcastUDPPort in "
                       L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\TARN\\TARN6\\TARN Manager\\Client TCP-IP\\"
                       L"BroadcastServer holds a number, and " +
                       Wide(text) + L" is not a whole number it can hold. Nothing was changed.");
    };
    const std::pair<std::string, Outcome> ports[] = {
        {"77x7", portRefused("77x7")},
        {"abc", portRefused("abc")},
        {"", Refused(L"BcastUDPPort missing in HWD.ini")},
        {"99999999999", portRefused("99999999999")},
        {"-2147483649", portRefused("-2147483649")},
        {" 42 ", AppliedVsat("10.9.9.9", Dword(42))},
        {"2147483648", portRefused("2147483648")},
        {"2147483647", AppliedVsat("10.9.9.9", Dword(0x7FFFFFFF))},
        {"-2147483648", AppliedVsat("10.9.9.9", Dword(0x80000000))},
        {"-1", AppliedVsat("10.9.9.9", Dword(0xFFFFFFFF))},
        {"0x10", portRefused("0x10")},
        {"12.5", portRefused("12.5")},
        {"4 2", portRefused("4 2")},
        {"-", portRefused("-")},
    };
    for (const auto& [text, outcome] : ports)
        cases.push_back({"port \"" + text + "\"", "[SETUP]\r\nVsatAddress=10.9.9.9\r\nBcastUDPPort=" + text + "\r\n",
                         kVsat, {}, {outcome}});

    // Text and number values take the same input in their own form.
    {
        Outcome textPort = AppliedVsat("10.9.9.9", Sz("7777"));
        cases.push_back({"BcastUDPPort is REG_SZ", profile, kVsat, [] { SeedTarnValue(4, Sz("1")); }, {textPort}});
        cases.push_back({"BcastUDPPort is REG_SZ, port abc", "[SETUP]\r\nVsatAddress=10.9.9.9\r\nBcastUDPPort=abc\r\n",
                         kVsat, [] { SeedTarnValue(4, Sz("1")); }, {AppliedVsat("10.9.9.9", Sz("ABC"))}});
        Outcome textFlag = AppliedVsat("10.9.9.9", Dword(7777));
        textFlag.writes[5] = Sz("1");
        cases.push_back({"DisableTCPBcast is REG_SZ", profile, kVsat, [] { SeedTarnValue(5, Sz("0")); }, {textFlag}});
        cases.push_back({"BcastTCPAddress is REG_DWORD", profile, kVsat, [] { SeedTarnValue(2, Dword(5)); },
                         {StoppedAt(3, vsat)}});
    }
    // Without VSAT the flag is never reached, whatever state it is in.
    const std::string lanProfile = "[SETUP]\r\nLanAddress=10.8.8.8\r\nBcastUDPPort=7777\r\n";
    cases.push_back({"DisableTCPBcast missing, Lan", lanProfile, kLan, [] { RemoveTarnValue(5); },
                     {AppliedLan("10.8.8.8", Dword(7777))}});
    cases.push_back({"DisableTCPBcast is REG_BINARY, Lan", lanProfile, kLan,
                     [] { SeedTarnValue(5, kOtherTypes[2].value); }, {AppliedLan("10.8.8.8", Dword(7777))}});
    return cases;
}

std::wstring Confirmation(const wchar_t* option)
{
    return option == kVsat ? L"You have selected VSAT Option, Click on 'Ok' to apply the Changes "
                           : L"You have selected Lan/Dialup Option, Click on 'Ok' to apply the Changes ";
}

// ---- Running the table against one program, replaced when it dies or hangs.

class MatrixRunner {
public:
    // Empty when the case ended as one of its accepted outcomes; otherwise why not.
    std::string Run(const Case& c, std::string& chosen)
    {
        SeedTarnClient();
        if (c.damage)
            c.damage();
        const Snapshot before = TakeSnapshot();

        std::string problem = EnsureProgram(c.profile);
        if (!problem.empty())
            return problem;
        program_->WriteFile(L"HWD.ini", c.profile);

        Click(ChildByText(form_, c.option));
        Click(ChildByText(form_, L"&Apply"));
        std::optional<MessageBoxView> confirmation = AnswerNextBox("confirmation", problem);
        if (!confirmation)
            return problem;
        if (confirmation->text != Confirmation(c.option))
            problem += " unexpected first box \"" + Narrow(confirmation->text) + "\";";
        std::optional<MessageBoxView> result = AnswerNextBox("message after OK", problem);
        if (!result)
            return problem;
        problem += Settle();

        const Snapshot after = TakeSnapshot();
        std::string closest;
        for (const Outcome& outcome : c.accepted) {
            Snapshot expected = before;
            std::string tableError;
            for (std::size_t step = 0; step < 8; ++step) {
                if (!outcome.writes[step])
                    continue;
                auto value = expected.values.find(ValueId(step));
                if (value == expected.values.end())
                    tableError += " step " + std::to_string(step + 1) + " expects a write to a missing value;";
                else
                    value->second = *outcome.writes[step];
            }
            const bool sameBox = result->text == outcome.text && result->title == outcome.title;
            if (sameBox && tableError.empty() && after == expected) {
                chosen = outcome.label;
                return problem;
            }
            if (sameBox && closest.empty())
                closest = tableError + Differences(expected, after);
        }
        if (closest.empty())
            return problem + " message \"" + Narrow(result->text) + "\" titled \"" + Narrow(result->title) +
                   "\", expected \"" + Narrow(c.accepted.front().text) + "\";";
        return problem + " right message, wrong registry:" + closest;
    }

    // Boxes left over at the end, answered so that nothing blocks.
    std::string Finish()
    {
        if (!program_ || broken_) {
            program_.reset();  // already reported with its case
            return {};
        }
        std::string problem = Settle();
        if (!program_->Running())
            problem += " the program ended on its own;";
        program_.reset();
        return problem;
    }

private:
    std::string EnsureProgram(const std::string& profile)
    {
        // A box still open from before would be taken for this case's own, and
        // a program that stopped answering would block the next WM_GETTEXT.
        if (program_ && program_->Running() && !broken_ && program_->TopLevelWindows(L"#32770").empty() &&
            Responds())
            return {};
        program_.reset();  // ends a hung or broken one by its handle
        broken_ = false;
        program_ = std::make_unique<ProgramUnderTest>();
        program_->WriteFile(L"HWD.ini", profile);
        program_->Start();
        form_ = program_->MainWindow();
        if (!form_) {
            broken_ = true;
            return " the program did not show its main window;";
        }
        return {};
    }

    bool Responds() const
    {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutW(form_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored) != 0;
    }

    std::optional<MessageBoxView> AnswerNextBox(const char* what, std::string& problem)
    {
        // Stops waiting as soon as the process is gone: a crash needs no deadline.
        HWND box = nullptr;
        WaitUntil(
            [&] {
                std::vector<HWND> boxes = program_->TopLevelWindows(L"#32770");
                box = boxes.empty() ? nullptr : boxes.front();
                return box != nullptr || !program_->Running();
            },
            kBoxDeadline);
        if (!box) {
            broken_ = true;
            if (!program_->Running())
                problem += std::string(" crashed before the ") + what + ", exit code " +
                           std::to_string(program_->WaitForExit(0ms).value_or(0)) + ";";
            else
                problem += std::string(" no ") + what + " within the deadline (hang);";
            return std::nullopt;
        }
        MessageBoxView view = ReadMessageBox(box);
        Click(ChildById(box, IDOK));
        if (!WaitUntil([&] { return !IsWindow(box); }, kBoxDeadline)) {
            broken_ = true;
            problem += std::string(" the ") + what + " did not close on OK;";
            return std::nullopt;
        }
        return view;
    }

    // Waits until the program is back in its own message loop, then answers
    // and reports any box that should not be there.
    std::string Settle()
    {
        std::string problem;
        for (int round = 0; round < 20; ++round) {
            program_->WaitForIdle(2s);
            if (program_->Running() && !Responds()) {
                broken_ = true;
                return problem + " no longer responds after the message (hang);";
            }
            std::vector<HWND> boxes = program_->TopLevelWindows(L"#32770");
            if (boxes.empty())
                break;
            broken_ = round == 19;
            for (HWND box : boxes) {
                problem += " extra box \"" + Narrow(ReadMessageBox(box).text) + "\";";
                Click(ChildById(box, IDOK));
                WaitUntil([&] { return !IsWindow(box); }, 2s);
            }
        }
        if (!program_->Running()) {
            broken_ = true;
            problem += " the program ended after the message;";
        }
        return problem;
    }

    std::unique_ptr<ProgramUnderTest> program_;
    HWND form_ = nullptr;
    bool broken_ = false;
};

TEST(BadInput, EveryCaseEndsInAClearMessageAndACleanRegistry)
{
    const auto started = std::chrono::steady_clock::now();
    std::vector<Case> cases = ProfileCases();
    for (Case& c : RegistryCases())
        cases.push_back(std::move(c));

    MatrixRunner runner;
    std::vector<std::string> mismatches;
    std::vector<std::string> notes;
    std::size_t tried = 0;
    for (const Case& c : cases) {
        // A product that hangs in every case must still give the summary
        // before CTest's own timeout cuts the output off.
        if (std::chrono::steady_clock::now() - started > kTimeBudget)
            break;
        ++tried;
        std::string chosen;
        std::string problem = runner.Run(c, chosen);
        if (!problem.empty())
            mismatches.push_back(c.name + ":" + problem);
        else if (c.accepted.size() > 1)
            notes.push_back(c.name + ": " + chosen);
    }
    const std::size_t asExpected = tried - mismatches.size();
    if (std::string problem = runner.Finish(); !problem.empty())
        mismatches.push_back("after the last case:" + problem);
    WipeTarnKeys();

    const auto seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count() /
        1000.0;
    for (const std::string& note : notes)
        std::printf("platform decided, %s\n", note.c_str());
    for (const std::string& mismatch : mismatches)
        std::printf("NOT AS EXPECTED, %s\n", mismatch.c_str());
    std::printf("bad input matrix: %zu cases tried, %zu ended as expected (%.1f s)\n", tried, asExpected,
                seconds);
    if (tried < cases.size())
        std::printf("NOT TRIED, %zu case(s): the time budget was spent\n", cases.size() - tried);
    std::fflush(stdout);
    EXPECT_TRUE(mismatches.empty()) << mismatches.size() << " case(s) did not end as expected";
    EXPECT_EQ(tried, cases.size()) << "not every case was tried";
}

} // namespace
} // namespace hostwend::driver
