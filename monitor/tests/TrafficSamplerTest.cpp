#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "monitor/TrafficSampler.h"

namespace vantrel {
namespace {

// Plays the rest of the program: scripted counters, and a log of what the sampler did.
struct ScriptedHost : ISamplerHost {
    struct Counters {
        std::uint32_t in, out;
        bool ok = true;
    };
    std::deque<Counters> script;
    bool windowExists = true;
    bool online = true;
    std::string address = "192.168.1.20";
    int fetches = 0;
    int failures = 0;
    std::vector<std::string> tooltips;
    std::vector<std::pair<std::string, std::string>> totals;
    std::vector<int> icons;
    TSampleHistory history;

    bool StatisticsWindowExists() override { return windowExists; }
    bool FetchStatistics(std::uint32_t& in, std::uint32_t& out) override
    {
        ++fetches;
        Counters next = script.empty() ? Counters{in, out} : script.front();
        if (!script.empty()) script.pop_front();
        if (!next.ok) return false;
        in = next.in;
        out = next.out;
        return true;
    }
    void ReportStatisticsFailure() override { ++failures; }
    std::string CurrentIP() override { return address; }
    void SetTooltip(const std::string& text) override { tooltips.push_back(text); }
    void SetTotals(const std::string& received, const std::string& sent) override { totals.emplace_back(received, sent); }
    bool IsOnline() override { return online; }
    void ShowIcon(int index) override { icons.push_back(index); }
    void AppendSample(std::int32_t sent, std::int32_t received) override
    {
        history.Append({static_cast<double>(history.Count()), sent, received});
    }
};

class SamplerTest : public ::testing::Test {
protected:
    void SetUp() override { sampler.SetStatisticsAvailable(true); }
    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i) sampler.Tick(host);
    }
    TTrafficSampler sampler;
    ScriptedHost host;
};

TEST_F(SamplerTest, FourWarmUpTicksThenTheFirstTickComparesAgainstZero)
{
    host.script = {{1000, 400}, {1014, 409}};
    Ticks(4);
    EXPECT_EQ(host.fetches, 0);
    EXPECT_TRUE(host.tooltips.empty());

    Ticks(1);  // the fifth tick is the first that works
    ASSERT_EQ(host.tooltips.size(), 1u);
    EXPECT_EQ(host.tooltips[0], "192.168.1.20\nSegs In:1000\nSegs Out:400");
    EXPECT_EQ(host.totals.back(), (std::pair<std::string, std::string>{"0", "0"}));
    EXPECT_EQ(host.history.Count(), 0u);  // no sample against zero totals

    Ticks(1);  // the sixth tick appends the first sample
    EXPECT_EQ(host.tooltips[1], "192.168.1.20\nSegs In:14\nSegs Out:9");
    EXPECT_EQ(host.totals.back(), (std::pair<std::string, std::string>{"1000", "400"}));  // one tick behind
    ASSERT_EQ(host.history.Count(), 1u);
    EXPECT_EQ(host.history[0].SentSegments, 9);
    EXPECT_EQ(host.history[0].ReceivedSegments, 14);
}

TEST_F(SamplerTest, DifferencesWrapAndAResetPrintsNegative)
{
    struct Case {
        const char* name;
        std::uint32_t firstIn, secondIn;
        const char* expectedInLine;
        std::int32_t expectedSample;
    };
    const Case cases[] = {
        {"wrap past 2^32", 0xFFFFFFF0u, 0x00000005u, "Segs In:21", 21},
        {"counter reset", 5000000u, 100u, "Segs In:-4999900", -4999900},
        {"idle", 777u, 777u, "Segs In:0", 0},
    };
    for (const Case& c : cases) {
        TTrafficSampler sampler;
        sampler.SetStatisticsAvailable(true);
        ScriptedHost host;
        host.script = {{c.firstIn, 50}, {c.secondIn, 50}};
        for (int i = 0; i < 6; ++i) sampler.Tick(host);
        ASSERT_EQ(host.tooltips.size(), 2u) << c.name;
        EXPECT_NE(host.tooltips[1].find(c.expectedInLine), std::string::npos) << c.name << ": " << host.tooltips[1];
        ASSERT_EQ(host.history.Count(), 1u) << c.name;
        EXPECT_EQ(host.history[0].ReceivedSegments, c.expectedSample) << c.name;
    }
}

