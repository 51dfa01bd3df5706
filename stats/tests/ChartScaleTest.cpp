#include "stats/ChartScale.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

// --- the drag gesture --------------------------------------------------------------------

struct DragCase {
    int dx, dy;
    TZoomDrag::TOutcome expected;
};

class ZoomDragThreshold : public ::testing::TestWithParam<DragCase> {};

TEST_P(ZoomDragThreshold, DecidesOnBothDistancesAndTheHorizontalSense)
{
    const DragCase c = GetParam();
    TZoomDrag drag;
    drag.Press(200, 150);
    ASSERT_TRUE(drag.GetActive());
    EXPECT_TRUE(drag.Move(200 + c.dx / 2, 150 + c.dy / 2));
    EXPECT_EQ(drag.Release(200 + c.dx, 150 + c.dy), c.expected);
    EXPECT_FALSE(drag.GetActive());
    EXPECT_EQ(drag.X1(), 200 + c.dx);
    EXPECT_EQ(drag.Y1(), 150 + c.dy);
}

using O = TZoomDrag::TOutcome;
INSTANTIATE_TEST_SUITE_P(Table, ZoomDragThreshold,
                         ::testing::Values(DragCase{16, 16, O::Nothing}, DragCase{17, 16, O::Nothing},
                                           DragCase{16, 17, O::Nothing}, DragCase{17, 17, O::ZoomIn},
                                           DragCase{17, -17, O::ZoomIn},     // up and right zooms in too
                                           DragCase{-17, -17, O::UndoZoom},  // bottom right to top left
                                           DragCase{-17, 17, O::UndoZoom},   // top right to bottom left
                                           DragCase{-16, -40, O::Nothing}, DragCase{300, 0, O::Nothing},
                                           DragCase{0, 0, O::Nothing}));

TEST(ZoomDrag, ASecondPressWhileDraggingKeepsTheFirstStart)
{
    TZoomDrag drag;
    drag.Press(10, 20);
    drag.Press(90, 90);
    EXPECT_EQ(drag.X0(), 10);
    EXPECT_EQ(drag.Y0(), 20);
    EXPECT_EQ(drag.Release(40, 50), O::ZoomIn);
    // Idle again: moves and releases do nothing.
    EXPECT_FALSE(drag.Move(0, 0));
    EXPECT_EQ(drag.Release(500, 500), O::Nothing);
}

// --- the scale state ----------------------------------------------------------------------

TEST(AxisScale, SetMinMaxClearsTheFlagsSwapsAndWidens)
{
    TAxisScale axis;
    axis.SetMinMax(5, 2);
    EXPECT_FALSE(axis.Automatic);
    EXPECT_FALSE(axis.AutomaticMinimum);
    EXPECT_FALSE(axis.AutomaticMaximum);
    EXPECT_EQ(axis.Minimum, 2);
    EXPECT_EQ(axis.Maximum, 5);

    axis.SetMinMax(3, 3);
    EXPECT_DOUBLE_EQ(axis.Minimum, 3 - 1e-10);
    EXPECT_DOUBLE_EQ(axis.Maximum, 3 + 1e-10);
    EXPECT_LT(axis.Minimum, axis.Maximum);
}

TEST(AxisScale, VisibleRangeFollowsDataOnlyWhileAutomatic)
{
    TDataExtent data;
    for (double y : {4.0, -2.0, 9.0}) data.Include(y);

    TAxisScale axis;
    EXPECT_EQ(axis.Visible(data, 1).Minimum, -2);
    EXPECT_EQ(axis.Visible(data, 1).Maximum, 9);

    // A flat series is shown around its value, not on a zero-width axis.
    TDataExtent flat;
    flat.Include(0);
    EXPECT_EQ(axis.Visible(flat, 1).Minimum, -1);
    EXPECT_EQ(axis.Visible(flat, 1).Maximum, 1);

    TAxisScale fixed;
    fixed.SetMinMax(1, 2);
    EXPECT_EQ(fixed.Visible(data, 1).Minimum, 1);
    EXPECT_EQ(fixed.Visible(data, 1).Maximum, 2);

    TAxisScale onlyMinimumAutomatic;
    onlyMinimumAutomatic.Automatic = false;
    onlyMinimumAutomatic.AutomaticMaximum = false;
    onlyMinimumAutomatic.Maximum = 20;
    EXPECT_EQ(onlyMinimumAutomatic.Visible(data, 1).Minimum, -2);
    EXPECT_EQ(onlyMinimumAutomatic.Visible(data, 1).Maximum, 20);
}

