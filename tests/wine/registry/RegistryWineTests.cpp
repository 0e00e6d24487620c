#include "ForwardingRegistry.h"
#include "registry/ApplyAddress.h"
#include "registry/ReadStepValues.h"
#include "registry/UpdateRegValue.h"
#include "rollback/LastApplyStore.h"
#include "rollback/UndoPlan.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace hostwend {
namespace {

// The TARN client's keys. The client is a 32-bit program, so its settings are
// seeded in the 32-bit view; the 64-bit view gets decoys it must never touch.
const std::string kClientTcpIp = "SOFTWARE\\TARN\\TARN6\\TARN Manager\\Client TCP-IP";
const std::string kBroadcast = kClientTcpIp + "\\BroadcastServer";
const std::string kClientDb = "SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC";
const std::string kOdbcSource = "SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database";
const std::array<std::string, 4> kKeys{kClientTcpIp, kBroadcast, kClientDb, kOdbcSource};
const std::array<std::pair<std::string, std::string>, 8> kTargets{{
    {kClientTcpIp, "Remote-Addr"}, {kClientTcpIp, "UDP-Remote-Addr"}, {kBroadcast, "BcastTCPAddress"},
    {kBroadcast, "BcastUDPAddress"}, {kBroadcast, "BcastUDPPort"}, {kBroadcast, "DisableTCPBcast"},
    {kClientDb, "DataBase-IPAddress"}, {kOdbcSource, "Server"},
}};
constexpr std::size_t kPortStep = 4, kVsatStep = 5;
constexpr REGSAM k32 = KEY_WOW64_32KEY, k64 = KEY_WOW64_64KEY;

struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const Value&) const = default;
};
void PrintTo(const Value& value, std::ostream* out)
{
    static constexpr char kHex[] = "0123456789abcdef";
    *out << "type " << value.type << ", " << value.data.size() << " bytes:";
    for (BYTE b : value.data)
        *out << ' ' << kHex[b >> 4] << kHex[b & 15];
}
Value Typed(DWORD type, std::string_view raw) { return {type, {raw.begin(), raw.end()}}; }
Value Sz(std::string_view text) { return Typed(REG_SZ, std::string(text) + '\0'); }
Value Dword(std::uint32_t n) { return {REG_DWORD, {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)}}; }

// Every key and value under the client's tree and the ODBC data sources, both views.
struct Snapshot {
    std::set<std::string> keys;           // "32:path", "64:path"
    std::map<std::string, Value> values;  // "32:path [name]"
};
std::string At(const std::string& path, const std::string& name) { return "32:" + path + " [" + name + "]"; }

void Walk(HKEY key, REGSAM view, const std::string& path, Snapshot& into)
{
    into.keys.insert(path);
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName,
                               &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    for (DWORD i = 0; i < values; ++i) {
        std::string name(maxName + 1, '\0');
        Value value;
        value.data.resize(maxData + 1);
        DWORD nameSize = maxName + 1, dataSize = maxData + 1;
        ASSERT_EQ(RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &value.type, value.data.data(), &dataSize),
                  ERROR_SUCCESS);
        name.resize(nameSize);
        value.data.resize(dataSize);
        into.values[path + " [" + name + "]"] = value;
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        std::string name(maxSubkey + 1, '\0');
        DWORD size = maxSubkey + 1;
        ASSERT_EQ(RegEnumKeyExA(key, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
        name.resize(size);
        HKEY child = nullptr;
        ASSERT_EQ(RegOpenKeyExA(key, name.c_str(), 0, KEY_READ | view, &child), ERROR_SUCCESS);
        Walk(child, view, path + "\\" + name, into);
        RegCloseKey(child);
    }
}

Snapshot Take()
{
    Snapshot snapshot;
    for (REGSAM view : {k32, k64})
        for (const char* root : {"SOFTWARE\\TARN", "SOFTWARE\\ODBC\\ODBC.INI"}) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, root, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
                continue;
            Walk(key, view, (view == k32 ? "32:" : "64:") + std::string(root), snapshot);
            RegCloseKey(key);
        }
    return snapshot;
}

void ExpectRegistry(const Snapshot& expected)
{
    const Snapshot actual = Take();
    EXPECT_EQ(actual.keys, expected.keys);
    EXPECT_EQ(actual.values, expected.values);
}

// A key alone when name is null.
void Seed(REGSAM view, const std::string& path, const char* name, const Value& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    if (name) {
        EXPECT_EQ(RegSetValueExA(key, name, 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size())),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

// Only the data source of our own: ODBC.INI holds every other program's too.
void Wipe()
{
    for (REGSAM view : {k32, k64})
        for (auto [parent, child] : {std::pair{"SOFTWARE", "TARN"}, {"SOFTWARE\\ODBC\\ODBC.INI", "TARN INT Database"}}) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
                RegDeleteTreeA(key, child);
                RegCloseKey(key);
            }
        }
}

