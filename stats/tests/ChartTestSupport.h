#pragma once
// Shared pieces of the chart's Windows tests: a host window, an off-screen bitmap with pixel
// access, the statistics window's configuration and a realistic sample history.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Handles.h"
#include "app/Window.h"
#include "stats/Chart.h"

namespace vantrel::test {

// A top-level window of the given client size, button-face background, for hosting a chart.
class THostWindow : public TWindow {
public:
    THostWindow(int clientWidth, int clientHeight, bool visible);
};

// A 32-bit top-down DIB section selected into its own memory DC.
class TBitmap {
public:
    TBitmap(int width, int height);
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    HDC DC() const noexcept { return dc_.get(); }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    RECT Bounds() const noexcept { return {0, 0, width_, height_}; }
    COLORREF Pixel(int x, int y) const;
    std::vector<std::uint32_t> Copy() const;
    // Pixels of `rect` within `tolerance` (per channel) of `color`, as a fraction of its area.
    double Share(const RECT& rect, COLORREF color, int tolerance = 0) const;
    // Pixels of `rect` within `tolerance` of `color`.
    int Count(const RECT& rect, COLORREF color, int tolerance = 0) const;
    // Writes the picture as a BMP file.
    bool SaveBmp(const std::wstring& path) const;

private:
    int width_;
    int height_;
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ defaultBitmap_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

// The chart as the statistics window sets it up, at 8, 8, 521, 385 in `parent`, with an
// en-US style locale so that the pictures do not depend on the machine's settings.
std::unique_ptr<TChart> MakeStatisticsChart(HWND parent);

// 60 samples half a second apart from 14:31:07.25 on 5 March 2024, with bursts of traffic.
void FillSampleHistory(TChart& chart, int samples = 60);

// The window's client area as it is on the screen.
void CaptureClient(HWND window, TBitmap& into);

}  // namespace vantrel::test
