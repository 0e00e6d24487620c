#include "FakePlatform.h"
#include "RegDataOf.h"
#include "TarnClient.h"
#include "rollback/UndoPlan.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace hostwend {
namespace {

using testing::FakePlatform;
using View = FakePlatform::View;
using Held = std::optional<RegData>;  // empty: no such value
const auto& kTargets = testing::kTarnValues;

using testing::Dword;
using testing::Sz;

// A client that held these values before a VSAT apply to 10.0.0.5.
const std::array<LastApplyStep, 8> kVsatApply{{
    {Sz(L"tarnsrv.corp.local:7777:0"), Sz(L"10.0.0.5:7777:0")},    // another case
    {Sz(L"TARNSRV:7777:1"), Sz(L"10.0.0.5:7777:0")},               // a suffix never written
    {Sz(L"TARNSRV", false), Sz(L"10.0.0.5")},                      // stored without its NUL
    {Sz(L"239.255.255.255:TARNSRV"), Sz(L"239.255.255.255:10.0.0.5")},
    {Sz(L"7777"), Sz(L"7777")},                                    // written as it was
    {Dword(0), Dword(1)},                                          // 0 before VSAT
    {RegData{kRegSz, {}}, Sz(L"10.0.0.5")},                        // empty, no NUL at all
    {std::nullopt, std::nullopt},                                  // no ODBC data source here
}};

struct Client : FakePlatform {
    explicit Client(const std::array<Held, 8>& values)
    {
        for (std::size_t i = 0; i < values.size(); ++i) {
            // A decoy in the 64-bit view, which no undo may touch.
            SetRawValue(kTargets[i].first, kTargets[i].second, kRegSz, Sz(L"64-bit view").bytes, View::Wow64);
            if (values[i])
                SetRawValue(kTargets[i].first, kTargets[i].second, values[i]->type, values[i]->bytes);
            else
                AddKey(kTargets[i].first);
        }
    }
    std::array<Held, 8> Now() const
    {
        std::array<Held, 8> now;
        for (std::size_t i = 0; i < now.size(); ++i) {
            EXPECT_EQ(Value(kTargets[i].first, kTargets[i].second, View::Wow64)->data, Sz(L"64-bit view").bytes);
            if (auto value = ValueAsReadW(kTargets[i].first, kTargets[i].second))
                now[i] = RegData{value->type, value->data};
        }
        return now;
    }
};

std::array<Held, 8> Befores()
{
    std::array<Held, 8> values;
    for (std::size_t i = 0; i < 8; ++i)
        values[i] = kVsatApply[i].before;
    return values;
}
std::array<Held, 8> WrittenUpTo(std::size_t steps)  // the apply stopped before step `steps`
{
    std::array<Held, 8> values = Befores();
    for (std::size_t i = 0; i < steps; ++i)
        if (kVsatApply[i].written)
            values[i] = kVsatApply[i].written;
    return values;
}

UndoPlan Plan(Client& client)
{
    LastApply record;
    record.steps = kVsatApply;
    return PlanUndo(record, ReadStepValues(client));
}

TEST(Undo, PutsBackWhatTheApplyWroteByteForByteInItsOwnType)
{
    for (std::size_t stoppedAt = 0; stoppedAt <= 8; ++stoppedAt) {
        SCOPED_TRACE("apply stopped before step " + std::to_string(stoppedAt));
        Client client(WrittenUpTo(stoppedAt));

        const UndoPlan plan = Plan(client);
        const PutBackWalk run = PutBack(client, plan);

        for (std::size_t i = 0; i < 8; ++i) {
            const bool restored = i < stoppedAt && i != 4 && i != 7;  // 4 wrote its own data, 7 does not exist
            EXPECT_EQ(plan[i].action, restored ? UndoAction::Restore : UndoAction::Unchanged) << i;
            EXPECT_EQ(run[i].state, restored ? PutBackState::Written : PutBackState::Unchanged) << i;
        }
        EXPECT_TRUE(PutBackSucceeded(run));
        EXPECT_EQ(client.Now(), Befores());
        EXPECT_EQ(client.OpenHandleCount(), 0u);
        EXPECT_FALSE(client.KeyExists(kTargets[7].first + "\\Server"));
    }
}

TEST(Undo, AValueChangedSinceOrMissingNowStopsTheWholeUndoBeforeAnyWrite)
{
    const struct { const char* name; std::size_t step; Held now; } cases[] = {
        {"changed by hand", 2, Sz(L"10.0.0.6")},
        {"the same text in another case", 0, Sz(L"10.0.0.5:7777:0")},  // before is lower case
        {"the written text in another case", 3, Sz(L"239.255.255.255:10.0.0.5 ")},
        {"the written text in another type", 1, RegData{kRegExpandSz, Sz(L"10.0.0.5:7777:0").bytes}},
        {"a number one byte longer", 5, RegData{kRegDword, {1, 0, 0, 0, 0}}},
        {"missing now", 6, std::nullopt},
        {"created since", 7, Sz(L"10.0.0.5")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<Held, 8> values = WrittenUpTo(8);
        if (c.name == std::string("the same text in another case"))
            values[0] = Sz(L"TARNSRV.CORP.LOCAL:7777:0");
        else
            values[c.step] = c.now;
        Client client(values);

        const UndoPlan plan = Plan(client);
        const PutBackWalk run = PutBack(client, plan);

        EXPECT_EQ(plan[c.step].action, UndoAction::ChangedSince);
        EXPECT_TRUE(AnyChangedSince(plan));
        EXPECT_EQ(plan[c.step].lastApply, kVsatApply[c.step]);  // what the report names beside the data now
        EXPECT_EQ(plan[c.step].now.State(), values[c.step] ? ValueRead::Read : ValueRead::Missing);
        EXPECT_FALSE(PutBackSucceeded(run));
        EXPECT_EQ(client.Now(), values);
    }
}

TEST(Undo, PutBackStopsAtTheFirstFailureAndNeverCreatesAValue)
{
    auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const struct { const char* name; std::size_t step; PutBackFault fault; RegStatus status; } cases[] = {
        {"write refused", 3, PutBackFault::NotWritten, kErrorAccessDenied},
        {"deleted after the plan", 5, PutBackFault::ValueNotRead, kErrorFileNotFound},
        {"changed after the plan", 1, PutBackFault::ChangedMeanwhile, kErrorSuccess},
        {"key opened for reading only", 6, PutBackFault::KeyNotOpened, kErrorAccessDenied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Client client(WrittenUpTo(8));
        const UndoPlan plan = Plan(client);
        const auto& [key, name] = kTargets[c.step];
        if (c.fault == PutBackFault::NotWritten)
            client.valuesRefusingWrites.insert(lower(key + "\\" + name));
        else if (c.fault == PutBackFault::ValueNotRead)
            client.RemoveValue(key, name);
        else if (c.fault == PutBackFault::ChangedMeanwhile)
            client.SetRawValue(key, name, kRegSz, Sz(L"by hand").bytes);
        else
            client.keyRights[lower(key)] = kKeyRead;
        std::array<Held, 8> expected = client.Now();
        for (std::size_t i = 0; i < c.step; ++i)
            expected[i] = kVsatApply[i].before;

        const PutBackWalk run = PutBack(client, plan);

        for (std::size_t i = 0; i < c.step; ++i)
            EXPECT_EQ(run[i].state, i == 4 ? PutBackState::Unchanged : PutBackState::Written) << i;
        EXPECT_EQ(run[c.step].state, PutBackState::Failed);
        EXPECT_EQ(run[c.step].fault, c.fault);
        EXPECT_EQ(run[c.step].status, c.status);
        for (std::size_t i = c.step + 1; i < 8; ++i)
            EXPECT_EQ(run[i].state, PutBackState::NotReached) << i;
        EXPECT_FALSE(PutBackSucceeded(run));
        EXPECT_EQ(client.Now(), expected);
        EXPECT_EQ(client.OpenHandleCount(), 0u);
    }
}

} // namespace
} // namespace hostwend