// The real registry, counting the keys it holds open.
class RecordingRegistry final : public driver::ForwardingRegistry {
public:
    int openKeys = 0;  // opened and not yet closed

    RegStatus RegOpenKeyExA(RegKey root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
                            RegKey& opened) override
    {
        const RegStatus status = ForwardingRegistry::RegOpenKeyExA(root, subKey, options, access, opened);
        if (status == kErrorSuccess)
            ++openKeys;
        return status;
    }
    RegStatus RegCloseKey(RegKey key) override
    {
        --openKeys;
        return ForwardingRegistry::RegCloseKey(key);
    }
    ApplyWalk Apply(std::wstring_view address, std::wstring_view port, bool vsat)
    {
        return ApplyAddress(*this, address, port, ApplyMode::Write, [vsat] { return vsat; }, ReadStepValues(*this));
    }
};

using Values = std::array<std::optional<Value>, 8>;  // by step; empty: no such value
Values With(Values values, std::size_t step, std::optional<Value> value) { return values[step] = value, values; }

const Values kOld{Sz("old"), Sz("old"), Sz("old"), Sz("old"), Dword(99), Dword(0), Sz("old"), Sz("old")};
const Values kApplied{Sz("10.0.0.5:7777:0"), Sz("10.0.0.5:7777:0"), Sz("10.0.0.5"), Sz("239.255.255.255:10.0.0.5"),
                      Dword(7777), Dword(1), Sz("10.0.0.5"), Sz("10.0.0.5")};

// The client as installed in the 32-bit view, less the keys under missingKey,
// with a bystander value in each key and a text copy of all in the 64-bit view.
void Install(const Values& values, const std::string& missingKey)
{
    for (const std::string& key : kKeys) {
        Seed(k64, key, "Bystander", Sz("64-bit view"));
        if (missingKey.empty() || key.rfind(missingKey, 0) != 0)
            Seed(k32, key, "Bystander", Sz("keep"));
    }
    for (std::size_t i = 0; i < kTargets.size(); ++i) {
        const auto& [key, name] = kTargets[i];
        Seed(k64, key, name.c_str(), Sz("64-bit view"));
        if (values[i] && (missingKey.empty() || key.rfind(missingKey, 0) != 0))
            Seed(k32, key, name.c_str(), *values[i]);
    }
}

class RegistryWine : public ::testing::Test {
protected:
    void SetUp() override { Wipe(); }
    void TearDown() override { Wipe(); }
};

