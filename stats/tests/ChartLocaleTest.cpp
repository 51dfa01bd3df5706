// The locale description read from the user's settings formats as the platform itself does
// (for locales whose time format is hours, separator, minutes and an optional designator, as
// the common ones are).

#include <gtest/gtest.h>

#include <windows.h>

#include "stats/Chart.h"
#include "stats/DateTimeAxis.h"

namespace vantrel {
namespace {

TEST(UserLocaleFormat, LabelsMatchThePlatformsOwnFormatting)
{
    const TLocaleFormat locale = UserLocaleFormat();
    for (int hour : {0, 9, 12, 15, 23}) {
        SYSTEMTIME time{};
        time.wYear = 2024;
        time.wMonth = 3;
        time.wDay = 5;
        time.wHour = static_cast<WORD>(hour);
        time.wMinute = 7;
        time.wSecond = 42;
        const double dateTime = 45356 + (hour * 3600 + 7 * 60 + 42) / 86400.0;

        wchar_t expected[100];
        ASSERT_GT(::GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, expected, 100), 0);
        EXPECT_EQ(FormatShortTime(dateTime, locale), expected) << hour;
        ASSERT_GT(::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, expected, 100), 0);
        EXPECT_EQ(FormatShortDate(dateTime, locale), expected);
    }
}

}  // namespace
}  // namespace vantrel
