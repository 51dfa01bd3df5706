#pragma once
// The date-time bottom axis: the text of a label and the step between labels. Values are day
// counts with the time of day as the fraction (day 0 is 30 December 1899).

#include <string>

#include "stats/LocaleFormat.h"

namespace vantrel {

inline constexpr double kSecondInDays = 1.0 / 86400.0;

// Labels keep this fraction of their size free between them (`LabelsSeparation`).
inline constexpr double LabelsSeparation = 0.10;

// Hours and two-digit minutes in the locale's short time format; never seconds.
std::wstring FormatShortTime(double dateTime, const TLocaleFormat& locale);
// The date in the locale's short date picture.
std::wstring FormatShortDate(double dateTime, const TLocaleFormat& locale);
// A label of an axis showing `range` days: the time up to one day, the date above.
std::wstring DateTimeLabel(double dateTime, double range, const TLocaleFormat& locale);

// The first step tried for an axis showing `range` days: a millionth of it, at least one
// microsecond.
double FirstDateTimeStep(double range) noexcept;
// The candidate after `step`: 1-2-5 values of days below one second, then the entries of the
// date-time table (1 s ... 365 days), then doubling.
double NextDateTimeStep(double step) noexcept;

// How many labels fit on an axis of `axisLength` pixels when the widest of them is
// `widestLabel` pixels (at least one).
int LabelsThatFit(double axisLength, double widestLabel) noexcept;

// The first candidate step whose label count, range / step rounded, does not exceed `fit`.
double DateTimeStep(double range, int fit) noexcept;

}  // namespace vantrel
