#pragma once
// What the chart's texts need from the user's regional settings, as plain data. The Windows
// layer reads it from the locale; tests write it out for the locales they care about.

#include <array>
#include <string>

namespace vantrel {

struct TLocaleFormat {
    // Short time: hours, the separator and two-digit minutes.
    std::wstring TimeSeparator = L":";
    bool HourLeadingZero = false;
    bool TwelveHour = true;
    std::wstring TimeAMString = L"AM";
    std::wstring TimePMString = L"PM";
    bool DesignatorFirst = false;  // "AM 9:05" rather than "9:05 AM"

    // A Windows date picture such as "M/d/yyyy" or "dd.MM.yyyy".
    std::wstring ShortDateFormat = L"M/d/yyyy";
    // Names for the rare short date pictures that spell months or days out; index 0 is January
    // and Sunday. Left empty, the number stands in.
    std::array<std::wstring, 12> ShortMonthNames{};
    std::array<std::wstring, 12> LongMonthNames{};
    std::array<std::wstring, 7> ShortDayNames{};
    std::array<std::wstring, 7> LongDayNames{};

    std::wstring ThousandSeparator = L",";
    std::wstring DecimalSeparator = L".";
};

}  // namespace vantrel
