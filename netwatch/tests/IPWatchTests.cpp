// The IP watcher with its pacing thread and the hand-over to a real message loop. Addresses
// come from synthetic adapter records through the IP-information entries.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/Application.h"
#include "netwatch/IdIPWatch.h"
#include "netwatch/tests/AdapterRecords.h"
#include "tests/support/ApplicationFixture.h"

namespace vantrel {
namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;
using testing::Adapter;
using testing::V4;

long Elapsed(Clock::time_point since)
{
    return static_cast<long>(std::chrono::duration_cast<Milliseconds>(Clock::now() - since).count());
}

class IPWatch : public testing::ApplicationFixture {
protected:
    void SetUp() override
    {
        ApplicationFixture::SetUp();
        watch_ = std::make_unique<TIdIPWatch>();
        watch_->SetHistoryEnabled(false);
        fake_ = std::make_unique<testing::FakeIpHelper>();
        checks_.clear();
        forward_ = iphlp::GetAdaptersAddresses;  // the fake's, with the counter in front of it
        counting_ = std::make_unique<EntryOverride<decltype(iphlp::GetAdaptersAddresses)>>(
            iphlp::GetAdaptersAddresses, &CountingAdapterAddresses);
    }
    void TearDown() override
    {
        watch_.reset();
        counting_.reset();
        fake_.reset();
        ApplicationFixture::TearDown();
        // An exception that reached the error report is a fault in every test here.
        EXPECT_TRUE(reports_.empty());
    }

    // Every check asks for the adapter addresses once: count them with their time.
    static ULONG WINAPI CountingAdapterAddresses(ULONG family, ULONG flags, PVOID reserved,
                                                 PIP_ADAPTER_ADDRESSES buffer, PULONG size)
    {
        checks_.push_back(Clock::now());
        return forward_(family, flags, reserved, buffer, size);
    }

    void Online(const char* address) { fake_->adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V4(address)}}}; }
    void Offline() { fake_->adapters.clear(); }

    // Gaps between consecutive checks, from the start of the watch.
    std::vector<long> Gaps(Clock::time_point start) const
    {
        std::vector<long> gaps;
        auto previous = start;
        for (auto time : checks_) {
            gaps.push_back(static_cast<long>(std::chrono::duration_cast<Milliseconds>(time - previous).count()));
            previous = time;
        }
        return gaps;
    }

    std::unique_ptr<TIdIPWatch> watch_;
    std::unique_ptr<testing::FakeIpHelper> fake_;
    std::unique_ptr<EntryOverride<decltype(iphlp::GetAdaptersAddresses)>> counting_;
    static inline std::vector<Clock::time_point> checks_;
    static inline decltype(iphlp::GetAdaptersAddresses) forward_ = nullptr;
};

TEST_F(IPWatch, ChecksEveryHalfSecondWithTheDefaultInterval)
{
    Online("192.168.1.20");
    EXPECT_EQ(watch_->GetWatchInterval(), 1000u);
    const auto start = Clock::now();
    watch_->SetActive(true);
    EXPECT_EQ(watch_->GetCurrentIP(), L"");  // nothing before the first check
    EXPECT_FALSE(watch_->GetIsOnline());
    Pump(2750);
    const auto gaps = Gaps(start);
    ASSERT_GE(gaps.size(), 5u);
    ASSERT_LE(gaps.size(), 6u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_GE(gaps[i], 450) << "check " << i;
        EXPECT_LE(gaps[i], 650) << "check " << i;
    }
    EXPECT_EQ(watch_->GetCurrentIP(), L"192.168.1.20");
    EXPECT_TRUE(watch_->GetIsOnline());
}

TEST_F(IPWatch, ALongerIntervalChecksAfterEverySliceAndAtItsEnd)
{
    Online("192.168.1.20");
    watch_->SetWatchInterval(1200);
    const auto start = Clock::now();
    watch_->SetActive(true);
    Pump(2550);
    // 500, 1000, 1200 | 1700, 2200, 2400: two full slices, then the 200 ms remainder.
    const auto gaps = Gaps(start);
    ASSERT_GE(gaps.size(), 6u) << "checks: " << gaps.size();
    const long expected[] = {500, 500, 200, 500, 500, 200};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_NEAR(gaps[i], expected[i], 90) << "check " << i;
    }
}

TEST_F(IPWatch, NewIntervalTakesEffectAtTheNextCycle)
{
    Online("192.168.1.20");
    watch_->SetActive(true);
    watch_->SetWatchInterval(300);
    EXPECT_EQ(watch_->Thread()->FInterval.load(), 300);
    watch_->SetWatchInterval(0);
    EXPECT_EQ(watch_->GetWatchInterval(), 0u);
    EXPECT_EQ(watch_->Thread()->FInterval.load(), 1) << "0 would make the thread spin";
    watch_->SetWatchInterval(0xFFFFFFFFu);
    EXPECT_EQ(watch_->Thread()->FInterval.load(), 2147483647);
}

