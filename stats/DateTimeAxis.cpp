#include "stats/DateTimeAxis.h"

#include <cmath>
#include <cstdint>

#include "stats/ChartScale.h"

namespace vantrel {

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86400000;
constexpr double kMicrosecondInDays = 1e-6 / 86400.0;
// Day 0 of the day count lies 25569 days before 1 January 1970.
constexpr std::int64_t kDayCountToUnixDays = -25569;

struct TDecoded {
    std::int64_t Year;
    int Month;  // 1..12
    int Day;    // 1..31
    int DayOfWeek;  // 0 = Sunday
    int Hour;
    int Minute;
};

// Splits a day count into calendar date and time of day. As with the Delphi-style day count,
// the date is the whole part and the time the distance from it, so -0.25 is 30 December 1899
// 6:00. Rounding to the millisecond first keeps 11:59:59.9999 from reading 11:59.
TDecoded Decode(double dateTime)
{
    double whole = std::trunc(dateTime);
    std::int64_t ms = std::llround(std::fabs(dateTime - whole) * kMillisecondsPerDay);
    if (ms >= kMillisecondsPerDay) {
        ms -= kMillisecondsPerDay;
        whole += dateTime < 0 ? -1 : 1;
    }
    // Civil date from days since 1970 (Howard Hinnant's algorithm).
    const std::int64_t z = static_cast<std::int64_t>(whole) + kDayCountToUnixDays + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    TDecoded decoded{};
    decoded.Day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    decoded.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    decoded.Year = yearOfEra + era * 400 + (decoded.Month <= 2 ? 1 : 0);
    const std::int64_t unixDays = static_cast<std::int64_t>(whole) + kDayCountToUnixDays;
    decoded.DayOfWeek = static_cast<int>(((unixDays % 7) + 7 + 4) % 7);  // 1 Jan 1970 was a Thursday
    decoded.Hour = static_cast<int>(ms / 3600000);
    decoded.Minute = static_cast<int>(ms / 60000 % 60);
    return decoded;
}

void AppendNumber(std::wstring& text, std::int64_t value, int minimumDigits)
{
    std::wstring digits = std::to_wstring(value < 0 ? -value : value);
    if (value < 0) text += L'-';
    if (static_cast<int>(digits.size()) < minimumDigits) text.append(minimumDigits - digits.size(), L'0');
    text += digits;
}

// The number of times `letter` repeats from `position` on.
std::size_t RunLength(const std::wstring& picture, std::size_t position)
{
    std::size_t end = position;
    while (end < picture.size() && picture[end] == picture[position]) ++end;
    return end - position;
}

}  // namespace

std::wstring FormatShortTime(double dateTime, const TLocaleFormat& locale)
{
    const TDecoded time = Decode(dateTime);
    int hour = time.Hour;
    if (locale.TwelveHour) {
        hour %= 12;
        if (hour == 0) hour = 12;
    }
    std::wstring clock;
    AppendNumber(clock, hour, locale.HourLeadingZero ? 2 : 1);
    clock += locale.TimeSeparator;
    AppendNumber(clock, time.Minute, 2);
    if (!locale.TwelveHour) return clock;

    const std::wstring& designator = time.Hour < 12 ? locale.TimeAMString : locale.TimePMString;
    if (designator.empty()) return clock;
    return locale.DesignatorFirst ? designator + L' ' + clock : clock + L' ' + designator;
}

std::wstring FormatShortDate(double dateTime, const TLocaleFormat& locale)
{
    const TDecoded date = Decode(dateTime);
    const std::wstring& picture = locale.ShortDateFormat;
    std::wstring text;
    for (std::size_t i = 0; i < picture.size();) {
        const wchar_t letter = picture[i];
        if (letter == L'\'') {
            // Quoted literal; two quotes in a row stand for one.
            std::size_t end = i + 1;
            while (end < picture.size()) {
                if (picture[end] == L'\'') {
                    if (end + 1 < picture.size() && picture[end + 1] == L'\'') {
                        text += L'\'';
                        end += 2;
                        continue;
                    }
                    break;
                }
                text += picture[end++];
            }
            i = end + 1;
            continue;
        }
        const std::size_t run = RunLength(picture, i);
        switch (letter) {
        case L'd':
            if (run <= 2) {
                AppendNumber(text, date.Day, static_cast<int>(run));
            } else {
                const auto& names = run == 3 ? locale.ShortDayNames : locale.LongDayNames;
                if (names[date.DayOfWeek].empty()) AppendNumber(text, date.Day, 2);
                else text += names[date.DayOfWeek];
            }
            break;
        case L'M':
            if (run <= 2) {
                AppendNumber(text, date.Month, static_cast<int>(run));
            } else {
                const auto& names = run == 3 ? locale.ShortMonthNames : locale.LongMonthNames;
                if (names[date.Month - 1].empty()) AppendNumber(text, date.Month, 2);
                else text += names[date.Month - 1];
            }
            break;
        case L'y':
            if (run == 1) AppendNumber(text, date.Year % 100, 1);
            else if (run == 2) AppendNumber(text, date.Year % 100, 2);
            else AppendNumber(text, date.Year, 4);
            break;
        case L'g':
            break;  // era names only matter for calendars the day count does not use
        default:
            text.append(run, letter);
            break;
        }
        i += run;
    }
    return text;
}

std::wstring DateTimeLabel(double dateTime, double range, const TLocaleFormat& locale)
{
    return range <= 1 ? FormatShortTime(dateTime, locale) : FormatShortDate(dateTime, locale);
}

double FirstDateTimeStep(double range) noexcept
{
    const double step = range * 1e-6;
    return step < kMicrosecondInDays ? kMicrosecondInDays : step;
}

double NextDateTimeStep(double step) noexcept
{
    static constexpr double kSecond = kSecondInDays;
    static constexpr double kMinute = 60 * kSecond;
    static constexpr double kHour = 60 * kMinute;
    static constexpr double kTable[] = {
        kSecond,     5 * kSecond,  10 * kSecond, 15 * kSecond, 30 * kSecond, kMinute, 5 * kMinute,
        10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,        2 * kHour,    6 * kHour, 12 * kHour,
        1,           2,            3,            7,            15,           30,      60,
        90,          120,          182,          365,
    };
    // Compare with a hair of tolerance: a candidate that came out of arithmetic as 4.9999999 s
    // is the 5 s entry.
    const double tolerant = step * (1 + 1e-9);
    if (tolerant < kSecond) return NextOneTwoFive(step);
    if (tolerant >= 365) return step * 2;
    std::size_t largestNotAbove = 0;
    for (std::size_t i = 0; i < std::size(kTable); ++i) {
        if (kTable[i] <= tolerant) largestNotAbove = i;
    }
    return kTable[largestNotAbove + 1];
}

int LabelsThatFit(double axisLength, double widestLabel) noexcept
{
    const double pitch = widestLabel * (1 + LabelsSeparation);
    if (pitch <= 0) return 1;
    const double fit = std::floor(axisLength / pitch);
    return fit < 1 ? 1 : static_cast<int>(fit);
}

double DateTimeStep(double range, int fit) noexcept
{
    double step = FirstDateTimeStep(range);
    // Doubling from a year on reaches any finite range; the bound only stops a NaN range.
    for (int tries = 0; tries < 2000; ++tries) {
        if (std::round(range / step) <= fit) return step;
        step = NextDateTimeStep(step);
    }
    return step;
}

}  // namespace vantrel
