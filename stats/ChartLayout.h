#pragma once
// Where the chart puts everything for a given size, content and scale state, free of any
// window: the plot box, the legend, the title, the label steps and the value-to-pixel maps.
// Text sizes come from the caller (the control measures with its font in a DC; tests give
// fixed sizes), so the same rules are tested natively and painted on Windows.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "stats/ChartScale.h"
#include "stats/LocaleFormat.h"

namespace vantrel {

struct TChartPoint {
    double X;
    double Y;
};

// A rectangle in chart pixels; right and bottom lie outside it, as with a Windows RECT.
struct TChartRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    bool Contains(int x, int y) const noexcept { return x >= Left && x < Right && y >= Top && y < Bottom; }
    bool operator==(const TChartRect&) const = default;
};

// What the layout asks of the device it will be painted on.
class TChartMeasures {
public:
    virtual ~TChartMeasures() = default;
    // The height of a line of the chart's text.
    virtual int TextHeight() const = 0;
    // The width of `text` in the chart's font.
    virtual int TextWidth(std::wstring_view text) const = 0;
    // A length given in 96-dpi pixels, at the device's scale.
    virtual int Scaled(int pixels96) const = 0;
};

// One active series as the layout sees it.
struct TChartSeriesContent {
    std::wstring_view Title;
    std::span<const TChartPoint> Points;
    bool DateTime = false;  // its x values are date-times (only the first series' flag counts)
};

// What the chart shows, as far as it moves things.
struct TChartContent {
    std::span<const std::wstring> TitleLines;
    std::wstring_view LeftTitle;
    std::span<const TChartSeriesContent> Series;  // the active ones, in order
    const TChartScales* Scales = nullptr;
    const TLocaleFormat* Locale = nullptr;
};

// One row of the legend: its colour symbol and where its text starts.
struct TLegendRow {
    TChartRect Symbol;
    int TextLeft = 0;
    int TextTop = 0;
};

struct TChartLayout {
    TChartRect Inner;  // the bounds less their margins
    int TextHeight = 0;
    int TickLength = 0;
    TChartRect Title;   // empty without a title
    TChartRect Legend;  // empty without active series
    int LegendRowHeight = 0;
    bool HasLegend = false;
    // The front face of the plot box; the box recedes `Depth` pixels up and to the right.
    TChartRect Front;
    int Depth = 0;
    TChartRect LeftAxisArea;
    TChartRect BottomAxisArea;
    TAxisMapping BottomMap;
    TAxisMapping LeftMap;
    bool BottomDateTime = false;
    bool BottomLabelled = false;  // an automatic axis without data has nothing to label
    bool LeftLabelled = false;
    double BottomStep = 0;
    double LeftStep = 0;

    // The legend's insets at the device's scale.
    int LegendRowsTop = 0;
    int LegendSymbolLeft = 0;
    int LegendSymbolHalfHeight = 0;
    int LegendSymbolWidth = 0;
    int LegendTextGap = 0;

    TLegendRow LegendRow(int index) const noexcept;

    // Whether a press at (x, y) may start a zoom drag: on the plot area, an axis, a series
    // line or the title; not on the legend or the margin around the plot.
    bool StartsZoom(int x, int y) const noexcept;
};

TChartLayout ComputeChartLayout(const TChartRect& bounds, const TChartContent& content, const TChartMeasures& measures);

// Calls `visit(value)` for each label of an axis showing `range` with labels `step` apart.
template <typename Visit>
void ForEachLabel(const TValueRange& range, double step, Visit&& visit)
{
    if (!(step > 0)) return;
    const double first = FirstLabelValue(range.Minimum, step);
    const double last = range.Maximum + step * 1e-9;
    // The step rules keep the count near the number that fits; the bound only guards against
    // a degenerate range.
    for (int i = 0; i < 1000; ++i) {
        const double value = first + i * step;
        if (value > last) break;
        visit(value);
    }
}

}  // namespace vantrel
