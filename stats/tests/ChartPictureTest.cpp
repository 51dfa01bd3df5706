// The real painting code rendered into an off-screen bitmap, checked pixel by pixel.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "stats/tests/ChartTestSupport.h"
#include "tests/support/BitmapWriter.h"

namespace vantrel {
namespace {

using test::TBitmap;

constexpr COLORREF kLightYellow = RGB(255, 255, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kSilver = RGB(192, 192, 192);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kFuchsia = RGB(255, 0, 255);

class ChartPicture : public ::testing::Test {
protected:
    void SetUp() override
    {
        chart = test::MakeStatisticsChart(host.Handle());
        ASSERT_NE(chart->Handle(), nullptr);
    }

    void Render()
    {
        chart->Draw(bitmap.DC(), bitmap.Bounds());
        geometry = chart->Geometry(bitmap.Bounds());
    }

    // Saved next to the test's other artefacts when a check fails, to look at.
    void TearDown() override
    {
        if (HasFailure()) {
            const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
            std::wstring name(info->name(), info->name() + std::strlen(info->name()));
            bitmap.SaveBmp(testing::ArtifactPath((L"failed-" + name + L".bmp").c_str()));
        }
    }

    // A rectangle well inside the left wall's parallelogram: the strip between its front and
    // back edges, away from the corners.
    RECT LeftWallInterior() const
    {
        const RECT& f = geometry.Front;
        const int d = geometry.Depth;
        return {f.left + d / 4, f.top, f.left + 3 * d / 4, f.bottom - d};
    }

    RECT FloorInterior() const
    {
        const RECT& f = geometry.Front;
        const int d = geometry.Depth;
        return {f.left + d, f.bottom - 3 * d / 4, f.right, f.bottom - d / 4};
    }

    RECT BackWallInterior() const
    {
        const RECT& f = geometry.Front;
        const int d = geometry.Depth;
        return {f.left + d + 2, f.top - d + 2, f.right + d - 2, f.bottom - d - 2};
    }

    test::THostWindow host{537, 468, false};
    std::unique_ptr<TChart> chart;
    TBitmap bitmap{521, 385};
    TChart::TGeometry geometry{};
};

TEST_F(ChartPicture, EmptySeriesShowWallsTitleAndLegend)
{
    Render();
    ASSERT_GT(geometry.Depth, 10);
    const COLORREF panel = ::GetSysColor(COLOR_BTNFACE);

    // Grid lines cross the walls, so ask for a clear majority rather than every pixel.
    EXPECT_GT(bitmap.Share(LeftWallInterior(), kLightYellow), 0.8);
    EXPECT_GT(bitmap.Share(FloorInterior(), kWhite), 0.8);
    EXPECT_GT(bitmap.Share(BackWallInterior(), panel), 0.9) << "the back wall must not be filled";

    EXPECT_GT(bitmap.Count(geometry.Title, kBlue, 40), 20);

    // The legend: a white box listing both series, each with its colour symbol and its text.
    const RECT& legend = geometry.Legend;
    ASSERT_GT(legend.right - legend.left, 40);
    ASSERT_GT(legend.bottom - legend.top, 20);
    EXPECT_GT(legend.left, geometry.Front.right + geometry.Depth);
    EXPECT_GT(bitmap.Share(legend, kWhite), 0.5);
    const RECT upperRow{legend.left, legend.top, legend.right, (legend.top + legend.bottom) / 2};
    const RECT lowerRow{legend.left, (legend.top + legend.bottom) / 2, legend.right, legend.bottom};
    EXPECT_GT(bitmap.Count(upperRow, kRed), 20);
    EXPECT_GT(bitmap.Count(lowerRow, kFuchsia), 20);
    EXPECT_GT(bitmap.Count(upperRow, RGB(0, 0, 0), 60), 30) << "series title text";
    EXPECT_GT(bitmap.Count(lowerRow, RGB(0, 0, 0), 60), 30) << "series title text";

    // Empty axes: no series colour in the plot.
    const RECT plot{geometry.Front.left, geometry.Front.top - geometry.Depth, geometry.Front.right + geometry.Depth,
                    geometry.Front.bottom};
    EXPECT_EQ(bitmap.Count(plot, kRed), 0);
}

TEST_F(ChartPicture, SeriesDrawnInTheirColoursInsideThePlot)
{
    test::FillSampleHistory(*chart);
    Render();
    const RECT plot{geometry.Front.left, geometry.Front.top - geometry.Depth, geometry.Front.right + geometry.Depth + 1,
                    geometry.Front.bottom + 1};
    EXPECT_GT(bitmap.Count(plot, kRed), 300);
    EXPECT_GT(bitmap.Count(plot, kFuchsia), 300);
    // Nothing of the series leaks out of the box: left of it lie only labels and the panel.
    const RECT leftOfPlot{0, 0, geometry.Front.left - 2, bitmap.Height()};
    EXPECT_EQ(bitmap.Count(leftOfPlot, kRed), 0);
    EXPECT_EQ(bitmap.Count(leftOfPlot, kFuchsia), 0);
}

TEST_F(ChartPicture, SolidBackWallIsFilledWhereTheClearOneIsNot)
{
    chart->BackWall.Brush.SetStyle(bsSolid);
    Render();
    EXPECT_GT(bitmap.Share(BackWallInterior(), kSilver), 0.8);
}

TEST_F(ChartPicture, RubberBandShowsSilverAndVanishesWhenDrawnTwice)
{
    test::FillSampleHistory(*chart);
    Render();
    const std::vector<std::uint32_t> before = bitmap.Copy();

    // From a point on the panel's top margin, over the title, walls and series.
    const int x0 = 4, y0 = 4, x1 = 300, y1 = 260;
    TChart::DrawRubberBand(bitmap.DC(), x0, y0, x1, y1);
    EXPECT_EQ(bitmap.Pixel(x0 + 20, y0), kSilver) << "over the panel the band is silver";
    EXPECT_EQ(bitmap.Pixel(x0 + 20, y0 - 1), kSilver) << "three pixels wide";
    EXPECT_EQ(bitmap.Pixel(x0 + 20, y0 + 1), kSilver);
    // Inside the band nothing changes.
    const std::vector<std::uint32_t> drawn = bitmap.Copy();
    const std::size_t centre = static_cast<std::size_t>((y0 + y1) / 2) * bitmap.Width() + (x0 + x1) / 2;
    EXPECT_EQ(drawn[centre], before[centre]);

    TChart::DrawRubberBand(bitmap.DC(), x0, y0, x1, y1);
    EXPECT_EQ(bitmap.Copy(), before);

    // Drawn in the other direction and tiny, it still cancels out exactly.
    TChart::DrawRubberBand(bitmap.DC(), 200, 100, 198, 99);
    TChart::DrawRubberBand(bitmap.DC(), 200, 100, 198, 99);
    EXPECT_EQ(bitmap.Copy(), before);
}

TEST_F(ChartPicture, RebuildAndPaintAreCheap)
{
    // Refilling reuses the series' storage instead of allocating it again.
    test::FillSampleHistory(*chart);
    const TChartPoint* storage = &chart->Series(1)->Point(0);
    test::FillSampleHistory(*chart);
    EXPECT_EQ(&chart->Series(1)->Point(0), storage);

    // Two series of 60 points rebuilt and painted, the best of 50 rounds: the other builds
    // and tests sharing the machine only ever make a round slower.
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    double bestMs = 1e9;
    for (int round = 0; round < 50; ++round) {
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        test::FillSampleHistory(*chart);
        chart->Draw(bitmap.DC(), bitmap.Bounds());
        ::GdiFlush();
        ::QueryPerformanceCounter(&end);
        bestMs = std::min(bestMs, (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    }
    RecordProperty("best_milliseconds_per_rebuild_and_paint", std::to_string(bestMs));
    EXPECT_LT(bestMs, 5.0);
}

}  // namespace
}  // namespace vantrel