TEST(AxisMapping, MapsBothWaysAndBeyondThePlot)
{
    // A vertical axis: minimum at the bottom pixel 300, maximum at the top pixel 100.
    TAxisMapping left{{0, 50}, 300, 100};
    EXPECT_DOUBLE_EQ(left.ValueAt(300), 0);
    EXPECT_DOUBLE_EQ(left.ValueAt(100), 50);
    EXPECT_DOUBLE_EQ(left.ValueAt(200), 25);
    EXPECT_DOUBLE_EQ(left.ValueAt(340), -10);  // below the plot: below the range
    EXPECT_DOUBLE_EQ(left.PixelOf(10), 260);
}

class ChartScalesTest : public ::testing::Test {
protected:
    // The unzoomed view: 29.5 seconds of samples, counts 0..120.
    TValueRange bottomNow{45000.5, 45000.5 + 29.5 / 86400};
    TValueRange leftNow{0, 120};
    TChartScales scales;
    int frames = 0;
};

TEST_F(ChartScalesTest, ZoomInSavesTheAutomaticScalesOnceAndFixesBothAxes)
{
    scales.ZoomIn({45000.50001, 45000.50002}, {10, 60}, bottomNow, leftNow, false, [&] { ++frames; });
    EXPECT_EQ(frames, 0);
    EXPECT_FALSE(scales.GetScalesRestored());
    EXPECT_TRUE(scales.SavedBottomAxis().Automatic);
    EXPECT_TRUE(scales.SavedLeftAxis().Automatic);
    EXPECT_FALSE(scales.BottomAxis.Automatic);
    EXPECT_EQ(scales.LeftAxis.Minimum, 10);
    EXPECT_EQ(scales.LeftAxis.Maximum, 60);

    // A second zoom keeps the copy taken before the first one.
    scales.ZoomIn({45000.500012, 45000.500015}, {60, 20}, {45000.50001, 45000.50002}, {10, 60}, false, {});
    EXPECT_TRUE(scales.SavedLeftAxis().Automatic);
    EXPECT_EQ(scales.LeftAxis.Minimum, 20);  // reversed target swapped
    EXPECT_EQ(scales.LeftAxis.Maximum, 60);

    // One undo brings back the automatic view at once.
    scales.UndoZoom();
    EXPECT_TRUE(scales.GetScalesRestored());
    EXPECT_EQ(scales.BottomAxis, TAxisScale{});
    EXPECT_EQ(scales.LeftAxis, TAxisScale{});
}

TEST_F(ChartScalesTest, UndoOnAnUnzoomedChartLeavesTheAxesAlone)
{
    // A caller may have fixed an axis without zooming; undo must not touch it.
    scales.LeftAxis.SetMinMax(0, 1000);
    const TChartScales before = scales;
    scales.UndoZoom();
    EXPECT_TRUE(scales.GetScalesRestored());
    EXPECT_EQ(scales.LeftAxis, before.LeftAxis);
    EXPECT_EQ(scales.BottomAxis, before.BottomAxis);
}

TEST_F(ChartScalesTest, ZoomedRangesIgnoreTheDataUnderThem)
{
    scales.ZoomIn({45000.50001, 45000.50002}, {10, 60}, bottomNow, leftNow, false, {});
    // The series are cleared and refilled with quite different data.
    TDataExtent refilled;
    refilled.Include(500);
    refilled.Include(900);
    EXPECT_EQ(scales.LeftAxis.Visible(refilled, 1).Minimum, 10);
    EXPECT_EQ(scales.LeftAxis.Visible(refilled, 1).Maximum, 60);
    scales.UndoZoom();
    EXPECT_EQ(scales.LeftAxis.Visible(refilled, 1).Minimum, 500);
    EXPECT_EQ(scales.LeftAxis.Visible(refilled, 1).Maximum, 900);
}

