// Shows the chart in a window as the statistics window will, with a full sample history, and
// keeps pictures of it unzoomed and zoomed for people to look at.

#include <gtest/gtest.h>

#include "stats/tests/ChartTestSupport.h"
#include "tests/support/Pump.h"
#include "tests/support/BitmapWriter.h"

namespace vantrel {
namespace {

LPARAM At(int x, int y)
{
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

TEST(ChartScreenshot, UnzoomedAndZoomed)
{
    test::THostWindow host(537, 468, true);
    auto chart = test::MakeStatisticsChart(host.Handle());

    // Before the first sample: empty axes, the title and the legend.
    test::TBitmap empty(521, 385);
    chart->Draw(empty.DC(), empty.Bounds());
    ASSERT_TRUE(empty.SaveBmp(testing::ArtifactPath(L"chart-empty.bmp")));

    test::FillSampleHistory(*chart);
    ::RedrawWindow(host.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    testing::DispatchWaiting();

    RECT client{};
    ::GetClientRect(host.Handle(), &client);
    test::TBitmap picture(client.right, client.bottom);
    test::CaptureClient(host.Handle(), picture);
    ASSERT_TRUE(picture.SaveBmp(testing::ArtifactPath(L"chart-unzoomed.bmp")));
    // What is on the screen is what Draw paints.
    test::TBitmap drawn(521, 385);
    chart->Draw(drawn.DC(), drawn.Bounds());
    EXPECT_EQ(picture.Pixel(8 + 260, 8 + 5), drawn.Pixel(260, 5));
    EXPECT_GT(picture.Count({8, 8, 529, 393}, RGB(255, 0, 0)), 300);

    // Zoom into the burst in the middle with a drag across it.
    RECT chartClient{};
    ::GetClientRect(chart->Handle(), &chartClient);
    const TChart::TGeometry geometry = chart->Geometry(chartClient);
    const RECT& f = geometry.Front;
    const int x0 = f.left + (f.right - f.left) * 25 / 100, x1 = f.left + (f.right - f.left) * 55 / 100;
    const int y0 = f.top - 10, y1 = f.bottom - 20;
    ::SendMessageW(chart->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(x0, y0));
    ::SendMessageW(chart->Handle(), WM_MOUSEMOVE, MK_LBUTTON, At((x0 + x1) / 2, (y0 + y1) / 2));
    ::SendMessageW(chart->Handle(), WM_MOUSEMOVE, MK_LBUTTON, At(x1, y1));
    test::CaptureClient(host.Handle(), picture);
    ASSERT_TRUE(picture.SaveBmp(testing::ArtifactPath(L"chart-dragging.bmp")));
    ::SendMessageW(chart->Handle(), WM_LBUTTONUP, 0, At(x1, y1));
    ASSERT_FALSE(chart->Scales().GetScalesRestored());
    ::UpdateWindow(chart->Handle());
    testing::DispatchWaiting();
    test::CaptureClient(host.Handle(), picture);
    ASSERT_TRUE(picture.SaveBmp(testing::ArtifactPath(L"chart-zoomed.bmp")));
}

}  // namespace
}  // namespace vantrel