TEST_F(IPWatch, StateFollowsTheChecksAndTheEventFiresOnChangesOnly)
{
    std::vector<bool> events;
    watch_->SetOnStatusChanged([&](TObject* sender) {
        EXPECT_EQ(sender, watch_.get());
        events.push_back(watch_->GetIsOnline());
    });
    Online("192.168.1.20");
    EXPECT_TRUE(watch_->ForceCheck());
    Online("192.168.1.30");
    EXPECT_TRUE(watch_->ForceCheck());
    EXPECT_EQ(watch_->GetCurrentIP(), L"192.168.1.30");
    EXPECT_TRUE(watch_->GetIPHistoryList().empty());
    EXPECT_EQ(watch_->GetPreviousIP(), L"");
    Offline();
    EXPECT_FALSE(watch_->ForceCheck());
    EXPECT_EQ(watch_->GetCurrentIP(), L"");
    EXPECT_EQ(watch_->GetPreviousIP(), L"192.168.1.30");
    EXPECT_EQ(watch_->GetIPHistoryList(), std::vector<std::wstring>{L"192.168.1.30"});
    EXPECT_EQ(events, (std::vector<bool>{true, false}));
    EXPECT_EQ(watch_->GetOnLineCount(), 2);
}

TEST_F(IPWatch, ALookupThatRaisesChangesNothing)
{
    Online("192.168.1.20");
    watch_->ForceCheck();
    Offline();
    watch_->ForceCheck();
    Online("10.0.0.5");
    watch_->ForceCheck();
    int events = 0;
    watch_->SetOnStatusChanged([&](TObject*) { ++events; });

    fake_->adapterAddressAnswers = {{ERROR_ACCESS_DENIED, 0}};
    EXPECT_TRUE(watch_->ForceCheck());
    EXPECT_EQ(watch_->GetCurrentIP(), L"10.0.0.5");
    EXPECT_EQ(watch_->GetPreviousIP(), L"192.168.1.20");
    EXPECT_EQ(watch_->GetIPHistoryList(), std::vector<std::wstring>{L"192.168.1.20"});
    EXPECT_EQ(events, 0);

    // The busy flag was cleared: the next check works.
    Offline();
    EXPECT_FALSE(watch_->ForceCheck());
    EXPECT_EQ(events, 1);
}

TEST_F(IPWatch, DestroyingWhileOnlineKeepsTheAddressInMemoryAndWritesNoFile)
{
    const auto folder = std::filesystem::temp_directory_path() / ("vantrel-iphist-" + std::to_string(::GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "iphist.dat";
    watch_->SetHistoryFilename(file.wstring());
    Online("192.168.1.20");
    watch_->ForceCheck();
    watch_.reset();
    EXPECT_FALSE(std::filesystem::exists(file));

    // With the history enabled the list goes to the file: the only entry is the address the
    // watcher had when it was destroyed.
    watch_ = std::make_unique<TIdIPWatch>();
    watch_->SetHistoryFilename(file.wstring());
    watch_->ForceCheck();
    watch_.reset();
    ASSERT_TRUE(std::filesystem::exists(file));
    watch_ = std::make_unique<TIdIPWatch>();
    watch_->SetHistoryFilename(file.wstring());
    watch_->LoadHistory();
    EXPECT_EQ(watch_->GetIPHistoryList(), std::vector<std::wstring>{L"192.168.1.20"});
    EXPECT_EQ(watch_->GetPreviousIP(), L"192.168.1.20");
    watch_->SetHistoryEnabled(false);
    std::filesystem::remove_all(folder);
}

TEST_F(IPWatch, DestroyingWhileTheThreadSleepsReturnsWithinASlice)
{
    Online("192.168.1.20");
    watch_->SetActive(true);
    Pump(650);  // the first check ran; the thread sleeps its next slice
    ASSERT_EQ(checks_.size(), 1u);
    const auto start = Clock::now();
    watch_.reset();
    EXPECT_LT(Elapsed(start), 150) << "the sleep ends when the thread is asked to stop";
    EXPECT_EQ(TIdIPWatchThread::GetThreadCount(), 0);
}

TEST_F(IPWatch, DestroyingWithAPendingHandOverRunsItInsteadOfDeadlocking)
{
    Online("192.168.1.20");
    watch_->SetActive(true);
    // The user-interface thread is busy past the first slice: the watcher blocks in the
    // hand-over, waiting for this thread.
    ::Sleep(700);
    ASSERT_TRUE(checks_.empty());
    const auto start = Clock::now();
    watch_.reset();
    EXPECT_LT(Elapsed(start), 600);
    EXPECT_EQ(checks_.size(), 1u) << "the pending check ran during the wait";
}

TEST_F(IPWatch, DeactivatingStopsTheChecks)
{
    Online("192.168.1.20");
    watch_->SetActive(true);
    Pump(600);
    watch_->SetActive(false);
    EXPECT_EQ(watch_->Thread(), nullptr);
    const auto checks = checks_.size();
    Pump(700);
    EXPECT_EQ(checks_.size(), checks);
    watch_->SetActive(true);  // and can start again
    Pump(600);
    EXPECT_GT(checks_.size(), checks);
}

}  // namespace
}  // namespace vantrel
