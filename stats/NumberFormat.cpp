#include "stats/NumberFormat.h"

#include <cmath>
#include <cstdio>

#include "stats/ChartScale.h"

namespace vantrel {

std::wstring FormatNumber(double value, const TLocaleFormat& locale)
{
    if (!std::isfinite(value)) return std::isnan(value) ? L"NaN" : (value < 0 ? L"-INF" : L"INF");

    char buffer[400];  // %.3f of the largest double has 309 integer digits
    std::snprintf(buffer, sizeof buffer, "%.3f", std::fabs(value));
    std::string digits(buffer);
    const std::size_t point = digits.find('.');
    std::string integer = digits.substr(0, point);
    std::string fraction = digits.substr(point + 1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();

    std::wstring text;
    // A value that rounds to zero reads "0", never "-0".
    if (value < 0 && (integer != "0" || !fraction.empty())) text += L'-';
    for (std::size_t i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0) text += locale.ThousandSeparator;
        text += static_cast<wchar_t>(integer[i]);
    }
    if (!fraction.empty()) {
        text += locale.DecimalSeparator;
        for (char digit : fraction) text += static_cast<wchar_t>(digit);
    }
    return text;
}

double NumericStep(double range, double axisLength, double labelPitch) noexcept
{
    constexpr double kFinest = 0.001;  // the picture shows three decimals at most
    double fit = labelPitch > 0 ? std::floor(axisLength / labelPitch) : 1;
    if (fit < 1) fit = 1;
    double step = kFinest;
    if (range * 1e-6 > step) step = NextOneTwoFive(range * 1e-6);
    for (int tries = 0; tries < 2000 && std::round(range / step) > fit; ++tries) step = NextOneTwoFive(step);
    return step;
}

}  // namespace vantrel