TEST_F(RegistryWine, ApplyWritesEveryValueInItsOwnTypeInThe32BitView)
{
    const struct { const char* name; bool vsat; Values before, after; std::wstring address = L"10.0.0.5"; } cases[] = {
        {"vsat", true, kOld, kApplied},
        {"not vsat: DisableTCPBcast keeps its 0", false, kOld, With(kApplied, kVsatStep, Dword(0))},
        {"not vsat: DisableTCPBcast keeps its 1", false, With(kOld, kVsatStep, Dword(1)), kApplied},
        {"not vsat: no DisableTCPBcast is fine", false, With(kOld, kVsatStep, {}), With(kApplied, kVsatStep, {})},
        {"port as text", true, With(kOld, kPortStep, Sz("old")), With(kApplied, kPortStep, Sz("7777"))},
        {"empty address", true, kOld,
         {Sz(":7777:0"), Sz(":7777:0"), Sz(""), Sz("239.255.255.255:"), Dword(7777), Dword(1), Sz(""), Sz("")}, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Wipe();
        Install(c.before, "");
        Snapshot expected = Take();
        for (std::size_t i = 0; i < kTargets.size(); ++i)
            if (c.after[i])
                expected.values[At(kTargets[i].first, kTargets[i].second)] = *c.after[i];
        RecordingRegistry registry;

        EXPECT_TRUE(registry.Apply(c.address, L"7777", c.vsat).Succeeded());

        EXPECT_EQ(registry.openKeys, 0);
        ExpectRegistry(expected);
    }
}

TEST_F(RegistryWine, ApplyStopsAtTheFailingStepAndCreatesNothing)
{
    const std::wstring twoOfTwo = L"Error occured while updating Bcast Address (2 of 2)";
    const std::wstring odbc = L"Error occured while updating ODBC IPAddress under ";
    const Value expandSz = Typed(REG_EXPAND_SZ, {"%PORT%", 7});
    const struct { const char* name; std::size_t step; bool vsat; Values before; std::string missingKey;
                   std::wstring port, prompt; } cases[] = {  // step from 0
        {"client TCP-IP key missing", 0, true, kOld, kClientTcpIp, L"7777",
         L"Error occured while updating - Remote Address"},
        {"UDP-Remote-Addr missing", 1, true, With(kOld, 1, {}), "", L"7777",
         L"Error occured while updating - UDP Remote Address \r\n- Contact the Software Vendor"},
        {"broadcast server key missing", 2, true, kOld, kBroadcast, L"7777",
         L"Error occured while updating - Bcast Address (1 of 2) "},
        {"BcastUDPPort REG_EXPAND_SZ", 4, true, With(kOld, kPortStep, expandSz), "", L"7777", twoOfTwo},
        {"BcastUDPPort a number, port empty", 4, false, kOld, "", L"", twoOfTwo},
        {"DisableTCPBcast missing", 5, true, With(kOld, kVsatStep, {}), "", L"7777", twoOfTwo},
        {"DataBase-IPAddress REG_EXPAND_SZ", 6, false, With(kOld, 6, expandSz), "", L"7777",
         odbc + L"SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC"},
        {"data source key missing", 7, false, kOld, kOdbcSource, L"7777",
         odbc + L"\\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database"},
        {"Server missing", 7, true, With(kOld, 7, {}), "", L"7777",
         odbc + L"\\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Wipe();
        Install(c.before, c.missingKey);
        Snapshot expected = Take();  // earlier steps written, the rest as it was
        for (std::size_t i = 0; i < c.step; ++i)
            if (i != kVsatStep || c.vsat)
                expected.values[At(kTargets[i].first, kTargets[i].second)] = *kApplied[i];
        RecordingRegistry registry;

        const ApplyWalk run = registry.Apply(L"10.0.0.5", c.port, c.vsat);

        ASSERT_EQ(run.failedStep, c.step);
        EXPECT_EQ(ApplySteps()[c.step].prompt, c.prompt);
        EXPECT_EQ(registry.openKeys, 0);
        ExpectRegistry(expected);
    }
}

TEST_F(RegistryWine, UpdateRegValueRewritesOnlyAnExisting32BitValueOfItsOwnType)
{
    struct SeedAt { REGSAM view; const char* name; Value value; };  // name null: the key alone
    const char* port = "BcastUDPPort";
    const struct { const char* name; std::vector<SeedAt> seeds; std::wstring newValue, result;
                   std::optional<Value> written{}; } cases[] = {  // seeds in the broadcast server key
        {"key missing", {}, L"1", L"#ERROR :11#"},
        {"value missing", {{k32, "Other", Dword(5)}}, L"1", L"#ERROR :12#"},
        {"REG_MULTI_SZ", {{k32, port, Typed(REG_MULTI_SZ, {"a\0b\0", 5})}}, L"1", L"#ERROR :14#"},
        {"REG_EXPAND_SZ", {{k32, port, Typed(REG_EXPAND_SZ, {"%P%", 4})}}, L"1", L"#ERROR :14#"},
        {"REG_DWORD given 77x7", {{k32, port, Dword(99)}}, L"77x7", L"#ERROR :15#"},
        {"only in the 64-bit view", {{k64, port, Dword(99)}}, L"1", L"#ERROR :11#"},
        {"only in the 64-bit view, key in both", {{k64, port, Dword(99)}, {k32, nullptr, {}}}, L"1", L"#ERROR :12#"},
        {"REG_SZ, trimmed", {{k32, port, Sz("old")}}, L"  10.0.0.5 :7777:0  ", L"", Sz("10.0.0.5 :7777:0")},
        {"REG_SZ, blanks only", {{k32, port, Sz("old")}}, L"   ", L"", Sz("")},
        {"REG_DWORD", {{k32, port, Dword(0)}}, L" 7777 ", L"", Dword(7777)},
        {"REG_DWORD, negative", {{k32, port, Dword(0)}}, L"-1", L"", Dword(0xFFFFFFFF)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Wipe();
        for (const SeedAt& seed : c.seeds)
            Seed(seed.view, kBroadcast, seed.name, seed.value);
        Snapshot expected = Take();
        if (c.written)
            expected.values[At(kBroadcast, port)] = *c.written;
        RecordingRegistry registry;

        EXPECT_EQ(UpdateResultMarker(UpdateRegValue(registry, kHkeyLocalMachine,
                                                    std::wstring(kBroadcast.begin(), kBroadcast.end()),
                                                    L"BcastUDPPort", c.newValue)),
                  c.result);

        EXPECT_EQ(registry.openKeys, 0);
        ExpectRegistry(expected);
    }
}

// Hostwend's own record, in both views, so that a test never sees an earlier one.
void WipeRecord()
{
    for (REGSAM view : {k32, k64}) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
            RegDeleteTreeA(key, "Wendlebrook");
            RegCloseKey(key);
        }
    }
}

std::optional<Value> RecordValue(REGSAM view, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wendlebrook\\Hostwend\\LastApply", 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS)
        return std::nullopt;
    Value value;
    value.data.resize(1024);
    DWORD size = 1024;
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    return value;
}

Value Utf16(std::wstring_view text, DWORD type = REG_SZ)
{
    Value value{type, {}};
    for (wchar_t c : text)
        value.data.insert(value.data.end(), {BYTE(c), BYTE(c >> 8)});
    return value;
}

std::array<LastApplyStep, 8> AsRecorded(const StepValues& before, const StepValues& written)
{
    std::array<LastApplyStep, 8> steps;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (before[i].now)
            steps[i].before = RegData(*before[i].now);
        if (written[i].now)
            steps[i].written = RegData(*written[i].now);
    }
    return steps;
}

