#include "stats/ChartPaint.h"

#include <algorithm>
#include <cmath>

#include "app/Handles.h"
#include "stats/DateTimeAxis.h"
#include "stats/NumberFormat.h"

namespace vantrel {

namespace {

constexpr COLORREF kTitleColor = RGB(0, 0, 255);
constexpr COLORREF kTextColor = RGB(0, 0, 0);
constexpr COLORREF kAxisColor = RGB(0, 0, 0);
constexpr COLORREF kTickColor = RGB(128, 128, 128);
constexpr COLORREF kWallEdgeColor = RGB(128, 128, 128);
constexpr COLORREF kGridColor = RGB(192, 192, 192);
constexpr COLORREF kLegendColor = RGB(255, 255, 255);

RECT ToRect(const TChartRect& rect)
{
    return RECT{rect.Left, rect.Top, rect.Right, rect.Bottom};
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color)
{
    ::SetDCBrushColor(dc, color);
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

void Frame(HDC dc, const RECT& rect, COLORREF color)
{
    ::SetDCBrushColor(dc, color);
    ::FrameRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF color)
{
    ::SetDCPenColor(dc, color);
    ::MoveToEx(dc, x0, y0, nullptr);
    ::LineTo(dc, x1, y1);
}

void FilledPolygon(HDC dc, const POINT* points, int count, COLORREF fill, COLORREF edge)
{
    ::SetDCBrushColor(dc, fill);
    ::SetDCPenColor(dc, edge);
    ::Polygon(dc, points, count);
}

void Text(HDC dc, int x, int y, std::wstring_view text)
{
    ::TextOutW(dc, x, y, text.data(), static_cast<int>(text.size()));
}

COLORREF Darker(COLORREF color, int percent)
{
    return RGB(GetRValue(color) * percent / 100, GetGValue(color) * percent / 100, GetBValue(color) * percent / 100);
}

int Round(double value)
{
    return static_cast<int>(std::lround(value));
}

// The minor ticks: three between each two labels.
template <typename Visit>
void ForEachMinorTick(const TValueRange& range, double step, Visit&& visit)
{
    ForEachLabel(range, step / 4, [&](double value) {
        const double quarters = std::round((value - FirstLabelValue(range.Minimum, step)) / (step / 4));
        if (std::fmod(std::fabs(quarters), 4.0) == 0) return;
        visit(value);
    });
}

// The panel with a one-pixel raised bevel.
void DrawPanel(HDC dc, const TChartDrawInfo& info)
{
    FillSolid(dc, info.Bounds, info.PanelColor);
    RECT bevel = info.Bounds;
    ::DrawEdge(dc, &bevel, BDR_RAISEDINNER, BF_RECT);
}

// The back wall only framed unless it is filled, the left one and the floor filled.
void DrawWalls(HDC dc, const TChartDrawInfo& info)
{
    const TChartLayout& layout = *info.Layout;
    const int L = layout.Front.Left, T = layout.Front.Top, R = layout.Front.Right, B = layout.Front.Bottom;
    const int d = layout.Depth;
    const POINT back[4] = {{L + d, T - d}, {R + d, T - d}, {R + d, B - d}, {L + d, B - d}};
    if (info.BackWallFilled) {
        FilledPolygon(dc, back, 4, info.BackWallColor, kWallEdgeColor);
    } else {
        ::SetDCPenColor(dc, kWallEdgeColor);
        ::Polyline(dc, back, 4);
        Line(dc, L + d, B - d, L + d, T - d - 1, kWallEdgeColor);
    }
    const POINT leftWall[4] = {{L, T}, {L + d, T - d}, {L + d, B - d}, {L, B}};
    FilledPolygon(dc, leftWall, 4, info.LeftWallColor, kWallEdgeColor);
    const POINT floor[4] = {{L, B}, {L + d, B - d}, {R + d, B - d}, {R, B}};
    FilledPolygon(dc, floor, 4, info.FloorColor, kWallEdgeColor);
}

// Grid lines at each label, across the back wall and along the left wall and the floor.
void DrawGrid(HDC dc, const TChartLayout& layout)
{
    const int L = layout.Front.Left, T = layout.Front.Top, R = layout.Front.Right, B = layout.Front.Bottom;
    const int d = layout.Depth;
    if (layout.LeftLabelled) {
        ForEachLabel(layout.LeftMap.Range, layout.LeftStep, [&](double value) {
            const int y = Round(layout.LeftMap.PixelOf(value));
            if (y <= T || y >= B) return;
            Line(dc, L + d + 1, y - d, R + d, y - d, kGridColor);
            Line(dc, L + 1, y - 1, L + d, y - d, kGridColor);
        });
    }
    if (layout.BottomLabelled) {
        ForEachLabel(layout.BottomMap.Range, layout.BottomStep, [&](double value) {
            const int x = Round(layout.BottomMap.PixelOf(value));
            if (x <= L || x >= R) return;
            Line(dc, x + d, T - d + 1, x + d, B - d, kGridColor);
            Line(dc, x + 1, B - 1, x + d, B - d, kGridColor);
        });
    }
}

// One series as a band from depth `z0` to `z1`.
void DrawSeriesBand(HDC dc, const TChartLayout& layout, const TChartSeriesPaint& series, int z0, int z1)
{
    const int L = layout.Front.Left, T = layout.Front.Top, R = layout.Front.Right, B = layout.Front.Bottom;
    const COLORREF top = series.Color;
    const COLORREF under = Darker(top, 60);
    const COLORREF edge = Darker(top, 45);
    const auto& points = series.Points;
    for (std::size_t k = 1; k < points.size(); ++k) {
        double x0 = layout.BottomMap.PixelOf(points[k - 1].X), y0 = layout.LeftMap.PixelOf(points[k - 1].Y);
        double x1 = layout.BottomMap.PixelOf(points[k].X), y1 = layout.LeftMap.PixelOf(points[k].Y);
        if (!std::isfinite(x0 + y0 + x1 + y1)) continue;  // a NaN or infinite value has no place
        if (!ClipSegment(x0, y0, x1, y1, L, T, R, B)) continue;
        const POINT p{Round(x0), Round(y0)}, q{Round(x1), Round(y1)};
        const POINT band[4] = {{p.x + z0, p.y - z0}, {q.x + z0, q.y - z0}, {q.x + z1, q.y - z1}, {p.x + z1, p.y - z1}};
        // The band shows its upper face when it runs rightwards less steeply than the depth
        // recedes, its darker underside otherwise.
        const COLORREF face = (q.x - p.x) + (q.y - p.y) > 0 ? top : under;
        FilledPolygon(dc, band, 4, face, face);
        // Darker front and back edges keep the band readable where it folds over itself.
        Line(dc, band[0].x, band[0].y, band[1].x, band[1].y, edge);
        Line(dc, band[3].x, band[3].y, band[2].x, band[2].y, edge);
    }
}

// Each series in its own slice of the depth; the first series is in front, so the others are
// painted before it.
void DrawSeries(HDC dc, const TChartDrawInfo& info)
{
    const TChartLayout& layout = *info.Layout;
    const std::size_t count = info.Series.size();
    const double slice = count == 0 ? 0.0 : static_cast<double>(layout.Depth) / count;
    for (std::size_t i = count; i-- > 0;) {
        const int z0 = Round(i * slice);
        const int z1 = std::max(z0 + 1, Round((i + 1) * slice));
        DrawSeriesBand(dc, layout, info.Series[i], z0, z1);
    }
}

// Two pixels wide along the front edges of the left wall and the floor.
void DrawAxisLines(HDC dc, const TChartLayout& layout)
{
    const int L = layout.Front.Left, T = layout.Front.Top, R = layout.Front.Right, B = layout.Front.Bottom;
    FillSolid(dc, RECT{L - 2, T, L, B + 2}, kAxisColor);
    FillSolid(dc, RECT{L - 2, B, R + 1, B + 2}, kAxisColor);
}

// Ticks, minor ticks, labels and the turned title.
void DrawLeftAxis(HDC dc, const TChartDrawInfo& info)
{
    const TChartLayout& layout = *info.Layout;
    const int L = layout.Front.Left;
    const int tick = layout.TickLength;
    if (layout.LeftLabelled) {
        const TValueRange range = layout.LeftMap.Range;
        ::SetTextAlign(dc, TA_RIGHT | TA_TOP);
        ForEachLabel(range, layout.LeftStep, [&](double value) {
            const int y = Round(layout.LeftMap.PixelOf(value));
            Line(dc, L - 2 - tick, y, L - 2, y, kTickColor);
            Text(dc, L - 2 - tick - 3, y - layout.TextHeight / 2, FormatNumber(value, *info.Locale));
        });
        ForEachMinorTick(range, layout.LeftStep, [&](double value) {
            const int y = Round(layout.LeftMap.PixelOf(value));
            Line(dc, L - 2 - tick / 2, y, L - 2, y, kTickColor);
        });
    }
    if (!info.LeftTitle.empty()) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, info.LeftTitle.data(), static_cast<int>(info.LeftTitle.size()), &size);
        SelectObjectRestorer vertical(dc, info.VerticalFont);
        ::SetTextAlign(dc, TA_LEFT | TA_TOP);
        Text(dc, layout.Inner.Left, (layout.Front.Top + layout.Front.Bottom) / 2 + size.cx / 2, info.LeftTitle);
    }
}

void DrawBottomAxis(HDC dc, const TChartDrawInfo& info)
{
    const TChartLayout& layout = *info.Layout;
    if (!layout.BottomLabelled) return;
    const int B = layout.Front.Bottom;
    const int tick = layout.TickLength;
    const TValueRange range = layout.BottomMap.Range;
    ::SetTextAlign(dc, TA_CENTER | TA_TOP);
    ForEachLabel(range, layout.BottomStep, [&](double value) {
        const int x = Round(layout.BottomMap.PixelOf(value));
        Line(dc, x, B + 2, x, B + 2 + tick, kTickColor);
        Text(dc, x, B + 2 + tick + 1,
             layout.BottomDateTime ? DateTimeLabel(value, range.Width(), *info.Locale)
                                   : FormatNumber(value, *info.Locale));
    });
    ForEachMinorTick(range, layout.BottomStep, [&](double value) {
        const int x = Round(layout.BottomMap.PixelOf(value));
        Line(dc, x, B + 2, x, B + 2 + tick / 2, kTickColor);
    });
}

void DrawTitle(HDC dc, const TChartDrawInfo& info)
{
    if (info.TitleLines.empty()) return;
    const TChartLayout& layout = *info.Layout;
    ::SetTextAlign(dc, TA_CENTER | TA_TOP);
    ::SetTextColor(dc, kTitleColor);
    const int centre = (layout.Title.Left + layout.Title.Right) / 2;
    int y = layout.Title.Top;
    for (const std::wstring& line : info.TitleLines) {
        Text(dc, centre, y, line);
        y += layout.TextHeight;
    }
    ::SetTextColor(dc, kTextColor);
}

// A framed white box, one row per active series.
void DrawLegend(HDC dc, const TChartDrawInfo& info)
{
    const TChartLayout& layout = *info.Layout;
    if (!layout.HasLegend) return;
    const RECT legend = ToRect(layout.Legend);
    FillSolid(dc, legend, kLegendColor);
    Frame(dc, legend, kAxisColor);
    ::SetTextAlign(dc, TA_LEFT | TA_TOP);
    for (std::size_t i = 0; i < info.Series.size(); ++i) {
        const TChartSeriesPaint& series = info.Series[i];
        const TLegendRow row = layout.LegendRow(static_cast<int>(i));
        const RECT symbol = ToRect(row.Symbol);
        FillSolid(dc, symbol, series.Color);
        Frame(dc, symbol, Darker(series.Color, 60));
        Text(dc, row.TextLeft, row.TextTop, series.Title);
    }
}

}  // namespace

void PaintChart(HDC dc, const TChartDrawInfo& info)
{
    const int savedState = ::SaveDC(dc);
    ::SelectObject(dc, info.Font);
    ::SelectObject(dc, ::GetStockObject(DC_PEN));
    ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kTextColor);

    DrawPanel(dc, info);
    DrawWalls(dc, info);
    DrawGrid(dc, *info.Layout);
    DrawSeries(dc, info);
    DrawAxisLines(dc, *info.Layout);
    DrawLeftAxis(dc, info);
    DrawBottomAxis(dc, info);
    DrawTitle(dc, info);
    DrawLegend(dc, info);

    ::RestoreDC(dc, savedState);
}

}  // namespace vantrel
