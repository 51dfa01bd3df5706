#include "stats/tests/ChartTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "stats/StatisticsChart.h"
#include "tests/support/BitmapWriter.h"

namespace vantrel::test {

namespace {

const TWindowClass& HostClass()
{
    static const TWindowClass windowClass({L"VantrelChartTestHost", nullptr, ::LoadCursorW(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
    return windowClass;
}

int Distance(COLORREF a, COLORREF b)
{
    return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                     std::abs(GetBValue(a) - GetBValue(b))});
}

}  // namespace

THostWindow::THostWindow(int clientWidth, int clientHeight, bool visible)
{
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    CreateHandle(HostClass(), 0, L"Network Statistics", style, 40, 40, frame.right - frame.left,
                 frame.bottom - frame.top, nullptr);
    if (visible && window_) {
        ::ShowWindow(window_, SW_SHOWNORMAL);
        ::SetForegroundWindow(window_);
        ::UpdateWindow(window_);
    }
}

TBitmap::TBitmap(int width, int height) : width_(width), height_(height)
{
    dc_.reset(::CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint32_t*>(bits);
    defaultBitmap_ = ::SelectObject(dc_.get(), bitmap_.get());
}

TBitmap::~TBitmap()
{
    ::SelectObject(dc_.get(), defaultBitmap_);
}

COLORREF TBitmap::Pixel(int x, int y) const
{
    ::GdiFlush();
    const std::uint32_t value = bits_[static_cast<std::size_t>(y) * width_ + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

std::vector<std::uint32_t> TBitmap::Copy() const
{
    ::GdiFlush();
    return std::vector<std::uint32_t>(bits_, bits_ + static_cast<std::size_t>(width_) * height_);
}

int TBitmap::Count(const RECT& rect, COLORREF color, int tolerance) const
{
    int count = 0;
    for (int y = std::max<LONG>(rect.top, 0); y < std::min<LONG>(rect.bottom, height_); ++y) {
        for (int x = std::max<LONG>(rect.left, 0); x < std::min<LONG>(rect.right, width_); ++x) {
            if (Distance(Pixel(x, y), color) <= tolerance) ++count;
        }
    }
    return count;
}

double TBitmap::Share(const RECT& rect, COLORREF color, int tolerance) const
{
    const double area = static_cast<double>(rect.right - rect.left) * (rect.bottom - rect.top);
    return area > 0 ? Count(rect, color, tolerance) / area : 0.0;
}

bool TBitmap::SaveBmp(const std::wstring& path) const
{
    return testing::WriteBmp(path, Copy(), width_, height_);
}

std::unique_ptr<TChart> MakeStatisticsChart(HWND parent)
{
    auto chart = std::make_unique<TChart>(parent, 1001, RECT{8, 8, 8 + 521, 8 + 385});
    chart->SetLocale(TLocaleFormat{});
    SetUpStatisticsChart(*chart);
    return chart;
}

void FillSampleHistory(TChart& chart, int samples)
{
    const double start = 45356 + (14 * 3600 + 31 * 60 + 7.25) / 86400.0;
    TLineSeries* written = chart.Series(0);
    TLineSeries* read = chart.Series(1);
    written->Clear();
    read->Clear();
    for (int i = 0; i < samples; ++i) {
        const double time = start + i * 0.5 / 86400.0;
        // A page load around the middle, a download towards the end, quiet chatter otherwise.
        double received = 3 + 2 * std::sin(i * 1.7);
        if (i >= 18 && i < 27) received += 140 * std::exp(-0.35 * (i - 18));
        if (i >= 40 && i < 55) received += 95 + 25 * std::sin(i * 0.9);
        const double sent = std::round(received * 0.45 + 2 + 2 * std::cos(i * 2.3));
        written->AddXY(time, sent);
        read->AddXY(time, std::round(received));
    }
}

void CaptureClient(HWND window, TBitmap& into)
{
    WindowDC dc(window);
    ::BitBlt(into.DC(), 0, 0, into.Width(), into.Height(), dc.get(), 0, 0, SRCCOPY);
}

}  // namespace vantrel::test
