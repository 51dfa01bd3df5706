#include "stats/Chart.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "app/Application.h"
#include "app/Exceptions.h"
#include "app/Forms.h"
#include "stats/DateTimeAxis.h"
#include "stats/NumberFormat.h"

namespace vantrel {

namespace {

constexpr wchar_t kClassName[] = L"VantrelChart";
constexpr UINT kDpiChangedAfterParent = 0x02E3;  // WM_DPICHANGED_AFTERPARENT, Windows 10 headers

constexpr int Chart3DPercent = 15;
constexpr int kFontPoints = 8;
constexpr COLORREF kLeftWallColor = RGB(255, 255, 128);
constexpr COLORREF kFloorColor = RGB(255, 255, 255);
constexpr COLORREF kBackWallColor = RGB(192, 192, 192);
constexpr COLORREF kTitleColor = RGB(0, 0, 255);
constexpr COLORREF kTextColor = RGB(0, 0, 0);
constexpr COLORREF kAxisColor = RGB(0, 0, 0);
constexpr COLORREF kTickColor = RGB(128, 128, 128);
constexpr COLORREF kWallEdgeColor = RGB(128, 128, 128);
constexpr COLORREF kGridColor = RGB(192, 192, 192);
constexpr COLORREF kLegendColor = RGB(255, 255, 255);
constexpr COLORREF kRubberBandColor = RGB(192, 192, 192);

// A numeric label needs its own height and as much again free, so the left axis reads as a
// calm scale rather than a column of numbers.
constexpr double kLeftLabelPitchInLines = 2.0;
// Sides of a flat automatic axis: one count, or one second on a time axis.
constexpr double kNumericSpread = 1.0;

void FillSolid(HDC dc, const RECT& rect, COLORREF color)
{
    ::SetDCBrushColor(dc, color);
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
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

COLORREF Darker(COLORREF color, int percent)
{
    return RGB(GetRValue(color) * percent / 100, GetGValue(color) * percent / 100, GetBValue(color) * percent / 100);
}

SIZE TextSize(HDC dc, const std::wstring& text)
{
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

int Round(double value)
{
    return static_cast<int>(std::lround(value));
}

// Calls `visit(value)` for each label of an axis showing `range` with labels `step` apart.
template <typename Visit>
void ForEachLabel(const TValueRange& range, double step, Visit&& visit)
{
    if (!(step > 0)) return;
    const double first = FirstLabelValue(range.Minimum, step);
    const double last = range.Maximum + step * 1e-9;
    // The step rules keep the count near the number that fits; the bound only guards against
    // a degenerate range.
    for (int i = 0; i < 1000; ++i) {
        const double value = first + i * step;
        if (value > last) break;
        visit(value);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Settings

void TChartTitle::SetText(std::vector<std::wstring> lines)
{
    text_ = std::move(lines);
    chart_->Invalidate();
}

void TChartAxisTitle::SetCaption(std::wstring caption)
{
    caption_ = std::move(caption);
    chart_->Invalidate();
}

void TChartBrush::SetStyle(TBrushStyle style)
{
    style_ = style;
    chart_->Invalidate();
}

void TChartValueList::SetDateTime(bool dateTime)
{
    dateTime_ = dateTime;
    series_->Repaint();
}

// ---------------------------------------------------------------------------------------
// Series

TLineSeries::TLineSeries() : XValues(this)
{
    // A sample history holds 60 points; refilling it every second then never allocates.
    points_.reserve(64);
}

void TLineSeries::SetTitle(std::wstring title)
{
    title_ = std::move(title);
    Repaint();
}

void TLineSeries::SetSeriesColor(COLORREF color)
{
    color_ = color;
    Repaint();
}

void TLineSeries::SetActive(bool active)
{
    active_ = active;
    Repaint();
}

void TLineSeries::Clear()
{
    points_.clear();
    Repaint();
}

int TLineSeries::AddXY(double x, double y, const std::wstring&, COLORREF)
{
    int index;
    if (points_.empty() || x >= points_.back().X) {
        points_.push_back({x, y});
        index = Count() - 1;
    } else {
        // After any equal x already there, so points of one x keep their order of arrival.
        const auto place = std::upper_bound(points_.begin(), points_.end(), x,
                                            [](double value, const TChartPoint& point) { return value < point.X; });
        index = static_cast<int>(points_.insert(place, {x, y}) - points_.begin());
    }
    Repaint();
    return index;
}

void TLineSeries::Repaint()
{
    if (parent_) parent_->Invalidate();
}

// ---------------------------------------------------------------------------------------
// Layout: where everything goes for a given size, data and scale state.

struct TChart::TLayout {
    RECT inner{};
    int textHeight = 0;
    int tickLength = 0;
    RECT title{};
    RECT legend{};
    int legendRowHeight = 0;
    bool hasLegend = false;
    // The front face of the plot box; the box recedes `depth` pixels up and to the right.
    int left = 0, top = 0, right = 0, bottom = 0;
    int depth = 0;
    RECT leftAxisArea{};
    RECT bottomAxisArea{};
    TAxisMapping bottomMap;
    TAxisMapping leftMap;
    bool bottomDateTime = false;
    bool bottomLabelled = false;
    bool leftLabelled = false;
    double bottomStep = 0;
    double leftStep = 0;
};

TChart::TLayout TChart::ComputeLayout(HDC dc, const RECT& bounds) const
{
    TLayout layout;
    SelectObjectRestorer fontScope(dc, font_.get());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    const int textHeight = metrics.tmHeight;
    const auto scaled = [this](int pixels96) { return ScaleForDpi(pixels96, dpi_); };
    layout.textHeight = textHeight;
    layout.tickLength = scaled(4);

    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    layout.inner = {bounds.left + width * 3 / 100, bounds.top + height * 4 / 100, bounds.right - width * 3 / 100,
                    bounds.bottom - height * 4 / 100};
    const RECT& inner = layout.inner;

    // Title lines on top.
    int top = inner.top;
    int titleWidth = 0;
    int titleLines = 0;
    for (const std::wstring& line : Title.GetText()) {
        titleWidth = std::max<int>(titleWidth, TextSize(dc, line).cx);
        ++titleLines;
    }
    if (titleLines > 0) top += titleLines * textHeight + scaled(6);

    // The legend at the right; the plot gives way to it.
    int activeSeries = 0;
    int widestSeriesTitle = 0;
    for (const auto& series : series_) {
        if (!series->GetActive()) continue;
        ++activeSeries;
        widestSeriesTitle = std::max<int>(widestSeriesTitle, TextSize(dc, series->GetTitle()).cx);
    }
    int plotRight = inner.right;
    if (activeSeries > 0) {
        layout.hasLegend = true;
        layout.legendRowHeight = textHeight + scaled(3);
        const int legendWidth = scaled(6) + scaled(18) + scaled(5) + widestSeriesTitle + scaled(8);
        const int legendHeight = activeSeries * layout.legendRowHeight + scaled(8);
        const int legendTop = top + (inner.bottom - top) / 10;
        layout.legend = {inner.right - legendWidth, legendTop, inner.right, legendTop + legendHeight};
        plotRight = layout.legend.left - scaled(12);
    }

    // Room for the bottom axis labels, then the depth of the box.
    layout.bottom = inner.bottom - (2 + layout.tickLength + scaled(2) + textHeight);
    // The depth recedes at 45 degrees, so it moves the back of the box by depth / sqrt(2) in
    // each direction.
    const double depth = std::min<int>(plotRight - inner.left, layout.bottom - top) * Chart3DPercent / 100.0;
    layout.depth = std::max(0, Round(depth * std::sqrt(0.5)));
    layout.top = std::min(top + layout.depth, layout.bottom - 1);

    // Ranges from the scale state and the data of the active series.
    TDataExtent xs, ys;
    const TLineSeries* first = nullptr;
    for (const auto& series : series_) {
        if (!series->GetActive()) continue;
        if (!first) first = series.get();
        for (const TChartPoint& point : series->points_) {
            xs.Include(point.X);
            ys.Include(point.Y);
        }
    }
    layout.bottomDateTime = first && first->XValues.GetDateTime();
    const TValueRange bottomRange =
        scales_.BottomAxis.Visible(xs, layout.bottomDateTime ? kSecondInDays : kNumericSpread);
    const TValueRange leftRange = scales_.LeftAxis.Visible(ys, kNumericSpread);
    // An automatic axis without data has nothing to label: the chart shows empty axes.
    layout.bottomLabelled = !(xs.Empty && scales_.BottomAxis.Automatic);
    layout.leftLabelled = !(ys.Empty && scales_.LeftAxis.Automatic);

    // Left axis: its labels' width decides where the plot begins.
    layout.leftStep = NumericStep(leftRange.Width(), layout.bottom - layout.top, textHeight * kLeftLabelPitchInLines);
    int widestLeftLabel = 0;
    if (layout.leftLabelled) {
        ForEachLabel(leftRange, layout.leftStep, [&](double value) {
            widestLeftLabel = std::max<int>(widestLeftLabel, TextSize(dc, FormatNumber(value, locale_)).cx);
        });
    }
    const int leftTitleWidth = LeftAxis.Title.GetCaption().empty() ? 0 : textHeight + scaled(6);
    layout.left = inner.left + leftTitleWidth + widestLeftLabel + scaled(4) + layout.tickLength + 2;
    layout.right = std::max(layout.left + 1, plotRight - layout.depth);

    layout.bottomMap = {bottomRange, static_cast<double>(layout.left), static_cast<double>(layout.right)};
    layout.leftMap = {leftRange, static_cast<double>(layout.bottom), static_cast<double>(layout.top)};

    // Bottom axis step from the widest of the labels at its ends and middle.
    const double axisLength = layout.right - layout.left;
    const double range = bottomRange.Width();
    double widest = 0;
    for (double value : {bottomRange.Minimum, (bottomRange.Minimum + bottomRange.Maximum) / 2, bottomRange.Maximum}) {
        const std::wstring text =
            layout.bottomDateTime ? DateTimeLabel(value, range, locale_) : FormatNumber(value, locale_);
        widest = std::max<double>(widest, TextSize(dc, text).cx);
    }
    layout.bottomStep = layout.bottomDateTime
                            ? DateTimeStep(range, LabelsThatFit(axisLength, widest))
                            : NumericStep(range, axisLength, widest * (1 + LabelsSeparation));

    if (titleLines > 0) {
        const int centre = (layout.left + layout.right + layout.depth) / 2;
        layout.title = {centre - titleWidth / 2 - 2, inner.top, centre + titleWidth / 2 + 2,
                        inner.top + titleLines * textHeight};
    }
    layout.leftAxisArea = {inner.left, layout.top - layout.depth - textHeight / 2, layout.left,
                           layout.bottom + textHeight / 2 + 1};
    layout.bottomAxisArea = {layout.left - 2, layout.bottom + 1, layout.right + 2, inner.bottom};
    return layout;
}

// ---------------------------------------------------------------------------------------
// Painting

void TChart::Draw(HDC dc, const RECT& bounds) const
{
    const int savedState = ::SaveDC(dc);
    const TLayout layout = ComputeLayout(dc, bounds);
    const int L = layout.left, T = layout.top, R = layout.right, B = layout.bottom, d = layout.depth;

    ::SelectObject(dc, font_.get());
    ::SelectObject(dc, ::GetStockObject(DC_PEN));
    ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kTextColor);

    // Panel with a one-pixel raised bevel.
    FillSolid(dc, bounds, panelColor_);
    RECT bevel = bounds;
    ::DrawEdge(dc, &bevel, BDR_RAISEDINNER, BF_RECT);

    // Walls: the back one only framed unless it has a brush, the left one and the floor filled.
    const POINT back[4] = {{L + d, T - d}, {R + d, T - d}, {R + d, B - d}, {L + d, B - d}};
    if (BackWall.Brush.GetStyle() == bsSolid) {
        FilledPolygon(dc, back, 4, BackWall.Color, kWallEdgeColor);
    } else {
        ::SetDCPenColor(dc, kWallEdgeColor);
        ::Polyline(dc, back, 4);
        Line(dc, L + d, B - d, L + d, T - d - 1, kWallEdgeColor);
    }
    const POINT leftWall[4] = {{L, T}, {L + d, T - d}, {L + d, B - d}, {L, B}};
    FilledPolygon(dc, leftWall, 4, LeftWall.Color, kWallEdgeColor);
    const POINT floor[4] = {{L, B}, {L + d, B - d}, {R + d, B - d}, {R, B}};
    FilledPolygon(dc, floor, 4, BottomWall.Color, kWallEdgeColor);

    // Grid lines at each label, across the back wall and along the left wall and the floor.
    if (layout.leftLabelled) {
        ForEachLabel(layout.leftMap.Range, layout.leftStep, [&](double value) {
            const int y = Round(layout.leftMap.PixelOf(value));
            if (y <= T || y >= B) return;
            Line(dc, L + d + 1, y - d, R + d, y - d, kGridColor);
            Line(dc, L + 1, y - 1, L + d, y - d, kGridColor);
        });
    }
    if (layout.bottomLabelled) {
        ForEachLabel(layout.bottomMap.Range, layout.bottomStep, [&](double value) {
            const int x = Round(layout.bottomMap.PixelOf(value));
            if (x <= L || x >= R) return;
            Line(dc, x + d, T - d + 1, x + d, B - d, kGridColor);
            Line(dc, x + 1, B - 1, x + d, B - d, kGridColor);
        });
    }

    // Series, each a band in its own slice of the depth; the first series is in front, so
    // the others are painted before it.
    std::vector<const TLineSeries*> active;
    active.reserve(series_.size());
    for (const auto& series : series_) {
        if (series->GetActive()) active.push_back(series.get());
    }
    const double slice = active.empty() ? 0.0 : static_cast<double>(d) / active.size();
    for (std::size_t i = active.size(); i-- > 0;) {
        const TLineSeries& series = *active[i];
        const int z0 = Round(i * slice);
        const int z1 = std::max(z0 + 1, Round((i + 1) * slice));
        const COLORREF top = series.GetSeriesColor();
        const COLORREF under = Darker(top, 60);
        const COLORREF edge = Darker(top, 45);
        const auto& points = series.points_;
        for (std::size_t k = 1; k < points.size(); ++k) {
            double x0 = layout.bottomMap.PixelOf(points[k - 1].X), y0 = layout.leftMap.PixelOf(points[k - 1].Y);
            double x1 = layout.bottomMap.PixelOf(points[k].X), y1 = layout.leftMap.PixelOf(points[k].Y);
            if (!std::isfinite(x0 + y0 + x1 + y1)) continue;  // a NaN or infinite value has no place
            if (!ClipSegment(x0, y0, x1, y1, L, T, R, B)) continue;
            const POINT p{Round(x0), Round(y0)}, q{Round(x1), Round(y1)};
            const POINT band[4] = {{p.x + z0, p.y - z0}, {q.x + z0, q.y - z0}, {q.x + z1, q.y - z1}, {p.x + z1, p.y - z1}};
            // The band shows its upper face when it runs rightwards less steeply than the
            // depth recedes, its darker underside otherwise.
            const COLORREF face = (q.x - p.x) + (q.y - p.y) > 0 ? top : under;
            FilledPolygon(dc, band, 4, face, face);
            // Darker front and back edges keep the band readable where it folds over itself.
            Line(dc, band[0].x, band[0].y, band[1].x, band[1].y, edge);
            Line(dc, band[3].x, band[3].y, band[2].x, band[2].y, edge);
        }
    }

    // Axis lines, two pixels wide along the front edges of the left wall and the floor.
    FillSolid(dc, RECT{L - 2, T, L, B + 2}, kAxisColor);
    FillSolid(dc, RECT{L - 2, B, R + 1, B + 2}, kAxisColor);

    // Left axis: ticks, minor ticks, labels and the turned title.
    const int tick = layout.tickLength;
    const int minorTick = tick / 2;
    if (layout.leftLabelled) {
        const TValueRange range = layout.leftMap.Range;
        const double step = layout.leftStep;
        ::SetTextAlign(dc, TA_RIGHT | TA_TOP);
        ForEachLabel(range, step, [&](double value) {
            const int y = Round(layout.leftMap.PixelOf(value));
            Line(dc, L - 2 - tick, y, L - 2, y, kTickColor);
            const std::wstring text = FormatNumber(value, locale_);
            ::TextOutW(dc, L - 2 - tick - 3, y - layout.textHeight / 2, text.c_str(), static_cast<int>(text.size()));
        });
        ForEachLabel(range, step / 4, [&](double value) {
            const double quarters = std::round((value - FirstLabelValue(range.Minimum, step)) / (step / 4));
            if (std::fmod(std::fabs(quarters), 4.0) == 0) return;
            const int y = Round(layout.leftMap.PixelOf(value));
            Line(dc, L - 2 - minorTick, y, L - 2, y, kTickColor);
        });
    }
    if (!LeftAxis.Title.GetCaption().empty()) {
        const std::wstring& caption = LeftAxis.Title.GetCaption();
        const SIZE size = TextSize(dc, caption);
        SelectObjectRestorer vertical(dc, verticalFont_.get());
        ::SetTextAlign(dc, TA_LEFT | TA_TOP);
        ::TextOutW(dc, layout.inner.left, (T + B) / 2 + size.cx / 2, caption.c_str(), static_cast<int>(caption.size()));
    }

    // Bottom axis.
    if (layout.bottomLabelled) {
        const TValueRange range = layout.bottomMap.Range;
        const double step = layout.bottomStep;
        ::SetTextAlign(dc, TA_CENTER | TA_TOP);
        ForEachLabel(range, step, [&](double value) {
            const int x = Round(layout.bottomMap.PixelOf(value));
            Line(dc, x, B + 2, x, B + 2 + tick, kTickColor);
            const std::wstring text = layout.bottomDateTime ? DateTimeLabel(value, range.Width(), locale_)
                                                            : FormatNumber(value, locale_);
            ::TextOutW(dc, x, B + 2 + tick + 1, text.c_str(), static_cast<int>(text.size()));
        });
        ForEachLabel(range, step / 4, [&](double value) {
            const double quarters = std::round((value - FirstLabelValue(range.Minimum, step)) / (step / 4));
            if (std::fmod(std::fabs(quarters), 4.0) == 0) return;
            const int x = Round(layout.bottomMap.PixelOf(value));
            Line(dc, x, B + 2, x, B + 2 + minorTick, kTickColor);
        });
    }

    // Title.
    if (!Title.GetText().empty()) {
        ::SetTextAlign(dc, TA_CENTER | TA_TOP);
        ::SetTextColor(dc, kTitleColor);
        const int centre = (layout.title.left + layout.title.right) / 2;
        int y = layout.title.top;
        for (const std::wstring& line : Title.GetText()) {
            ::TextOutW(dc, centre, y, line.c_str(), static_cast<int>(line.size()));
            y += layout.textHeight;
        }
        ::SetTextColor(dc, kTextColor);
    }

    // Legend: a framed white box, one row per active series.
    if (layout.hasLegend) {
        const auto scaled = [this](int pixels96) { return ScaleForDpi(pixels96, dpi_); };
        FillSolid(dc, layout.legend, kLegendColor);
        ::SetDCBrushColor(dc, kAxisColor);
        ::FrameRect(dc, &layout.legend, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        ::SetTextAlign(dc, TA_LEFT | TA_TOP);
        int rowTop = layout.legend.top + scaled(4);
        for (const TLineSeries* series : active) {
            const int symbolLeft = layout.legend.left + scaled(6);
            const int middle = rowTop + layout.legendRowHeight / 2;
            const RECT symbol{symbolLeft, middle - scaled(3), symbolLeft + scaled(18), middle + scaled(3)};
            FillSolid(dc, symbol, series->GetSeriesColor());
            ::SetDCBrushColor(dc, Darker(series->GetSeriesColor(), 60));
            ::FrameRect(dc, &symbol, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
            const std::wstring& title = series->GetTitle();
            ::TextOutW(dc, symbol.right + scaled(5), rowTop + (layout.legendRowHeight - layout.textHeight) / 2,
                       title.c_str(), static_cast<int>(title.size()));
            rowTop += layout.legendRowHeight;
        }
    }

    ::RestoreDC(dc, savedState);
}

void TChart::DrawRubberBand(HDC dc, int x0, int y0, int x1, int y1, COLORREF panel)
{
    const int left = std::min(x0, x1), right = std::max(x0, x1);
    const int top = std::min(y0, y1), bottom = std::max(y0, y1);
    // Exclusive-or with (silver xor panel colour) turns the panel silver, and a second pass
    // gives every pixel back exactly.

    const COLORREF pattern = RGB(GetRValue(panel) ^ GetRValue(kRubberBandColor), GetGValue(panel) ^ GetGValue(kRubberBandColor),
                                 GetBValue(panel) ^ GetBValue(kRubberBandColor));
    const int saved = ::SaveDC(dc);
    ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    ::SetDCBrushColor(dc, pattern);
    // A 3-pixel outline centred on the rectangle's edges, flat at the ends: four strips that
    // never overlap, so no pixel is inverted twice within one drawing.
    const int outerLeft = left - 1, outerTop = top - 1, outerRight = right + 2, outerBottom = bottom + 2;
    const int outerWidth = outerRight - outerLeft, outerHeight = outerBottom - outerTop;
    if (outerWidth <= 6 || outerHeight <= 6) {
        ::PatBlt(dc, outerLeft, outerTop, outerWidth, outerHeight, PATINVERT);
    } else {
        ::PatBlt(dc, outerLeft, outerTop, outerWidth, 3, PATINVERT);
        ::PatBlt(dc, outerLeft, outerBottom - 3, outerWidth, 3, PATINVERT);
        ::PatBlt(dc, outerLeft, outerTop + 3, 3, outerHeight - 6, PATINVERT);
        ::PatBlt(dc, outerRight - 3, outerTop + 3, 3, outerHeight - 6, PATINVERT);
    }
    ::RestoreDC(dc, saved);
}

void TChart::DrawBand(HDC dc) const
{
    DrawRubberBand(dc, drag_.X0(), drag_.Y0(), drag_.X1(), drag_.Y1(), panelColor_);
}

TChart::TGeometry TChart::Geometry(const RECT& bounds) const
{
    WindowDC screen(nullptr);
    const TLayout layout = ComputeLayout(screen.get(), bounds);
    return {RECT{layout.left, layout.top, layout.right, layout.bottom}, layout.depth,
            layout.hasLegend ? layout.legend : RECT{}, layout.title};
}

bool TChart::StartsZoom(POINT point) const
{
    RECT client{};
    ::GetClientRect(window_, &client);
    WindowDC windowDC(window_);
    const TLayout layout = ComputeLayout(windowDC.get(), client);
    if (layout.hasLegend && ::PtInRect(&layout.legend, point)) return false;
    if (::PtInRect(&layout.title, point)) return true;
    if (::PtInRect(&layout.leftAxisArea, point) || ::PtInRect(&layout.bottomAxisArea, point)) return true;
    // The plot box as seen: its front face swept back along the depth (a hexagon).
    const int x = point.x, y = point.y, d = layout.depth;
    if (x < layout.left || x > layout.right + d || y < layout.top - d || y > layout.bottom) return false;
    if ((x - layout.left) + (y - layout.top) < 0) return false;      // above the left wall's slope
    if ((x - layout.right) + (y - layout.bottom) > 0) return false;  // below the floor's slope
    return true;
}

// ---------------------------------------------------------------------------------------
// The window

TChart::TChart(HWND parent, int id, const RECT& rect96)
    : Title(this),
      LeftAxis(this),
      BackWall(this, kBackWallColor),
      LeftWall(this, kLeftWallColor),
      BottomWall(this, kFloorColor),
      locale_(UserLocaleFormat())
{
    static const TWindowClass windowClass({kClassName, nullptr, ::LoadCursorW(nullptr, IDC_ARROW)});

    dpi_ = WindowDpi(parent);
    CreateFonts();
    const auto scaled = [this](LONG pixels96) { return ScaleForDpi(pixels96, dpi_); };
    if (!CreateHandle(windowClass, 0, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, scaled(rect96.left),
                      scaled(rect96.top), scaled(rect96.right - rect96.left), scaled(rect96.bottom - rect96.top), parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))))
        throw EOSError(L"The chart window could not be created", ::GetLastError());
}

TChart::~TChart()
{
    DestroyHandle();
    // The bitmap can only be deleted once the memory DC lets go of it.
    if (backDC_ && backDefaultBitmap_) ::SelectObject(backDC_.get(), backDefaultBitmap_);
}

TLineSeries* TChart::AddSeries(std::unique_ptr<TLineSeries> series)
{
    series->parent_ = this;
    series_.push_back(std::move(series));
    Invalidate();
    return series_.back().get();
}

void TChart::SetPanelColor(COLORREF color)
{
    panelColor_ = color;
    Invalidate();
}

void TChart::UndoZoom()
{
    scales_.UndoZoom();
    Invalidate();
}

void TChart::Invalidate() noexcept
{
    stale_ = true;
    // A rebuild adds 120 points, each asking for a repaint; one request to the window manager
    // is enough until the paint comes.
    if (window_ && !paintRequested_) {
        ::InvalidateRect(window_, nullptr, FALSE);
        paintRequested_ = true;
    }
}

void TChart::SetLocale(TLocaleFormat locale)
{
    locale_ = std::move(locale);
    Invalidate();
}

void TChart::CreateFonts()
{
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(kFontPoints, static_cast<int>(dpi_), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = NONANTIALIASED_QUALITY;  // the chart is drawn plain
    lstrcpynW(font.lfFaceName, L"Arial", LF_FACESIZE);
    font_.reset(::CreateFontIndirectW(&font));
    font.lfEscapement = 900;
    font.lfOrientation = 900;
    verticalFont_.reset(::CreateFontIndirectW(&font));
    if (!font_ || !verticalFont_) throw EOSError(L"The chart's font could not be created", ::GetLastError());
}

void TChart::RebuildBackBuffer()
{
    RECT client{};
    ::GetClientRect(window_, &client);
    const SIZE size{client.right, client.bottom};
    if (size.cx == backSize_.cx && size.cy == backSize_.cy && backBitmap_) return;
    if (!backDC_) {
        backDC_.reset(::CreateCompatibleDC(nullptr));
        if (!backDC_) throw EOSError(L"The chart's drawing surface could not be created", ::GetLastError());
    }
    UniqueBitmap bitmap;
    if (size.cx > 0 && size.cy > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = size.cx;
        info.bmiHeader.biHeight = -size.cy;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap.reset(::CreateDIBSection(backDC_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!bitmap) throw EOSError(L"The chart's drawing surface could not be created", ::GetLastError());
        const HGDIOBJ previous = ::SelectObject(backDC_.get(), bitmap.get());
        if (!backDefaultBitmap_) backDefaultBitmap_ = previous;
    } else if (backDefaultBitmap_) {
        ::SelectObject(backDC_.get(), backDefaultBitmap_);
    }
    backBitmap_ = std::move(bitmap);
    backSize_ = size;
}

void TChart::RenderBackBuffer()
{
    if (!backBitmap_) RebuildBackBuffer();
    if (!backBitmap_) return;
    Draw(backDC_.get(), RECT{0, 0, backSize_.cx, backSize_.cy});
    stale_ = false;
}

void TChart::OnPaint()
{
    PaintScope paint(window_);
    paintRequested_ = false;
    // Uncovering the window needs no new drawing, only the picture we already have.
    if (stale_ || !backBitmap_) RenderBackBuffer();
    if (!backBitmap_) return;
    const RECT& area = paint.paintRect();
    ::BitBlt(paint.dc(), area.left, area.top, area.right - area.left, area.bottom - area.top, backDC_.get(),
             area.left, area.top, SRCCOPY);
    // A drag in progress puts its rubber band back on top, clipped to what was repainted: the
    // rest of the screen still shows it, so the next move can erase it everywhere.
    if (drag_.GetActive() && bandVisible_) DrawBand(paint.dc());
}

void TChart::PaintNow()
{
    RenderBackBuffer();
    if (!backBitmap_) return;
    WindowDC dc(window_);
    ::BitBlt(dc.get(), 0, 0, backSize_.cx, backSize_.cy, backDC_.get(), 0, 0, SRCCOPY);
}

void TChart::OnSize()
{
    RebuildBackBuffer();
    Invalidate();
}

void TChart::OnDpiChanged()
{
    SetDpi(WindowDpi(window_));
}

void TChart::SetDpi(UINT dpi)
{
    if (dpi == 0 || dpi == dpi_) return;
    dpi_ = dpi;
    CreateFonts();
    Invalidate();
}

void TChart::OnLButtonDown(WPARAM keys, POINT point)
{
    if (drag_.GetActive()) return;
    // Zooming is a plain left drag; with a modifier key held the press means something else.
    if (keys & (MK_SHIFT | MK_CONTROL | MK_RBUTTON | MK_MBUTTON)) return;
    if (::GetKeyState(VK_MENU) < 0) return;
    if (!StartsZoom(point)) return;
    drag_.Press(point.x, point.y);
    bandVisible_ = false;
    ::SetCapture(window_);
}

void TChart::OnMouseMove(POINT point)
{
    if (!drag_.GetActive()) return;
    WindowDC dc(window_);
    if (bandVisible_) DrawBand(dc.get());
    drag_.Move(point.x, point.y);
    DrawBand(dc.get());
    bandVisible_ = true;
}

void TChart::OnLButtonUp(POINT point)
{
    if (!drag_.GetActive()) return;
    if (bandVisible_) {
        WindowDC dc(window_);
        DrawBand(dc.get());
        bandVisible_ = false;
    }
    // The drag is over before the capture goes, so the capture change it causes is not taken
    // for an interruption.
    const TZoomDrag::TOutcome outcome = drag_.Release(point.x, point.y);
    ::ReleaseCapture();
    switch (outcome) {
    case TZoomDrag::TOutcome::ZoomIn:
        ZoomInTo(RECT{std::min(drag_.X0(), drag_.X1()), std::min(drag_.Y0(), drag_.Y1()),
                      std::max(drag_.X0(), drag_.X1()), std::max(drag_.Y0(), drag_.Y1())});
        break;
    case TZoomDrag::TOutcome::UndoZoom:
        UndoZoom();
        break;
    case TZoomDrag::TOutcome::Nothing:
        break;
    }
}

void TChart::OnCaptureChanged()
{
    // Someone else took the mouse (a menu, a message box): drop the drag without a trace.
    if (!drag_.GetActive()) return;
    if (bandVisible_) {
        WindowDC dc(window_);
        DrawBand(dc.get());
        bandVisible_ = false;
    }
    drag_.Cancel();
}

void TChart::ZoomInTo(const RECT& band)
{
    RECT client{};
    ::GetClientRect(window_, &client);
    TLayout layout;
    {
        WindowDC dc(window_);
        layout = ComputeLayout(dc.get(), client);
    }
    const TValueRange bottomTarget{layout.bottomMap.ValueAt(band.left), layout.bottomMap.ValueAt(band.right)};
    const TValueRange leftTarget{layout.leftMap.ValueAt(band.bottom), layout.leftMap.ValueAt(band.top)};
    scales_.ZoomIn(bottomTarget, leftTarget, layout.bottomMap.Range, layout.leftMap.Range, Zoom.GetAnimated(),
                   [this] { PaintNow(); });
    Invalidate();
}

LRESULT TChart::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel; erasing first would only flicker
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_PRINTCLIENT: {
        RECT client{};
        ::GetClientRect(window_, &client);
        Draw(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_SIZE:
        OnSize();
        return 0;
    case kDpiChangedAfterParent:
        OnDpiChanged();
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(wParam, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged();
        return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        return 0;  // the wheel neither zooms nor scrolls the chart
    default:
        return TWindow::OnMessage(message, wParam, lParam);
    }
}

LRESULT TChart::OnFailedMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultMessage(message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------
// Regional settings

namespace {

std::wstring LocaleText(LCTYPE item, const wchar_t* fallback)
{
    wchar_t buffer[100];
    const int length = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, static_cast<int>(std::size(buffer)));
    return length > 1 ? std::wstring(buffer, length - 1) : std::wstring(fallback);
}

}  // namespace

TLocaleFormat UserLocaleFormat()
{
    TLocaleFormat locale;
    locale.TimeSeparator = LocaleText(LOCALE_STIME, L":");
    locale.HourLeadingZero = LocaleText(LOCALE_ITLZERO, L"0") == L"1";
    locale.TwelveHour = LocaleText(LOCALE_ITIME, L"0") == L"0";
    locale.TimeAMString = LocaleText(LOCALE_S1159, L"");
    locale.TimePMString = LocaleText(LOCALE_S2359, L"");
    locale.DesignatorFirst = LocaleText(LOCALE_ITIMEMARKPOSN, L"0") == L"1";
    locale.ShortDateFormat = LocaleText(LOCALE_SSHORTDATE, L"M/d/yyyy");
    for (int month = 0; month < 12; ++month) {
        locale.ShortMonthNames[month] = LocaleText(LOCALE_SABBREVMONTHNAME1 + month, L"");
        locale.LongMonthNames[month] = LocaleText(LOCALE_SMONTHNAME1 + month, L"");
    }
    // The locale counts days from Monday (DAYNAME1); the labels count from Sunday.
    for (int day = 0; day < 7; ++day) {
        const int fromMonday = (day + 6) % 7;
        locale.ShortDayNames[day] = LocaleText(LOCALE_SABBREVDAYNAME1 + fromMonday, L"");
        locale.LongDayNames[day] = LocaleText(LOCALE_SDAYNAME1 + fromMonday, L"");
    }
    locale.ThousandSeparator = LocaleText(LOCALE_STHOUSAND, L",");
    locale.DecimalSeparator = LocaleText(LOCALE_SDECIMAL, L".");
    return locale;
}

}  // namespace vantrel
