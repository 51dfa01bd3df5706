#include "stats/ChartLayout.h"

#include <algorithm>
#include <cmath>

#include "stats/DateTimeAxis.h"
#include "stats/NumberFormat.h"

namespace vantrel {

namespace {

// How far the box recedes, as a share of the plot's smaller side.
constexpr int Chart3DPercent = 15;
// A numeric label needs its own height and as much again free, so the left axis reads as a
// calm scale rather than a column of numbers.
constexpr double kLeftLabelPitchInLines = 2.0;
// Sides of a flat automatic axis: one count, or one second on a time axis.
constexpr double kNumericSpread = 1.0;

int Round(double value)
{
    return static_cast<int>(std::lround(value));
}

}  // namespace

TChartLayout ComputeChartLayout(const TChartRect& bounds, const TChartContent& content, const TChartMeasures& measures)
{
    TChartLayout layout;
    const TLocaleFormat& locale = *content.Locale;
    const TChartScales& scales = *content.Scales;
    const int textHeight = measures.TextHeight();
    layout.TextHeight = textHeight;
    layout.TickLength = measures.Scaled(4);

    const int width = bounds.Right - bounds.Left;
    const int height = bounds.Bottom - bounds.Top;
    layout.Inner = {bounds.Left + width * 3 / 100, bounds.Top + height * 4 / 100, bounds.Right - width * 3 / 100,
                    bounds.Bottom - height * 4 / 100};
    const TChartRect& inner = layout.Inner;

    // Title lines on top.
    int top = inner.Top;
    int titleWidth = 0;
    const int titleLines = static_cast<int>(content.TitleLines.size());
    for (const std::wstring& line : content.TitleLines) titleWidth = std::max(titleWidth, measures.TextWidth(line));
    if (titleLines > 0) top += titleLines * textHeight + measures.Scaled(6);

    // The legend at the right; the plot gives way to it.
    const int activeSeries = static_cast<int>(content.Series.size());
    int widestSeriesTitle = 0;
    for (const TChartSeriesContent& series : content.Series) {
        widestSeriesTitle = std::max(widestSeriesTitle, measures.TextWidth(series.Title));
    }
    int plotRight = inner.Right;
    if (activeSeries > 0) {
        layout.HasLegend = true;
        layout.LegendRowHeight = textHeight + measures.Scaled(3);
        layout.LegendRowsTop = measures.Scaled(4);
        layout.LegendSymbolLeft = measures.Scaled(6);
        layout.LegendSymbolHalfHeight = measures.Scaled(3);
        layout.LegendSymbolWidth = measures.Scaled(18);
        layout.LegendTextGap = measures.Scaled(5);
        const int legendWidth = layout.LegendSymbolLeft + layout.LegendSymbolWidth + layout.LegendTextGap +
                                widestSeriesTitle + measures.Scaled(8);
        const int legendHeight = activeSeries * layout.LegendRowHeight + measures.Scaled(8);
        const int legendTop = top + (inner.Bottom - top) / 10;
        layout.Legend = {inner.Right - legendWidth, legendTop, inner.Right, legendTop + legendHeight};
        plotRight = layout.Legend.Left - measures.Scaled(12);
    }

    // Room for the bottom axis labels, then the depth of the box.
    TChartRect& front = layout.Front;
    front.Bottom = inner.Bottom - (2 + layout.TickLength + measures.Scaled(2) + textHeight);
    // The depth recedes at 45 degrees, so it moves the back of the box by depth / sqrt(2) in
    // each direction.
    const double depth = std::min(plotRight - inner.Left, front.Bottom - top) * Chart3DPercent / 100.0;
    layout.Depth = std::max(0, Round(depth * std::sqrt(0.5)));
    front.Top = std::min(top + layout.Depth, front.Bottom - 1);

    // Ranges from the scale state and the data of the active series.
    TDataExtent xs, ys;
    for (const TChartSeriesContent& series : content.Series) {
        for (const TChartPoint& point : series.Points) {
            xs.Include(point.X);
            ys.Include(point.Y);
        }
    }
    layout.BottomDateTime = activeSeries > 0 && content.Series.front().DateTime;
    const TValueRange bottomRange =
        scales.BottomAxis.Visible(xs, layout.BottomDateTime ? kSecondInDays : kNumericSpread);
    const TValueRange leftRange = scales.LeftAxis.Visible(ys, kNumericSpread);
    layout.BottomLabelled = !(xs.Empty && scales.BottomAxis.Automatic);
    layout.LeftLabelled = !(ys.Empty && scales.LeftAxis.Automatic);

    // Left axis: its labels' width decides where the plot begins.
    layout.LeftStep = NumericStep(leftRange.Width(), front.Bottom - front.Top, textHeight * kLeftLabelPitchInLines);
    int widestLeftLabel = 0;
    if (layout.LeftLabelled) {
        ForEachLabel(leftRange, layout.LeftStep, [&](double value) {
            widestLeftLabel = std::max(widestLeftLabel, measures.TextWidth(FormatNumber(value, locale)));
        });
    }
    const int leftTitleWidth = content.LeftTitle.empty() ? 0 : textHeight + measures.Scaled(6);
    front.Left = inner.Left + leftTitleWidth + widestLeftLabel + measures.Scaled(4) + layout.TickLength + 2;
    front.Right = std::max(front.Left + 1, plotRight - layout.Depth);

    layout.BottomMap = {bottomRange, static_cast<double>(front.Left), static_cast<double>(front.Right)};
    layout.LeftMap = {leftRange, static_cast<double>(front.Bottom), static_cast<double>(front.Top)};

    // Bottom axis step from the widest of the labels at its ends and middle.
    const double axisLength = front.Right - front.Left;
    const double range = bottomRange.Width();
    double widest = 0;
    for (double value : {bottomRange.Minimum, (bottomRange.Minimum + bottomRange.Maximum) / 2, bottomRange.Maximum}) {
        const std::wstring text =
            layout.BottomDateTime ? DateTimeLabel(value, range, locale) : FormatNumber(value, locale);
        widest = std::max<double>(widest, measures.TextWidth(text));
    }
    layout.BottomStep = layout.BottomDateTime ? DateTimeStep(range, LabelsThatFit(axisLength, widest))
                                              : NumericStep(range, axisLength, widest * (1 + LabelsSeparation));

    if (titleLines > 0) {
        const int centre = (front.Left + front.Right + layout.Depth) / 2;
        layout.Title = {centre - titleWidth / 2 - 2, inner.Top, centre + titleWidth / 2 + 2,
                        inner.Top + titleLines * textHeight};
    }
    layout.LeftAxisArea = {inner.Left, front.Top - layout.Depth - textHeight / 2, front.Left,
                           front.Bottom + textHeight / 2 + 1};
    layout.BottomAxisArea = {front.Left - 2, front.Bottom + 1, front.Right + 2, inner.Bottom};
    return layout;
}

TLegendRow TChartLayout::LegendRow(int index) const noexcept
{
    const int rowTop = Legend.Top + LegendRowsTop + index * LegendRowHeight;
    const int symbolLeft = Legend.Left + LegendSymbolLeft;
    const int middle = rowTop + LegendRowHeight / 2;
    TLegendRow row;
    row.Symbol = {symbolLeft, middle - LegendSymbolHalfHeight, symbolLeft + LegendSymbolWidth,
                  middle + LegendSymbolHalfHeight};
    row.TextLeft = row.Symbol.Right + LegendTextGap;
    row.TextTop = rowTop + (LegendRowHeight - TextHeight) / 2;
    return row;
}

bool TChartLayout::StartsZoom(int x, int y) const noexcept
{
    if (HasLegend && Legend.Contains(x, y)) return false;
    if (Title.Contains(x, y)) return true;
    if (LeftAxisArea.Contains(x, y) || BottomAxisArea.Contains(x, y)) return true;
    // The plot box as seen: its front face swept back along the depth (a hexagon).
    const int d = Depth;
    if (x < Front.Left || x > Front.Right + d || y < Front.Top - d || y > Front.Bottom) return false;
    if ((x - Front.Left) + (y - Front.Top) < 0) return false;      // above the left wall's slope
    if ((x - Front.Right) + (y - Front.Bottom) > 0) return false;  // below the floor's slope
    return true;
}

}  // namespace vantrel
