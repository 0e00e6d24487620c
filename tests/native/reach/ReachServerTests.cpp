#include "FakeNetwork.h"
#include "reach/ReachServer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace hostwend {
namespace {

using hostwend::testing::FakeNetwork;

constexpr std::uint32_t kSilent = 0xFFFFFFFF;  // no answer within any limit
constexpr std::uint32_t kAccessDenied = 10013;  // WSAEACCES: a local firewall, say

ResolvedAddress V4(const wchar_t* text) { return {AddressFamily::IPv4, text}; }
ResolvedAddress V6(const wchar_t* text) { return {AddressFamily::IPv6, text}; }

TEST(ReachServer, TriesIPv4FirstThenEveryAddressWithinOneTimeLimit)
{
    struct Answer {
        const wchar_t* address;
        std::uint32_t error;  // kSilent: never answers
        std::uint64_t takes;
    };
    const struct {
        const char* name;
        std::optional<std::vector<ResolvedAddress>> resolvesTo;  // nullopt: the name is not found
        std::vector<Answer> answers;
        std::uint32_t limit;
        std::uint64_t resolveTakes;
        // expected
        ReachFailure failure;
        std::uint32_t errorCode;
        std::optional<std::wstring> resolved;
        std::vector<std::wstring> tried;  // in order
        std::vector<std::uint32_t> waits;  // the time each attempt was given
        std::uint64_t milliseconds;
    } cases[] = {
        {"answers at once", {{V4(L"10.0.0.5")}}, {{L"10.0.0.5", 0, 3}}, 5000, 0,
         ReachFailure::None, 0, L"10.0.0.5", {L"10.0.0.5"}, {5000}, 3},
        {"IPv4 first, else in the resolver's order",
         {{V6(L"fd00::5"), V4(L"10.0.0.6"), V6(L"fd00::6"), V4(L"10.0.0.5")}},
         {{L"10.0.0.6", 10061, 1}, {L"10.0.0.5", 10061, 1}, {L"fd00::5", 10061, 1}, {L"fd00::6", 0, 1}}, 4000, 0,
         ReachFailure::None, 0, L"fd00::6", {L"10.0.0.6", L"10.0.0.5", L"fd00::5", L"fd00::6"},
         {1000, 1333, 1999, 3997}, 4},
        {"a silent address leaves time for the next", {{V4(L"10.0.0.5"), V4(L"10.0.0.6")}},
         {{L"10.0.0.5", kSilent, 0}, {L"10.0.0.6", 0, 10}}, 5000, 0,
         ReachFailure::None, 0, L"10.0.0.6", {L"10.0.0.5", L"10.0.0.6"}, {2500, 2500}, 2510},
        {"all silent: gives up at the limit", {{V4(L"10.0.0.5"), V4(L"10.0.0.6"), V6(L"fd00::5")}}, {}, 5000, 0,
         ReachFailure::TimedOut, 10060, L"fd00::5", {L"10.0.0.5", L"10.0.0.6", L"fd00::5"}, {1666, 1667, 1667},
         5000},
        {"the resolver's time comes off the limit", {{V4(L"10.0.0.5")}}, {}, 5000, 1200,
         ReachFailure::TimedOut, 10060, L"10.0.0.5", {L"10.0.0.5"}, {3800}, 5000},
        {"refused", {{V4(L"10.0.0.5")}}, {{L"10.0.0.5", 10061, 2}}, 5000, 0,
         ReachFailure::Refused, 10061, L"10.0.0.5", {L"10.0.0.5"}, {5000}, 2},
        {"the last address tried gives the reason", {{V4(L"10.0.0.5"), V6(L"fd00::5")}},
         {{L"10.0.0.5", 10061, 2}, {L"fd00::5", 10051, 0}}, 5000, 0,
         ReachFailure::NetworkUnreachable, 10051, L"fd00::5", {L"10.0.0.5", L"fd00::5"}, {2500, 4998}, 2},
        {"no route to the host", {{V4(L"10.0.0.5")}}, {{L"10.0.0.5", 10065, 0}}, 5000, 0,
         ReachFailure::NetworkUnreachable, 10065, L"10.0.0.5", {L"10.0.0.5"}, {5000}, 0},
        {"any other failure", {{V4(L"10.0.0.5")}}, {{L"10.0.0.5", kAccessDenied, 0}}, 5000, 0,
         ReachFailure::Failed, kAccessDenied, L"10.0.0.5", {L"10.0.0.5"}, {5000}, 0},
        {"name not found", std::nullopt, {}, 5000, 40,
         ReachFailure::NameNotResolved, 11001, std::nullopt, {}, {}, 40},
        {"name without addresses", std::vector<ResolvedAddress>{}, {}, 5000, 0,
         ReachFailure::NameNotResolved, 11004, std::nullopt, {}, {}, 0},
        {"resolver slower than the limit", {{V4(L"10.0.0.5")}}, {{L"10.0.0.5", 0, 1}}, 1000, 30000,
         ReachFailure::TimedOut, 10060, std::nullopt, {}, {}, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeNetwork network;
        if (c.resolvesTo)
            network.names[L"SERVER.EXAMPLE"] = *c.resolvesTo;
        network.resolveTakes = c.resolveTakes;
        for (const Answer& answer : c.answers)
            if (answer.error != kSilent)
                network.answers[answer.address] = {answer.error, answer.takes};

        const ReachResult reach = ReachServer(network, L"SERVER.EXAMPLE", c.limit);
        EXPECT_EQ(reach.address, L"SERVER.EXAMPLE");
        EXPECT_EQ(reach.reachable, c.failure == ReachFailure::None);
        EXPECT_EQ(reach.failure, c.failure);
        EXPECT_EQ(reach.errorCode, c.errorCode);
        EXPECT_EQ(reach.resolved, c.resolved);
        EXPECT_EQ(reach.milliseconds, c.milliseconds);
        EXPECT_LE(reach.milliseconds, c.limit);
        EXPECT_EQ(network.resolveWaits, std::vector<std::uint32_t>{c.limit});
        std::vector<std::wstring> tried;
        std::vector<std::uint32_t> waits;
        for (const auto& attempt : network.attempts) {
            tried.push_back(attempt.address);
            waits.push_back(attempt.waitMilliseconds);
            EXPECT_EQ(attempt.port, 7777);
        }
        EXPECT_EQ(tried, c.tried);
        EXPECT_EQ(waits, c.waits);
    }
}

} // namespace
} // namespace hostwend
