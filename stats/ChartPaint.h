#pragma once
// Painting the chart: one record holds everything a paint needs (the layout already worked
// out, the colours, the texts, the data and the fonts), and one function paints it into any
// DC, the control's back buffer or a test's bitmap. Nothing here keeps state.

#include <windows.h>

#include <span>
#include <string>
#include <string_view>

#include "stats/ChartLayout.h"
#include "stats/LocaleFormat.h"

namespace vantrel {

// One active series as it is painted.
struct TChartSeriesPaint {
    std::span<const TChartPoint> Points;
    COLORREF Color = 0;
    std::wstring_view Title;
};

struct TChartDrawInfo {
    RECT Bounds{};
    const TChartLayout* Layout = nullptr;  // computed for `Bounds` with `Font`

    COLORREF PanelColor = 0;
    COLORREF BackWallColor = 0;
    bool BackWallFilled = false;  // otherwise only framed
    COLORREF LeftWallColor = 0;
    COLORREF FloorColor = 0;

    std::span<const std::wstring> TitleLines;
    std::wstring_view LeftTitle;
    std::span<const TChartSeriesPaint> Series;  // the active ones, the front one first

    HFONT Font = nullptr;
    HFONT VerticalFont = nullptr;  // the same font, turned to read upwards
    const TLocaleFormat* Locale = nullptr;
};

// Paints the whole chart; the DC's state is given back as it was.
void PaintChart(HDC dc, const TChartDrawInfo& info);

}  // namespace vantrel