TEST_F(SamplerTest, NoSampleWhileEitherPreviousTotalIsZero)
{
    host.script = {{0, 10}, {5, 20}, {8, 25}};
    Ticks(5);  // previous totals 0/0
    Ticks(1);  // previous received total still 0
    EXPECT_EQ(host.history.Count(), 0u);
    Ticks(1);
    EXPECT_EQ(host.history.Count(), 1u);
}

TEST_F(SamplerTest, TheHistoryHoldsSixtySamplesAndDropsTheOldest)
{
    for (std::uint32_t i = 1; i <= 70; ++i) host.script.push_back({1000 + i * 3, 2000 + i * 2});
    Ticks(5);
    Ticks(60);  // thirty seconds of processed ticks
    ASSERT_EQ(host.history.Count(), 60u);
    double oldest = host.history[0].TimeStamp;
    Ticks(1);
    EXPECT_EQ(host.history.Count(), 60u);
    EXPECT_GT(host.history[0].TimeStamp, oldest);  // the oldest went
    EXPECT_EQ(host.history[59].TimeStamp, 60.0);   // the newest is last
}

TEST_F(SamplerTest, TheIconBlinksOnlyWhileOnlineAndCountersMove)
{
    host.script = {{100, 100}, {110, 100}, {120, 100}, {120, 100}, {130, 100}, {140, 100}};
    Ticks(5);  // first processed tick: counters moved from zero
    Ticks(2);
    EXPECT_EQ(host.icons, (std::vector<int>{2, 0, 2}));
    host.icons.clear();
    Ticks(1);  // no change in either counter: the icon is left alone
    EXPECT_TRUE(host.icons.empty());
    host.online = false;
    Ticks(2);  // traffic while offline: no blink
    EXPECT_TRUE(host.icons.empty());
}

TEST_F(SamplerTest, InertWithoutTheStatisticsFunction)
{
    sampler.SetStatisticsAvailable(false);
    host.script = {{100, 100}, {200, 200}};
    Ticks(20);
    EXPECT_EQ(host.fetches, 0);
    EXPECT_TRUE(host.tooltips.empty());
    EXPECT_TRUE(host.totals.empty());
    EXPECT_TRUE(host.icons.empty());
    EXPECT_EQ(host.history.Count(), 0u);
}

TEST_F(SamplerTest, WithoutTheStatisticsWindowTheTickStopsAfterWarmUp)
{
    host.windowExists = false;
    host.script = {{100, 100}};
    Ticks(10);
    EXPECT_EQ(host.fetches, 0);
    host.windowExists = true;
    Ticks(1);
    EXPECT_EQ(host.fetches, 1);
}

TEST_F(SamplerTest, AFailedFetchReportsAndGoesOnWithTheLastValues)
{
    host.script = {{100, 100}, {0, 0, false}};
    Ticks(6);
    EXPECT_EQ(host.failures, 1);
    ASSERT_EQ(host.tooltips.size(), 2u);
    EXPECT_EQ(host.tooltips[1], "192.168.1.20\nSegs In:0\nSegs Out:0");
    EXPECT_EQ(host.history.Count(), 1u);
}

TEST(EncodeDateTime, DayCountsSinceTheEndOf1899)
{
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 12, 0, 0, 0), 2.5);
    EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 3, 1, 0, 0, 0, 0), 36586.0);  // across a leap day
    EXPECT_NEAR(EncodeDateTime(2026, 12, 10, 6, 30, 15, 250), 46366.0 + (6 * 3600 + 30 * 60 + 15.25) / 86400.0, 1e-9);
    // Millisecond resolution.
    EXPECT_NEAR((EncodeDateTime(2026, 1, 1, 0, 0, 0, 1) - EncodeDateTime(2026, 1, 1, 0, 0, 0, 0)) * 86400000.0, 1.0,
                1e-3);
}

}  // namespace
}  // namespace vantrel
