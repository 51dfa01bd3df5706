#include "stats/ChartLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

// Text 10 pixels high and 5 pixels a character: round numbers to work the layout out by hand.
class FixedMeasures : public TChartMeasures {
public:
    explicit FixedMeasures(int scale = 1) : scale_(scale) {}
    int TextHeight() const override { return 10; }
    int TextWidth(std::wstring_view text) const override { return 5 * static_cast<int>(text.size()); }
    int Scaled(int pixels96) const override { return pixels96 * scale_; }

private:
    int scale_;
};

// A 500 x 400 chart with a one-line title (25 px wide), a left axis title and two series
// whose titles are 10 and 20 px wide, before the first sample.
class TitledChartLayout : public ::testing::Test {
protected:
    TChartLayout Compute(int scale = 1)
    {
        content.TitleLines = titleLines;
        content.LeftTitle = L"Rate";
        content.Series = series;
        content.Scales = &scales;
        content.Locale = &locale;
        return ComputeChartLayout(TChartRect{0, 0, 500, 400}, content, FixedMeasures(scale));
    }

    std::vector<std::wstring> titleLines{L"Title"};
    std::vector<TChartSeriesContent> series{{L"ab", {}, true}, {L"abcd", {}, false}};
    TChartScales scales;
    TLocaleFormat locale;
    TChartContent content;
};

TEST_F(TitledChartLayout, PlacesBoxLegendTitleAndAxisAreas)
{
    const TChartLayout layout = Compute();
    // Margins of 3 % and 4 %: 15 and 16 pixels.
    EXPECT_EQ(layout.Inner, (TChartRect{15, 16, 485, 384}));
    EXPECT_EQ(layout.TickLength, 4);
    // Below the title line and its 6-pixel gap (y 32), a tenth of the rest down; 6 + 18 + 5
    // + 20 + 8 wide, two 13-pixel rows and 8 high.
    EXPECT_TRUE(layout.HasLegend);
    EXPECT_EQ(layout.LegendRowHeight, 13);
    EXPECT_EQ(layout.Legend, (TChartRect{428, 67, 485, 101}));
    // The plot ends 12 pixels before the legend (416); the box's depth is 15 % of its
    // smaller side (334) at 45 degrees: 35.
    EXPECT_EQ(layout.Depth, 35);
    // Left: the axis title (10 + 6), no labels yet, 4 + tick 4 + the 2-pixel axis line.
    EXPECT_EQ(layout.Front, (TChartRect{41, 67, 381, 366}));
    // Centred over the box and its depth, 2 pixels wider on each side than the text.
    EXPECT_EQ(layout.Title, (TChartRect{214, 16, 242, 26}));
    EXPECT_EQ(layout.LeftAxisArea, (TChartRect{15, 27, 41, 372}));
    EXPECT_EQ(layout.BottomAxisArea, (TChartRect{39, 367, 383, 384}));
    // No data on automatic axes: nothing to label; the first series decides the time axis.
    EXPECT_FALSE(layout.LeftLabelled);
    EXPECT_FALSE(layout.BottomLabelled);
    EXPECT_TRUE(layout.BottomDateTime);
}

TEST_F(TitledChartLayout, LegendRowsStackUnderEachOther)
{
    const TChartLayout layout = Compute();
    const TLegendRow first = layout.LegendRow(0);
    EXPECT_EQ(first.Symbol, (TChartRect{434, 74, 452, 80}));
    EXPECT_EQ(first.TextLeft, 457);
    EXPECT_EQ(first.TextTop, 72);
    const TLegendRow second = layout.LegendRow(1);
    EXPECT_EQ(second.Symbol, (TChartRect{434, 87, 452, 93}));
    EXPECT_EQ(second.TextTop, 85);
}