TEST_F(RegistryWine, TheRecordLivesInThe64BitViewAndAnUndoPutsBackExactBytesAndCreatesNothing)
{
    WipeRecord();
    // Mixed case, a DWORD of 0, text without its NUL (written with the W call,
    // which would add a NUL only if one followed in memory), no Server at all.
    Values before = With(With(kOld, 0, Sz("TarnSrv.Corp.Local:7777:0")), 7, {});
    const Value noNul = Utf16(L"TarnSrv");
    Install(before, "");
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBroadcast.c_str(), 0, KEY_SET_VALUE | k32, &key), ERROR_SUCCESS);
        std::vector<BYTE> padded = noNul.data;
        padded.insert(padded.end(), {BYTE(0x58), BYTE(0)});  // an X after it: no NUL to add
        RegSetValueExW(key, L"BcastTCPAddress", 0, REG_SZ, padded.data(), static_cast<DWORD>(noNul.data.size()));
        RegCloseKey(key);
    }
    const Snapshot asBefore = Take();
    driver::ForwardingRegistry registry;
    const StepValues valuesBefore = ReadStepValues(registry);
    Install(With(kApplied, 7, {}), "");
    const Snapshot asApplied = Take();
    LastApply record{L"2026-12-07T23:30:00Z", ApplyProgram::Console, L"BRANCH\\operator", ConnectionKind::Vsat,
                     L"10.0.0.5", L"7777", AsRecorded(valuesBefore, ReadStepValues(registry)), true, std::nullopt};
    ASSERT_EQ(record.steps[2].before->bytes, noNul.data);

    ASSERT_EQ(WriteLastApply(registry, record), ERROR_SUCCESS);

    EXPECT_EQ(RecordValue(k64, L"Remote-Addr before"), Utf16(std::wstring(L"TarnSrv.Corp.Local:7777:0") + L'\0'));
    EXPECT_EQ(RecordValue(k64, L"BcastTCPAddress before"), noNul);
    EXPECT_EQ(RecordValue(k64, L"DisableTCPBcast before"), Dword(0));
    EXPECT_FALSE(RecordValue(k64, L"Server before"));
    EXPECT_FALSE(RecordValue(k32, L"Format"));  // whichever build wrote it
    // Wine's one descriptor for every key lets only the Administrators write.
    const UndoRecordRead read = ReadLastApply(registry);
    ASSERT_EQ(read.state, UndoRecordState::Read) << std::string(read.reason.begin(), read.reason.end());
    EXPECT_TRUE(*read.lastApply == record);

    // An undo of everything, then one whose value went missing after the plan.
    PutBackWalk run = PutBack(registry, PlanUndo(*read.lastApply, ReadStepValues(registry)));
    EXPECT_TRUE(PutBackSucceeded(run));
    ExpectRegistry(asBefore);

    Install(With(kApplied, 7, {}), "");
    const UndoPlan plan = PlanUndo(*read.lastApply, ReadStepValues(registry));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClientTcpIp.c_str(), 0, KEY_SET_VALUE | k32, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "UDP-Remote-Addr");
    RegCloseKey(key);
    Snapshot expected = asApplied;
    expected.values.erase(At(kClientTcpIp, "UDP-Remote-Addr"));
    expected.values[At(kClientTcpIp, "Remote-Addr")] = asBefore.values.at(At(kClientTcpIp, "Remote-Addr"));

    run = PutBack(registry, plan);

    EXPECT_EQ(run[1].state, PutBackState::Failed);
    EXPECT_EQ(run[1].status, ERROR_FILE_NOT_FOUND);
    ExpectRegistry(expected);
    WipeRecord();
}

} // namespace
} // namespace hostwend
