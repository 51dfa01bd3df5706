#pragma once
// The traffic sampler's arithmetic, its sample history and the time stamps, free of the
// platform so that they can be tested anywhere. The monitor window feeds it the counters
// and carries out what it decides.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel {

// One traffic sample: segments sent and received in one 500 ms tick.
struct NETSTAT_REC {
    double TimeStamp;              // local time as a day count since 30 December 1899
    std::int32_t SentSegments;
    std::int32_t ReceivedSegments;
};

// Local wall-clock time as a day count: whole days since 30 December 1899, the time of day
// as the fraction, to the millisecond.
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);

// The last samples, oldest first. A fixed ring: appending never allocates, and the oldest
// sample beyond the bound is dropped at once.
class TSampleHistory {
public:
    static constexpr std::size_t kBound = 60;

    std::size_t Count() const noexcept { return count_; }
    const NETSTAT_REC& operator[](std::size_t index) const noexcept { return ring_[(first_ + index) % kBound]; }
    void Append(const NETSTAT_REC& record) noexcept;
    void Clear() noexcept { first_ = count_ = 0; }

private:
    std::array<NETSTAT_REC, kBound> ring_{};
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

// What the sampler needs from the rest of the program and what it does to it.
class ISamplerHost {
public:
    virtual ~ISamplerHost() = default;
    virtual bool StatisticsWindowExists() = 0;
    // Reads the cumulative TCP segment counters; false when the platform call fails.
    virtual bool FetchStatistics(std::uint32_t& inSegs, std::uint32_t& outSegs) = 0;
    virtual void ReportStatisticsFailure() = 0;
    virtual std::string CurrentIP() = 0;
    virtual void SetTooltip(const std::string& text) = 0;  // followed by a refresh of the icon
    virtual void SetTotals(const std::string& received, const std::string& sent) = 0;
    virtual bool IsOnline() = 0;
    virtual void ShowIcon(int index) = 0;  // sets the picture and refreshes the icon
    virtual void AppendSample(std::int32_t sent, std::int32_t received) = 0;
};

// The tick of the traffic sampler, every 500 ms.
class TTrafficSampler {
public:
    void SetStatisticsAvailable(bool available) noexcept { available_ = available; }
    bool GetStatisticsAvailable() const noexcept { return available_; }
    void Tick(ISamplerHost& host);

    static std::string FormatTooltip(const std::string& address, std::uint32_t inDelta, std::uint32_t outDelta);

private:
    bool available_ = false;
    bool firstTick_ = true;
    std::uint32_t tickCounter_ = 0;
    std::uint32_t inSegs_ = 0;  // the last fetched counters; zero until the first fetch
    std::uint32_t outSegs_ = 0;
    std::uint32_t previousIn_ = 0;
    std::uint32_t previousOut_ = 0;
    bool blinkPhase_ = false;
};

}  // namespace vantrel