TEST_F(TitledChartLayout, InsetsFollowTheDeviceScale)
{
    // Twice the 96-dpi pixels, the same text: every inset doubles, the text does not.
    const TChartLayout layout = Compute(2);
    EXPECT_EQ(layout.TickLength, 8);
    EXPECT_EQ(layout.LegendRowHeight, 16);
    EXPECT_EQ(layout.Legend.Left, 391);
    EXPECT_EQ(layout.Front.Bottom, 360);
    const TLegendRow first = layout.LegendRow(0);
    EXPECT_EQ(first.Symbol, (TChartRect{403, 82, 439, 94}));
    EXPECT_EQ(first.TextLeft, 449);
    EXPECT_EQ(first.TextTop, 83);
}

TEST_F(TitledChartLayout, PressesStartAZoomOnThePlotTitleAndAxesOnly)
{
    const TChartLayout layout = Compute();
    struct Case {
        int x, y;
        bool starts;
        const char* where;
    };
    for (const Case& c : {
             Case{450, 80, false, "legend"},
             Case{228, 20, true, "title"},
             Case{20, 200, true, "left axis labels"},
             Case{200, 370, true, "bottom axis labels"},
             Case{200, 200, true, "front face"},
             Case{51, 32, false, "above the left wall's slope"},
             Case{76, 32, true, "the back wall's top left corner"},
             Case{381, 366, true, "the front face's bottom right corner"},
             Case{416, 366, false, "below the floor's slope at its back"},
             Case{400, 360, false, "below the floor's slope"},
             Case{400, 340, true, "on the back wall beside the front face"},
             Case{417, 100, false, "right of the box"},
             Case{5, 5, false, "margin"},
         }) {
        EXPECT_EQ(layout.StartsZoom(c.x, c.y), c.starts) << c.where << " (" << c.x << ", " << c.y << ")";
    }
}

TEST(ChartLayout, LabelsOfTheDataMoveThePlotAndSetTheSteps)
{
    // One numeric series from (0, 0) to (10, 100); no titles.
    const std::vector<TChartPoint> points{{0, 0}, {10, 100}};
    const std::vector<TChartSeriesContent> series{{L"ab", points, false}};
    const TChartScales scales;
    const TLocaleFormat locale;
    TChartContent content;
    content.Series = series;
    content.Scales = &scales;
    content.Locale = &locale;
    const TChartLayout layout = ComputeChartLayout(TChartRect{0, 0, 500, 400}, content, FixedMeasures());

    EXPECT_EQ(layout.Legend, (TChartRect{438, 52, 485, 73}));
    EXPECT_EQ(layout.Depth, 37);
    // 313 pixels of height fit 15 labels two lines apart, so 100 is labelled in tens; the
    // widest label, "100", is 15 pixels.
    EXPECT_EQ(layout.LeftStep, 10);
    EXPECT_EQ(layout.Front, (TChartRect{40, 53, 389, 366}));
    // "10", the widest of "0", "5" and "10", and a tenth of it apart: 31 fit in 349 pixels.
    EXPECT_EQ(layout.BottomStep, 0.5);
    EXPECT_TRUE(layout.LeftLabelled);
    EXPECT_TRUE(layout.BottomLabelled);
    EXPECT_FALSE(layout.BottomDateTime);
    EXPECT_EQ(layout.Title, TChartRect{});
    // The value maps run over the front face, the left one upwards.
    EXPECT_DOUBLE_EQ(layout.BottomMap.PixelOf(10), 389);
    EXPECT_DOUBLE_EQ(layout.LeftMap.PixelOf(0), 366);
    EXPECT_DOUBLE_EQ(layout.LeftMap.PixelOf(100), 53);
}

TEST(ChartLayout, AZoomedAxisIsLabelledWithoutData)
{
    TChartScales scales;
    scales.LeftAxis.SetMinMax(0, 1);
    const TLocaleFormat locale;
    TChartContent content;
    content.Scales = &scales;
    content.Locale = &locale;
    const TChartLayout layout = ComputeChartLayout(TChartRect{0, 0, 200, 100}, content, FixedMeasures());
    EXPECT_TRUE(layout.LeftLabelled);
    EXPECT_FALSE(layout.BottomLabelled);
    EXPECT_FALSE(layout.HasLegend);
    EXPECT_EQ(layout.Legend, TChartRect{});
}

}  // namespace
}  // namespace vantrel
