#include "FakePlatform.h"
#include "TarnClient.h"
#include "registry/ApplyAddress.h"
#include "registry/ReadStepValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace hostwend {
namespace {

using testing::FakePlatform;
using Held = std::optional<FakePlatform::RegValue>;  // empty: no such value
using Values = std::array<Held, 8>;  // by step
const auto& kTargets = testing::kTarnValues;
constexpr std::size_t kPortStep = 4, kVsatStep = 5;

Held Sz(const std::string& text)
{
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return FakePlatform::RegValue{kRegSz, data};
}
Held Dword(std::uint8_t low) { return FakePlatform::RegValue{kRegDword, {low, 0, 0, 0}}; }
Values With(Values values, std::size_t step, Held value) { return values[step] = std::move(value), values; }
Values Without(Values values, std::size_t from, std::size_t to)
{
    std::fill(values.begin() + from, values.begin() + to, Held{});
    return values;
}

const Values kOld{Sz("old"), Sz("old"), Sz("old"), Sz("old"), Dword(99), Dword(0), Sz("old"), Sz("old")};
const Values kApplied{Sz("10.0.0.5:7777:0"), Sz("10.0.0.5:7777:0"), Sz("10.0.0.5"), Sz("239.255.255.255:10.0.0.5"),
                      FakePlatform::RegValue{kRegDword, {0x61, 0x1E, 0, 0}}, Dword(1), Sz("10.0.0.5"), Sz("10.0.0.5")};

struct Client : FakePlatform {
    Client(const Values& values, bool vsat)
    {
        for (std::size_t i = 0; i < values.size(); ++i)
            if (values[i])
                SetValue(kTargets[i].first, kTargets[i].second, values[i]->type, values[i]->data);
        options[static_cast<std::size_t>(OptionButton::OptVsat)] = vsat;
        caption = L"Caption as it reads now";
    }
    void Expect(const Values& expected, std::size_t keys, std::size_t values) const
    {
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(kTargets[i].second);
            auto value = Value(kTargets[i].first, kTargets[i].second);
            ASSERT_EQ(value.has_value(), expected[i].has_value());
            if (value) {
                EXPECT_EQ(value->type, expected[i]->type);
                EXPECT_EQ(value->data, expected[i]->data);
            }
        }
        EXPECT_EQ(KeyCount(), keys);
        EXPECT_EQ(ValueCount(), values);
        EXPECT_EQ(OpenHandleCount(), 0u);
        for (std::uint32_t mask : openAccessMasks)
            EXPECT_EQ(mask, kKeyQueryValue | kKeySetValue | kKeyWow64_32Key);
    }
    // The window's walk: the VSAT step asks the option button when it is reached.
    ApplyWalk Apply(std::wstring_view address, std::wstring_view port, ApplyMode mode = ApplyMode::Write)
    {
        const StepValues before = ReadStepValues(*this);
        openAccessMasks.clear();  // the walk's own opens follow
        return ApplyAddress(*this, address, port, mode, [this] { return IsOptionSet(OptionButton::OptVsat); }, before);
    }
};

TEST(ApplyAddress, WritesTheValuesInOrderDisableTcpBcastOnlyForVsat)
{
    const Values emptyAddress{Sz(":7777:0"), Sz(":7777:0"), Sz(""), Sz("239.255.255.255:"), kApplied[kPortStep],
                              Dword(1), Sz(""), Sz("")};
    const struct { const char* name; bool vsat; std::wstring address, port; Values before, after; } cases[] = {
        {"vsat", true, L"10.0.0.5", L"7777", kOld, kApplied},
        {"not vsat keeps a 1", false, L"10.0.0.5", L"7777", With(kOld, kVsatStep, Dword(1)), kApplied},
        {"not vsat, no DisableTCPBcast", false, L"10.0.0.5", L"7777", With(kOld, kVsatStep, {}),
         With(kApplied, kVsatStep, {})},
        {"empty address", true, L"", L"7777", kOld, emptyAddress},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Client fake(c.before, c.vsat);
        const auto keys = fake.KeyCount(), values = fake.ValueCount();

        const ApplyWalk run = fake.Apply(c.address, c.port);

        EXPECT_TRUE(run.Succeeded());
        EXPECT_EQ(run.steps[kVsatStep].state, c.vsat ? StepState::Written : StepState::NotForThisType);
        fake.Expect(c.after, keys, values);
        std::vector<std::string> writes, expected;
        for (const auto& call : fake.registryCalls)
            if (call.rfind("set ", 0) == 0)
                writes.push_back(call.substr(4));
        for (std::size_t i = 0; i < kTargets.size(); ++i)
            if (i != kVsatStep || c.vsat)
                expected.push_back(kTargets[i].second);
        EXPECT_EQ(writes, expected);
        EXPECT_EQ(fake.optionReads, std::vector<OptionButton>{OptionButton::OptVsat});
    }
}

