#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "netwatch/IdIPWatchState.h"

namespace vantrel {
namespace {

using History = std::vector<std::wstring>;

struct Step {
    const wchar_t* lookup;
    bool online;
    bool changed;
    const wchar_t* previousIP;
    History history;
};

void RunChecks(TIdIPWatchState& state, const std::vector<Step>& steps)
{
    int index = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "step " << index++ << " lookup \"" << step.lookup << "\"");
        EXPECT_EQ(state.ApplyCheck(step.lookup), step.changed);
        EXPECT_EQ(state.GetCurrentIP(), step.lookup);
        EXPECT_EQ(state.GetIsOnline(), step.online);
        EXPECT_EQ(state.GetPreviousIP(), step.previousIP);
        EXPECT_EQ(state.GetIPHistoryList(), step.history);
    }
}

TEST(IPWatchState, StartsOfflineAndEmpty)
{
    TIdIPWatchState state;
    EXPECT_EQ(state.GetCurrentIP(), L"");
    EXPECT_FALSE(state.GetIsOnline());
    EXPECT_EQ(state.GetPreviousIP(), L"");
    EXPECT_TRUE(state.GetIPHistoryList().empty());
    EXPECT_EQ(state.GetOnLineCount(), 0);
    EXPECT_EQ(state.GetMaxHistoryEntries(), 25);
}

TEST(IPWatchState, OnlineOfflineTable)
{
    TIdIPWatchState state;
    RunChecks(state, {
                   // offline stays offline for every non-address, each exactly
                   {L"", false, false, L"", {}},
                   {L"127.0.0.1", false, false, L"", {}},
                   {L"::1", false, false, L"", {}},
                   // offline -> online
                   {L"192.168.1.20", true, true, L"", {}},
                   // online -> online with another address: no history, no event
                   {L"192.168.1.30", true, false, L"", {}},
                   {L"192.168.1.20", true, false, L"", {}},
                   // online -> offline records the last real address
                   {L"", false, true, L"192.168.1.20", {L"192.168.1.20"}},
                   {L"10.0.0.5", true, true, L"192.168.1.20", {L"192.168.1.20"}},
                   // going offline through loopback counts exactly like an empty lookup
                   {L"127.0.0.1", false, true, L"10.0.0.5", {L"192.168.1.20", L"10.0.0.5"}},
                   {L"10.0.0.5", true, true, L"10.0.0.5", {L"192.168.1.20", L"10.0.0.5"}},
                   // the same address again and again is recorded only once in a row
                   {L"::1", false, true, L"10.0.0.5", {L"192.168.1.20", L"10.0.0.5"}},
                   {L"10.0.0.5", true, true, L"10.0.0.5", {L"192.168.1.20", L"10.0.0.5"}},
                   {L"", false, true, L"10.0.0.5", {L"192.168.1.20", L"10.0.0.5"}},
               });
    EXPECT_EQ(state.GetOnLineCount(), 2);
}

TEST(IPWatchState, CaseMattersInTheLoopbackComparison)
{
    // "::1" is compared exactly; anything spelled differently counts as a real address.
    TIdIPWatchState state;
    EXPECT_TRUE(state.ApplyCheck(L"0:0:0:0:0:0:0:1"));
    EXPECT_TRUE(state.GetIsOnline());
}

TEST(IPWatchState, FirstReturnWithThePreviousAddressTakesTheEntryBack)
{
    // A history loaded from the file ends with the address the machine had; coming online
    // with that same address for the first time is no change of address.
    TIdIPWatchState state;
    state.AppendHistory(L"10.0.0.1");
    state.AppendHistory(L"192.168.1.20");
    state.SetPreviousIP(L"192.168.1.20");
    RunChecks(state, {
                   {L"192.168.1.20", true, true, L"10.0.0.1", {L"10.0.0.1"}},
                   // only the first change does that: now it is recorded again
                   {L"", false, true, L"192.168.1.20", {L"10.0.0.1", L"192.168.1.20"}},
                   {L"192.168.1.20", true, true, L"192.168.1.20", {L"10.0.0.1", L"192.168.1.20"}},
               });
}

TEST(IPWatchState, FirstReturnWithOneEntryLeavesPreviousEmpty)
{
    TIdIPWatchState state;
    state.AppendHistory(L"192.168.1.20");
    state.SetPreviousIP(L"192.168.1.20");
    RunChecks(state, {{L"192.168.1.20", true, true, L"", {}}});
    EXPECT_EQ(state.GetOnLineCount(), 2);
}

TEST(IPWatchState, TwentySixthEntryDropsTheOldest)
{
    TIdIPWatchState state;
    for (int i = 1; i <= 26; ++i) state.AppendHistory(L"10.0.0." + std::to_wstring(i));
    const auto& history = state.GetIPHistoryList();
    ASSERT_EQ(history.size(), 25u);
    EXPECT_EQ(history.front(), L"10.0.0.2");
    EXPECT_EQ(history.back(), L"10.0.0.26");
}

TEST(IPWatchState, HistoryIgnoresNonAddressesAndRepeats)
{
    TIdIPWatchState state;
    for (const wchar_t* address : {L"", L"127.0.0.1", L"::1", L"10.0.0.1", L"10.0.0.1", L"10.0.0.2", L"10.0.0.1"}) {
        state.AppendHistory(address);
    }
    EXPECT_EQ(state.GetIPHistoryList(), (History{L"10.0.0.1", L"10.0.0.2", L"10.0.0.1"}));
}

TEST(IPWatchState, LoweringTheBoundTrimsOldestAndNegativeMeansNone)
{
    TIdIPWatchState state;
    for (int i = 1; i <= 5; ++i) state.AppendHistory(L"10.0.0." + std::to_wstring(i));
    state.SetMaxHistoryEntries(2);
    EXPECT_EQ(state.GetIPHistoryList(), (History{L"10.0.0.4", L"10.0.0.5"}));
    state.SetMaxHistoryEntries(-3);
    EXPECT_EQ(state.GetMaxHistoryEntries(), 0);
    EXPECT_TRUE(state.GetIPHistoryList().empty());
    state.AppendHistory(L"10.0.0.9");
    EXPECT_TRUE(state.GetIPHistoryList().empty());
}

TEST(WatchCycle, IntervalIsClampedToWhatTheThreadCanCount)
{
    struct Case {
        std::uint32_t interval;
        std::int32_t cycle;
    };
    const Case cases[] = {{0, 1}, {1, 1}, {500, 500}, {1000, 1000}, {1200, 1200},
                          {2147483647u, 2147483647}, {2147483648u, 2147483647}, {4294967295u, 2147483647}};
    for (const auto& c : cases) EXPECT_EQ(WatchCycleLength(c.interval), c.cycle) << c.interval;
}

}  // namespace
}  // namespace vantrel
