#include "FakePlatform.h"
#include "registry/UpdateRegValue.h"

#include <gtest/gtest.h>

namespace hostwend {
namespace {

using namespace std::string_view_literals;
using Bytes = std::vector<std::uint8_t>;
const std::string kKey = "SOFTWARE\\Hostwend Test\\Settings";
const std::wstring kWideKey = L"SOFTWARE\\Hostwend Test\\Settings";

struct UpdateRegValueTest : ::testing::Test {
    testing::FakePlatform fake;

    void SetUp() override
    {
        fake.SetString(kKey, "Text", "old");
        fake.SetDword(kKey, "Number", 42);
        fake.SetValue(kKey, "Expand", 2, {'%', 'X', '%', 0});
        fake.SetValue(kKey, "Multi", 7, {'a', 0, 0});
        fake.SetValue(kKey, "Binary", 3, {1, 2, 3, 4});
    }
    void TearDown() override
    {
        EXPECT_EQ(fake.OpenHandleCount(), 0u);
        for (std::uint32_t mask : fake.openAccessMasks)
            EXPECT_EQ(mask, kKeyQueryValue | kKeySetValue | kKeyWow64_32Key);
    }
};

TEST_F(UpdateRegValueTest, WritesInTheValuesOwnType)
{
    // Stored bytes as a literal: the NUL of a text value is written out.
    const struct { const char* name; std::wstring input; std::uint32_t type; std::string_view stored; } cases[] = {
        {"Text", L"  10.0.0.5:7777:0  ", kRegSz, "10.0.0.5:7777:0\0"sv},
        {"Text", L"1 :7", kRegSz, "1 :7\0"sv},
        {"Text", L"\t1\t", kRegSz, "\t1\t\0"sv},  // only spaces are trimmed
        {"Text", L"", kRegSz, "\0"sv},
        {"Text", L"   ", kRegSz, "\0"sv},
        {"Text", L"\u00e9\u20ac", kRegSz, "\xE9?\0"sv},  // ANSI bytes, one per character
        {"Number", L"1", kRegDword, "\x01\0\0\0"sv},
        {"Number", L" 7777 ", kRegDword, "\x61\x1E\0\0"sv},
        {"Number", L"-1", kRegDword, "\xFF\xFF\xFF\xFF"sv},
        {"Number", L"+2147483647", kRegDword, "\xFF\xFF\xFF\x7F"sv},
        {"Number", L"-2147483648", kRegDword, "\0\0\0\x80"sv},
    };
    // Hardened to grant just the two rights an update uses: still rewritten.
    fake.keyRights["software\\hostwend test\\settings"] = kKeyQueryValue | kKeySetValue;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.input));
        fake.registryCalls.clear();
        EXPECT_EQ(UpdateRegValue(fake, kHkeyLocalMachine, kWideKey, fake.FromAnsi(c.name), c.input), UpdateResult::Done);
        auto value = fake.Value(kKey, c.name);
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->data, Bytes(c.stored.begin(), c.stored.end()));
        const std::string name = c.name;
        EXPECT_EQ(fake.registryCalls,
                  (std::vector<std::string>{"open " + kKey, "query " + name, "set " + name, "close"}));
    }
}

TEST_F(UpdateRegValueTest, FailuresReturnTheirMarkerAndLeaveTheRegistryAsItWas)
{
    const std::string settings = "software\\hostwend test\\settings";
    struct Case { std::wstring key, name, input, marker; std::string deniedKey{}, refusedValue{}; };
    std::vector<Case> cases = {
        {L"SOFTWARE\\Hostwend Test\\Absent", L"Text", L"x", L"#ERROR :11#"},
        {kWideKey, L"Text", L"x", L"#ERROR :11#", settings},
        {kWideKey, L"Absent", L"x", L"#ERROR :12#"},
        {kWideKey, L"Text", L"x", L"#ERROR :13#", "", settings + "\\text"},
        {kWideKey, L"Number", L"7", L"#ERROR :13#", "", settings + "\\number"},
        {kWideKey, L"Expand", L"x", L"#ERROR :14#"},
        {kWideKey, L"Multi", L"x", L"#ERROR :14#"},
        {kWideKey, L"Binary", L"7", L"#ERROR :14#"},
    };
    for (const wchar_t* notNumber : {L"", L"  ", L"abc", L"12abc", L"12.5", L"0x10", L"1e3", L"1,000", L"7 7", L"-",
                                     L"--1", L"2147483648", L"-2147483649", L"99999999999999999999"})
        cases.push_back({kWideKey, L"Number", notNumber, L"#ERROR :15#"});

    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.name + L" [" + c.input + L"] " + c.marker));
        fake.keyRights.clear();
        if (!c.deniedKey.empty())
            fake.keyRights[c.deniedKey] = kKeyRead;  // may be read, not set
        fake.valuesRefusingWrites = {c.refusedValue};
        fake.registryCalls.clear();
        const auto keys = fake.KeyCount(), values = fake.ValueCount();
        const auto before = fake.Value(fake.ToAnsi(c.key), fake.ToAnsi(c.name));

        EXPECT_EQ(UpdateResultMarker(UpdateRegValue(fake, kHkeyLocalMachine, c.key, c.name, c.input)), c.marker);

        const auto after = fake.Value(fake.ToAnsi(c.key), fake.ToAnsi(c.name));
        ASSERT_EQ(after.has_value(), before.has_value());
        if (after) {
            EXPECT_EQ(after->type, before->type);
            EXPECT_EQ(after->data, before->data);
        }
        EXPECT_EQ(fake.KeyCount(), keys);
        EXPECT_EQ(fake.ValueCount(), values);
        // An unopened key is neither queried nor closed; an opened one is closed last.
        EXPECT_EQ(fake.registryCalls.back().rfind(c.marker == L"#ERROR :11#" ? "open " : "close", 0), 0u);
    }
}

} // namespace
} // namespace hostwend