TEST_F(ChartScalesTest, AnimationClosesAThirdOfTheDistanceInSevenFrames)
{
    const TValueRange leftTarget{30, 60};
    const TValueRange bottomTarget{45000.50001, 45000.50002};
    std::vector<TValueRange> seenLeft, seenBottom;
    scales.ZoomIn(bottomTarget, leftTarget, bottomNow, leftNow, true, [&] {
        // Every frame is painted from fixed scales, and the saved copy is already taken.
        EXPECT_FALSE(scales.LeftAxis.Automatic);
        EXPECT_TRUE(scales.SavedLeftAxis().Automatic);
        seenLeft.push_back({scales.LeftAxis.Minimum, scales.LeftAxis.Maximum});
        seenBottom.push_back({scales.BottomAxis.Minimum, scales.BottomAxis.Maximum});
    });
    ASSERT_EQ(seenLeft.size(), 7u);
    // Each frame keeps two thirds of the distance left: after frame k the left axis is
    // 30 - 30 (2/3)^k to 60 + 60 (2/3)^k, worked out as fractions.
    const double leftMinimum[7] = {10, 50.0 / 3, 190.0 / 9, 650.0 / 27, 2110.0 / 81, 6650.0 / 243, 20590.0 / 729};
    const double leftMaximum[7] = {100, 260.0 / 3, 700.0 / 9, 1940.0 / 27, 5500.0 / 81, 15860.0 / 243, 46300.0 / 729};
    double remaining = 1;
    for (std::size_t i = 0; i < seenLeft.size(); ++i) {
        EXPECT_NEAR(seenLeft[i].Minimum, leftMinimum[i], 1e-9) << "frame " << i;
        EXPECT_NEAR(seenLeft[i].Maximum, leftMaximum[i], 1e-9) << "frame " << i;
        // The time axis closes in at the same pace.
        remaining *= 2.0 / 3;
        EXPECT_NEAR((seenBottom[i].Minimum - bottomTarget.Minimum) / (bottomNow.Minimum - bottomTarget.Minimum),
                    remaining, 1e-4)
            << "frame " << i;
        EXPECT_NEAR((seenBottom[i].Maximum - bottomTarget.Maximum) / (bottomNow.Maximum - bottomTarget.Maximum),
                    remaining, 1e-4)
            << "frame " << i;
    }
    // The last step lands exactly on the target.
    EXPECT_EQ(scales.LeftAxis.Minimum, 30);
    EXPECT_EQ(scales.LeftAxis.Maximum, 60);
    EXPECT_EQ(scales.BottomAxis.Minimum, bottomTarget.Minimum);
}

TEST_F(ChartScalesTest, ZeroWidthTargetIsWidened)
{
    scales.ZoomIn({45000.5, 45000.5}, {7, 7}, bottomNow, leftNow, false, {});
    EXPECT_DOUBLE_EQ(scales.LeftAxis.Minimum, 7 - 1e-10);
    EXPECT_DOUBLE_EQ(scales.LeftAxis.Maximum, 7 + 1e-10);
    EXPECT_LT(scales.BottomAxis.Minimum, scales.BottomAxis.Maximum);
}

// --- helpers ------------------------------------------------------------------------------

TEST(OneTwoFive, StepsUpThroughTheSequence)
{
    const double cases[][2] = {{1, 2}, {2, 5}, {5, 10}, {3, 5}, {0.0015, 0.002}, {7e-7, 1e-6}, {5e-6, 1e-5},
                               {999, 1000}, {1000, 2000}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(NextOneTwoFive(c[0]), c[1]) << c[0];
}

TEST(FirstLabel, RoundsUpToAMultipleOfTheStep)
{
    EXPECT_DOUBLE_EQ(FirstLabelValue(12.3, 5), 15);
    EXPECT_DOUBLE_EQ(FirstLabelValue(15, 5), 15);
    EXPECT_DOUBLE_EQ(FirstLabelValue(-7, 5), -5);
    // 0.1 * 3 lands a hair above 0.3; it is still the label at 0.3, not 0.4.
    EXPECT_NEAR(FirstLabelValue(0.1 * 3, 0.1), 0.3, 1e-12);
}

TEST(ClipSegment, KeepsInsideCutsCrossingAndDropsOutside)
{
    double x0 = 10, y0 = 10, x1 = 20, y1 = 20;
    ASSERT_TRUE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    EXPECT_EQ(x0, 10);
    EXPECT_EQ(y1, 20);

    // Crossing the right edge of the box at x = 100.
    x0 = 50, y0 = 50, x1 = 150, y1 = 150;
    ASSERT_TRUE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    EXPECT_DOUBLE_EQ(x1, 100);
    EXPECT_DOUBLE_EQ(y1, 100);

    // Far away points of a zoomed chart, both ends outside but the line passes through.
    x0 = -1e12, y0 = 50, x1 = 1e12, y1 = 50;
    ASSERT_TRUE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    EXPECT_DOUBLE_EQ(x0, 0);
    EXPECT_DOUBLE_EQ(x1, 100);

    x0 = 200, y0 = 0, x1 = 300, y1 = 100;
    EXPECT_FALSE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    x0 = 50, y0 = 150, x1 = 60, y1 = 150;  // parallel to the bottom edge, below it
    EXPECT_FALSE(ClipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
}

}  // namespace
}  // namespace vantrel
