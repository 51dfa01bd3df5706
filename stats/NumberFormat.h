#pragma once
// The numeric axis's labels: the "#,##0.###" picture (digit groups of three, up to three
// decimals, no trailing zeros) with the locale's separators, and the spacing of those labels.

#include <string>

#include "stats/LocaleFormat.h"

namespace vantrel {

std::wstring FormatNumber(double value, const TLocaleFormat& locale);

// The label step of a numeric axis of `axisLength` pixels showing `range` when each label
// needs `labelPitch` pixels along the axis: the smallest 1-2-5 step, no finer than the
// picture's 0.001, whose labels fit.
double NumericStep(double range, double axisLength, double labelPitch) noexcept;

}  // namespace vantrel