TEST(ApplyAddress, StopsAtTheFirstFailureAndSaysWhichStepFailed)
{
    const std::wstring twoOfTwo = L"Error occured while updating Bcast Address (2 of 2)";
    const Held expandSz = FakePlatform::RegValue{2, {'%', 'X', '%', 0}};
    const struct {
        std::size_t step;  // from 0
        Values before;
        bool vsat;
        std::wstring port, prompt;
        std::string denied{}, refused{};  // lower-case key path, value path
    } cases[] = {
        {0, Without(kOld, 0, 6), true, L"7777", L"Error occured while updating - Remote Address"},
        {1, Without(kOld, 1, 2), true, L"7777",
         L"Error occured while updating - UDP Remote Address \r\n- Contact the Software Vendor"},
        {2, Without(kOld, 2, 6), true, L"7777", L"Error occured while updating - Bcast Address (1 of 2) "},
        {3, kOld, true, L"7777", twoOfTwo, "",
         "software\\tarn\\tarn6\\tarn manager\\client tcp-ip\\broadcastserver\\bcastudpaddress"},
        {4, With(kOld, 4, expandSz), true, L"7777", twoOfTwo},
        {4, kOld, false, L"", twoOfTwo},
        {5, Without(kOld, 5, 6), true, L"7777", twoOfTwo},
        {6, kOld, true, L"7777",
         L"Error occured while updating ODBC IPAddress under SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC",
         "software\\tarn\\tarn6\\tarn client\\odbc"},
        {7, Without(kOld, 7, 8), false, L"7777",
         L"Error occured while updating ODBC IPAddress under \\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "step " << c.step + 1 << ", denied [" << c.denied << "], refused ["
                                          << c.refused << "]");
        Client fake(c.before, c.vsat);
        if (!c.denied.empty())
            fake.keyRights[c.denied] = kKeyRead;
        fake.valuesRefusingWrites = {c.refused};
        const auto keys = fake.KeyCount(), values = fake.ValueCount();

        // A check meets the same failure at the same step and writes nothing.
        const ApplyWalk check = fake.Apply(L"10.0.0.5", c.port, ApplyMode::CheckOnly);
        if (c.refused.empty()) {
            ASSERT_EQ(check.failedStep, c.step);
            EXPECT_NE(check.steps[c.step].result, UpdateResult::Done);
        }
        fake.Expect(c.before, keys, values);
        fake.optionReads.clear();

        const ApplyWalk run = fake.Apply(L"10.0.0.5", c.port);

        ASSERT_EQ(run.failedStep, c.step);
        EXPECT_EQ(run.steps[c.step].state, StepState::Failed);
        EXPECT_EQ(ApplySteps()[c.step].prompt, c.prompt);
        // The VSAT step is not for another type, however far the walk got.
        for (std::size_t i = c.step + 1; i < run.steps.size(); ++i)
            EXPECT_EQ(run.steps[i].state, i == kVsatStep && !c.vsat ? StepState::NotForThisType : StepState::NotReached)
                << "step " << i + 1;
        Values after = c.before;  // earlier steps keep their new data; the rest is untouched
        for (std::size_t i = 0; i < c.step; ++i)
            if (i != kVsatStep || c.vsat)
                after[i] = kApplied[i];
        fake.Expect(after, keys, values);
        // The option is read once, when the walk comes to its step, reached or not.
        EXPECT_EQ(fake.optionReads.size(), 1u);
    }
}

TEST(ApplyAddress, LeavesAValueThatHoldsExactlyItsNewDataAlone)
{
    const struct { const char* name; Values before; ApplyMode mode; std::vector<std::string> writes; } cases[] = {
        {"all held", kApplied, ApplyMode::Write, {}},
        {"all held, check", kApplied, ApplyMode::CheckOnly, {}},
        // Only the very bytes count: another suffix or a blank is rewritten.
        {"one differs", With(kApplied, 0, Sz("10.0.0.5:7777:1")), ApplyMode::Write, {"Remote-Addr"}},
        {"a trailing blank", With(kApplied, 2, Sz("10.0.0.5 ")), ApplyMode::Write, {"BcastTCPAddress"}},
        {"port as text with a blank", With(kApplied, kPortStep, Sz(" 7777")), ApplyMode::Write, {"BcastUDPPort"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Client fake(c.before, true);
        const ApplyWalk run = fake.Apply(L"10.0.0.5", L"7777", c.mode);
        std::vector<std::string> writes;
        for (const auto& call : fake.registryCalls)
            if (call.rfind("set ", 0) == 0)
                writes.push_back(call.substr(4));
        EXPECT_EQ(writes, c.writes);
        EXPECT_EQ(run.ChangesAnything(), !c.writes.empty());
        std::size_t unchanged = 0;
        for (const WalkStep& step : run.steps)
            unchanged += step.state == StepState::Unchanged;
        EXPECT_EQ(unchanged, kTargets.size() - c.writes.size());
        EXPECT_TRUE(run.Succeeded());
    }
}

} // namespace
} // namespace hostwend
