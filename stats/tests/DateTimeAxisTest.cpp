#include "stats/DateTimeAxis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vantrel {
namespace {

constexpr double kSecond = 1.0 / 86400;
constexpr double kMinute = 60 * kSecond;
constexpr double kHour = 60 * kMinute;
constexpr double kDay5March2024 = 45356;  // 5 March 2024 as a day count

double At(int hour, int minute, double second = 0)
{
    return kDay5March2024 + hour * kHour + minute * kMinute + second * kSecond;
}

TLocaleFormat EnglishUnitedStates()
{
    TLocaleFormat locale;  // h:mm tt, M/d/yyyy
    return locale;
}

TLocaleFormat German()
{
    TLocaleFormat locale;
    locale.TwelveHour = false;
    locale.HourLeadingZero = true;
    locale.TimeAMString = L"";
    locale.TimePMString = L"";
    locale.ShortDateFormat = L"dd.MM.yyyy";
    locale.ThousandSeparator = L".";
    locale.DecimalSeparator = L",";
    return locale;
}

// A 12-hour locale that puts the designator first, with its own separator.
TLocaleFormat DesignatorFirst()
{
    TLocaleFormat locale;
    locale.DesignatorFirst = true;
    locale.TimeAMString = L"\xC624\xC804";  // Korean "AM"
    locale.TimePMString = L"\xC624\xD6C4";  // Korean "PM"
    locale.TimeSeparator = L".";
    locale.ShortDateFormat = L"yyyy-MM-dd";
    return locale;
}

struct LabelCase {
    double value;
    double range;
    const wchar_t* english;
    const wchar_t* german;
    const wchar_t* designatorFirst;
};

TEST(DateTimeLabel, TimeUpToOneDayDateAbove)
{
    const LabelCase cases[] = {
        // Within a day: hours and minutes only, seconds dropped (not rounded).
        {At(15, 7, 59.9), 29.5 * kSecond, L"3:07 PM", L"15:07", L"\xC624\xD6C4 3.07"},
        {At(0, 5), 1, L"12:05 AM", L"00:05", L"\xC624\xC804 12.05"},
        {At(12, 0), 0.5, L"12:00 PM", L"12:00", L"\xC624\xD6C4 12.00"},
        {At(9, 30), 1.0, L"9:30 AM", L"09:30", L"\xC624\xC804 9.30"},
        // A hair before noon rounds to the millisecond, then reads as noon.
        {At(11, 59, 59.99999), kHour, L"12:00 PM", L"12:00", L"\xC624\xD6C4 12.00"},
        // Above one day: the short date.
        {At(15, 7), 1.01, L"3/5/2024", L"05.03.2024", L"2024-03-05"},
        {At(23, 59, 59.9999999), 10, L"3/6/2024", L"06.03.2024", L"2024-03-06"},
        {0, 400, L"12/30/1899", L"30.12.1899", L"1899-12-30"},
    };
    for (const LabelCase& c : cases) {
        EXPECT_EQ(DateTimeLabel(c.value, c.range, EnglishUnitedStates()), c.english) << c.value;
        EXPECT_EQ(DateTimeLabel(c.value, c.range, German()), c.german) << c.value;
        EXPECT_EQ(DateTimeLabel(c.value, c.range, DesignatorFirst()), c.designatorFirst) << c.value;
    }
}

TEST(DateTimeLabel, DatePicturesWithNamesQuotesAndShortYears)
{
    TLocaleFormat locale;
    locale.ShortMonthNames = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                              L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    locale.ShortDayNames = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
    locale.ShortDateFormat = L"ddd d-MMM-yy";
    EXPECT_EQ(FormatShortDate(At(8, 0), locale), L"Tue 5-Mar-24");
    locale.ShortDateFormat = L"d'de 'M' ''y'";
    EXPECT_EQ(FormatShortDate(At(8, 0), locale), L"5de 3 'y");
    // No names known: the number stands in, so the label is never empty.
    locale.ShortMonthNames = {};
    locale.ShortDateFormat = L"d MMM y";
    EXPECT_EQ(FormatShortDate(kDay5March2024 + 300, locale), L"30 12 24");
}

TEST(DateTimeStep, CandidatesAroundOneSecond)
{
    // Walk the candidates of a 29.5-second axis from its first one.
    std::vector<double> candidates{FirstDateTimeStep(29.5 * kSecond)};
    while (candidates.back() < 10 * kSecond) candidates.push_back(NextDateTimeStep(candidates.back()));
    ASSERT_GE(candidates.size(), 5u);
    const double expectedSeconds[] = {0.432, 0.864, 1.728, 5, 10};
    for (int i = 0; i < 5; ++i) {
        const double seconds = candidates[candidates.size() - 5 + i] / kSecond;
        EXPECT_NEAR(seconds, expectedSeconds[i], 1e-9) << i;
    }
    // Below them the 1-2-5 sequence of days, starting from a millionth of the range.
    EXPECT_DOUBLE_EQ(candidates[0], 29.5 * kSecond * 1e-6);
    EXPECT_DOUBLE_EQ(candidates[1], 5e-10);
}

TEST(DateTimeStep, CandidatesWalkTheTableThenDouble)
{
    const double table[] = {5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond, kMinute, 5 * kMinute,
                            10 * kMinute, 15 * kMinute, 30 * kMinute, kHour, 2 * kHour, 6 * kHour,
                            12 * kHour, 1, 2, 3, 7, 15, 30, 60, 90, 120, 182, 365, 730, 1460};
    double step = kSecond;
    for (double expected : table) {
        step = NextDateTimeStep(step);
        EXPECT_NEAR(step, expected, expected * 1e-12);
    }
    // A candidate between table entries moves on from the entry below it.
    EXPECT_NEAR(NextDateTimeStep(7 * kMinute), 10 * kMinute, 1e-15);
    EXPECT_DOUBLE_EQ(FirstDateTimeStep(1e-9), 1e-6 * kSecond);  // never below a microsecond
}

struct StepCase {
    double range;
    double axisLength;
    double widestLabel;
    int expectedFit;
    double expectedStep;
};

TEST(DateTimeStep, StepTable)
{
    const StepCase cases[] = {
        {29.5 * kSecond, 380, 50, 6, 5 * kSecond},    // a full sample history, labels like "3:07 PM"
        {29.5 * kSecond, 200, 50, 3, 10 * kSecond},   // narrower axis
        {12 * kSecond, 120, 50, 2, 5 * kSecond},      // 12 / 5 = 2.4 rounds to 2, which fits
        {2 * kSecond, 380, 50, 6, 0.432 * kSecond},   // zoomed into two seconds
        {kHour, 380, 50, 6, 10 * kMinute},
        {10, 380, 70, 4, 3},                          // dates: 10 days
        {1095.75, 380, 70, 4, 365},
        {3652.5, 380, 70, 4, 1460},                   // doubling above a year
        {1e-9, 380, 50, 6, 2e-10},                    // a range widened from zero width
        {29.5 * kSecond, 10, 50, 1, 30 * kSecond},    // nothing fits: still one label
    };
    for (const StepCase& c : cases) {
        const int fit = LabelsThatFit(c.axisLength, c.widestLabel);
        EXPECT_EQ(fit, c.expectedFit) << c.range;
        EXPECT_NEAR(DateTimeStep(c.range, fit), c.expectedStep, c.expectedStep * 1e-9) << c.range;
    }
}

}  // namespace
}  // namespace vantrel
