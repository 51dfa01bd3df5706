#include "stats/NumberFormat.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct NumberCase {
    double value;
    const wchar_t* english;
    const wchar_t* german;
};

TEST(FormatNumber, GroupsDigitsAndKeepsUpToThreeDecimals)
{
    TLocaleFormat english;
    TLocaleFormat german;
    german.ThousandSeparator = L".";
    german.DecimalSeparator = L",";
    const NumberCase cases[] = {
        {0, L"0", L"0"},
        {7, L"7", L"7"},
        {999, L"999", L"999"},
        {1000, L"1,000", L"1.000"},
        {1234567, L"1,234,567", L"1.234.567"},
        {1234.5, L"1,234.5", L"1.234,5"},
        {0.125, L"0.125", L"0,125"},
        {2.0004, L"2", L"2"},                 // beyond three decimals
        {999.9996, L"1,000", L"1.000"},       // rounding carries into a new group
        {-0.0004, L"0", L"0"},                // never "-0"
        {-1234.25, L"-1,234.25", L"-1.234,25"},
        {-2147483648.0, L"-2,147,483,648", L"-2.147.483.648"},  // a 32-bit count read as signed
    };
    for (const NumberCase& c : cases) {
        EXPECT_EQ(FormatNumber(c.value, english), c.english) << c.value;
        EXPECT_EQ(FormatNumber(c.value, german), c.german) << c.value;
    }

    TLocaleFormat french;
    french.ThousandSeparator = L"\u00A0";
    french.DecimalSeparator = L",";
    EXPECT_EQ(FormatNumber(1234567.5, french), L"1\u00A0234\u00A0567,5");
}

TEST(NumericStep, LabelsFitWithoutGoingBelowThePicture)
{
    struct {
        double range, axisLength, pitch, step;
    } const cases[] = {
        {120, 300, 28, 20},      // 10 fit; 10 would need 12
        {2, 300, 28, 0.2},       // a flat series shown from -1 to 1
        {100, 300, 28, 10},      // exactly 10 labels fit
        {2e-10, 300, 28, 0.001}, // a zero-width zoom: the picture shows nothing finer
        {1e9, 300, 28, 1e8},
        {50, 10, 28, 50},        // no room: one label
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(NumericStep(c.range, c.axisLength, c.pitch), c.step) << c.range;
}

}  // namespace
}  // namespace vantrel
