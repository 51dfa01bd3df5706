#include "monitor/TrafficSampler.h"

#include <cstdio>

namespace vantrel {

namespace {

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 1 January of year 1 to the given date (proleptic Gregorian calendar).
long long DaysFromCivil(int year, int month, int day)
{
    static const int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    long long y = year - 1;
    long long days = y * 365 + y / 4 - y / 100 + y / 400;
    days += kDaysBefore[month - 1] + (month > 2 && IsLeapYear(year) ? 1 : 0);
    return days + day - 1;
}

}  // namespace

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    const long long epoch = DaysFromCivil(1899, 12, 30);
    double days = static_cast<double>(DaysFromCivil(year, month, day) - epoch);
    double fraction = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
    return days + fraction / 86400000.0;
}

void TSampleHistory::Append(const NETSTAT_REC& record) noexcept
{
    if (count_ < kBound) {
        ring_[(first_ + count_) % kBound] = record;
        ++count_;
    } else {
        ring_[first_] = record;  // the oldest one goes
        first_ = (first_ + 1) % kBound;
    }
}

std::string TTrafficSampler::FormatTooltip(const std::string& address, std::uint32_t inDelta, std::uint32_t outDelta)
{
    // The counts print as signed numbers: a counter reset shows up as a negative count.
    char text[160];
    std::snprintf(text, sizeof(text), "%s\nSegs In:%d\nSegs Out:%d", address.c_str(), static_cast<int>(inDelta),
                  static_cast<int>(outDelta));
    return text;
}

void TTrafficSampler::Tick(ISamplerHost& host)
{
    if (firstTick_) {
        firstTick_ = false;
        previousIn_ = inSegs_;
        previousOut_ = outSegs_;
    }
    if (!available_) return;
    // The first four ticks only warm up.
    if (tickCounter_++ <= 3) return;
    if (!host.StatisticsWindowExists()) return;

    std::uint32_t in = inSegs_;
    std::uint32_t out = outSegs_;
    if (host.FetchStatistics(in, out)) {
        inSegs_ = in;
        outSegs_ = out;
    } else {
        host.ReportStatisticsFailure();  // and go on with the last values fetched
    }

    // Unsigned differences: a counter that wrapped past 2^32 still gives the small step.
    std::uint32_t inDelta = inSegs_ - previousIn_;
    std::uint32_t outDelta = outSegs_ - previousOut_;
    host.SetTooltip(FormatTooltip(host.CurrentIP(), inDelta, outDelta));
    // The labels show the totals as of the previous tick.
    host.SetTotals(std::to_string(previousIn_), std::to_string(previousOut_));

    if ((outSegs_ != previousOut_ || inSegs_ != previousIn_) && host.IsOnline()) {
        blinkPhase_ = !blinkPhase_;
        host.ShowIcon(blinkPhase_ ? 2 : 0);
    }

    // A zero previous total means nothing was counted yet: no sample from it.
    if (previousOut_ != 0 && previousIn_ != 0)
        host.AppendSample(static_cast<std::int32_t>(outDelta), static_cast<std::int32_t>(inDelta));

    previousIn_ = inSegs_;
    previousOut_ = outSegs_;
}

}  // namespace vantrel
