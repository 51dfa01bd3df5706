// The zoom gestures through real mouse messages sent to the real control window.

#include <gtest/gtest.h>

#include <windowsx.h>

#include "stats/tests/ChartTestSupport.h"
#include "tests/support/Pump.h"

namespace vantrel {
namespace {

LPARAM At(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

class ChartMouse : public ::testing::Test {
protected:
    void SetUp() override
    {
        chart = test::MakeStatisticsChart(host.Handle());
        test::FillSampleHistory(*chart);
        testing::DispatchWaiting();
        RECT client{};
        ::GetClientRect(chart->Handle(), &client);
        geometry = chart->Geometry(client);
        const RECT& f = geometry.Front;
        centre = {(f.left + f.right) / 2, (f.top + f.bottom) / 2};
    }

    void Press(POINT p) { ::SendMessageW(chart->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(p.x, p.y)); }
    void MoveTo(POINT p) { ::SendMessageW(chart->Handle(), WM_MOUSEMOVE, MK_LBUTTON, At(p.x, p.y)); }
    void Release(POINT p) { ::SendMessageW(chart->Handle(), WM_LBUTTONUP, 0, At(p.x, p.y)); }

    void Drag(POINT from, int dx, int dy)
    {
        Press(from);
        MoveTo({from.x + dx / 2, from.y + dy / 2});
        MoveTo({from.x + dx, from.y + dy});
        Release({from.x + dx, from.y + dy});
    }

    bool Zoomed() const { return !chart->Scales().GetScalesRestored(); }

    test::THostWindow host{537, 468, true};
    std::unique_ptr<TChart> chart;
    TChart::TGeometry geometry{};
    POINT centre{};
};

TEST_F(ChartMouse, SixteenPixelsDoNothingSeventeenZoomIn)
{
    Drag(centre, 16, 40);
    EXPECT_FALSE(Zoomed());
    Drag(centre, 40, 16);
    EXPECT_FALSE(Zoomed());
    EXPECT_TRUE(chart->Scales().LeftAxis.Automatic);

    Drag(centre, 17, 17);
    EXPECT_TRUE(Zoomed());
    EXPECT_FALSE(chart->Scales().LeftAxis.Automatic);
    EXPECT_FALSE(chart->Scales().BottomAxis.Automatic);
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(ChartMouse, ZoomInSpansTheDraggedRectangle)
{
    const RECT& f = geometry.Front;
    // The unzoomed view: 60 samples, so the bottom axis spans exactly 29.5 seconds.
    const double first = chart->Series(0)->Point(0).X;
    const double last = chart->Series(0)->Point(59).X;
    // Up and to the right, over the left half of the plot and its upper half.
    const POINT from{f.left, (f.top + f.bottom) / 2};
    Drag(from, (f.right - f.left) / 2, -(f.bottom - f.top) / 2);
    ASSERT_TRUE(Zoomed());
    const TAxisScale& bottom = chart->Scales().BottomAxis;
    const double middle = first + (last - first) * ((f.right - f.left) / 2) / (f.right - f.left);
    EXPECT_NEAR(bottom.Minimum, first, 1e-9);
    EXPECT_NEAR(bottom.Maximum, middle, 1e-9);
    const TAxisScale& left = chart->Scales().LeftAxis;
    EXPECT_LT(left.Minimum, left.Maximum);
    EXPECT_GT(left.Minimum, 0);
}

TEST_F(ChartMouse, TwoZoomsThenOneLeftwardDragRestoreTheAutomaticView)
{
    Drag(centre, 60, 60);
    const TAxisScale firstZoom = chart->Scales().BottomAxis;
    Drag({centre.x - 50, centre.y - 50}, 40, 30);
    EXPECT_NE(chart->Scales().BottomAxis, firstZoom);
    Drag(centre, -30, -30);
    EXPECT_FALSE(Zoomed());
    EXPECT_EQ(chart->Scales().BottomAxis, TAxisScale{});
    EXPECT_EQ(chart->Scales().LeftAxis, TAxisScale{});
}

TEST_F(ChartMouse, LeftwardDragOnAnUnzoomedChartChangesNothing)
{
    Drag(centre, -60, 40);
    EXPECT_FALSE(Zoomed());
    EXPECT_EQ(chart->Scales().BottomAxis, TAxisScale{});
}

TEST_F(ChartMouse, RefillingWhileZoomedKeepsTheZoomUntilUndoZoom)
{
    Drag(centre, 60, 60);
    const TChartScales zoomed = chart->Scales();
    test::FillSampleHistory(*chart, 30);
    test::FillSampleHistory(*chart);
    testing::DispatchWaiting();
    EXPECT_EQ(chart->Scales().BottomAxis, zoomed.BottomAxis);
    EXPECT_EQ(chart->Scales().LeftAxis, zoomed.LeftAxis);
    chart->UndoZoom();
    EXPECT_FALSE(Zoomed());
    EXPECT_TRUE(chart->Scales().LeftAxis.Automatic);
}

TEST_F(ChartMouse, PressesOutsideThePlotOrWithOtherButtonsStartNothing)
{
    const RECT& legend = geometry.Legend;
    ASSERT_LT(legend.left, legend.right);
    Press({(legend.left + legend.right) / 2, (legend.top + legend.bottom) / 2});
    EXPECT_FALSE(chart->GetZooming()) << "legend";
    Press({2, 380});
    EXPECT_FALSE(chart->GetZooming()) << "bottom left margin";
    Press({518, 380});
    EXPECT_FALSE(chart->GetZooming()) << "bottom right margin";

    // Right button, wheel and a shifted left press.
    ::SendMessageW(chart->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, At(centre.x, centre.y));
    ::SendMessageW(chart->Handle(), WM_MOUSEMOVE, MK_RBUTTON, At(centre.x + 60, centre.y + 60));
    ::SendMessageW(chart->Handle(), WM_RBUTTONUP, 0, At(centre.x + 60, centre.y + 60));
    ::SendMessageW(chart->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), At(centre.x, centre.y));
    ::SendMessageW(chart->Handle(), WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, At(centre.x, centre.y));
    EXPECT_FALSE(chart->GetZooming());
    EXPECT_FALSE(Zoomed());

    // On the title, an axis's labels and the plot a drag does start.
    const RECT& title = geometry.Title;
    for (POINT p : {POINT{(title.left + title.right) / 2, (title.top + title.bottom) / 2},
                    POINT{geometry.Front.left - 10, centre.y}, POINT{centre.x, geometry.Front.bottom + 8}, centre}) {
        Press(p);
        EXPECT_TRUE(chart->GetZooming()) << p.x << "," << p.y;
        EXPECT_EQ(::GetCapture(), chart->Handle());
        Release(p);
        EXPECT_FALSE(chart->GetZooming());
    }
    EXPECT_FALSE(Zoomed());
}

TEST_F(ChartMouse, RepaintDuringADragKeepsItAndLeavesNoTrace)
{
    RECT client{};
    ::GetClientRect(chart->Handle(), &client);
    test::TBitmap expected(client.right, client.bottom);
    chart->Draw(expected.DC(), expected.Bounds());

    Press(centre);
    MoveTo({centre.x + 5, centre.y + 5});
    MoveTo({centre.x + 12, centre.y + 9});
    // A refill of the series repaints the chart under the band.
    test::FillSampleHistory(*chart);
    ::RedrawWindow(chart->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_TRUE(chart->GetZooming());
    // The repaint puts the band back on top of the new picture exactly once: neither erased by
    // the picture nor cancelled by a second exclusive-or.
    test::TBitmap during(client.right, client.bottom);
    chart->Draw(during.DC(), during.Bounds());
    TChart::DrawRubberBand(during.DC(), centre.x, centre.y, centre.x + 12, centre.y + 9, chart->GetPanelColor());
    test::TBitmap shown(client.right, client.bottom);
    test::CaptureClient(chart->Handle(), shown);
    EXPECT_EQ(shown.Copy(), during.Copy()) << "the rubber band did not survive the repaint";
    MoveTo({centre.x + 14, centre.y + 10});
    Release({centre.x + 14, centre.y + 10});  // below the threshold: nothing else changes
    EXPECT_FALSE(Zoomed());

    test::TBitmap screen(client.right, client.bottom);
    test::CaptureClient(chart->Handle(), screen);
    EXPECT_EQ(screen.Copy(), expected.Copy()) << "a stray rubber band was left on the screen";
}

TEST_F(ChartMouse, LosingTheCaptureEndsTheDrag)
{
    Press(centre);
    MoveTo({centre.x + 40, centre.y + 40});
    ::ReleaseCapture();
    EXPECT_FALSE(chart->GetZooming());
    Release({centre.x + 40, centre.y + 40});
    EXPECT_FALSE(Zoomed());
}

}  // namespace
}  // namespace vantrel
