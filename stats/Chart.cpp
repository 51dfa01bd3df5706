#include "stats/Chart.h"

#include <windowsx.h>

#include <algorithm>

#include "app/Application.h"
#include "app/Dpi.h"
#include "app/Exceptions.h"
#include "app/Forms.h"
#include "stats/ChartPaint.h"

namespace vantrel {

namespace {

constexpr wchar_t kClassName[] = L"VantrelChart";
constexpr UINT kDpiChangedAfterParent = 0x02E3;  // WM_DPICHANGED_AFTERPARENT, Windows 10 headers

constexpr int kFontPoints = 8;
constexpr COLORREF kLeftWallColor = RGB(255, 255, 128);
constexpr COLORREF kFloorColor = RGB(255, 255, 255);
constexpr COLORREF kBackWallColor = RGB(192, 192, 192);
constexpr COLORREF kRubberBandColor = RGB(192, 192, 192);

// The chart's font in a DC, as the layout measures its texts.
class TDeviceMeasures final : public TChartMeasures {
public:
    TDeviceMeasures(HDC dc, HFONT font, UINT dpi) : dc_(dc), font_(dc, font), dpi_(static_cast<int>(dpi))
    {
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc, &metrics);
        textHeight_ = metrics.tmHeight;
    }

    int TextHeight() const override { return textHeight_; }

    int TextWidth(std::wstring_view text) const override
    {
        SIZE size{};
        ::GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

    int Scaled(int pixels96) const override { return ScaleForDpi(pixels96, static_cast<UINT>(dpi_)); }

private:
    HDC dc_;
    SelectObjectRestorer font_;
    int dpi_;
    int textHeight_ = 0;
};

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
// Layout and painting: the rules live in ChartLayout and ChartPaint; the chart hands them
// its state.

TChartLayout TChart::ComputeLayout(HDC dc, const RECT& bounds) const
{
    std::vector<TChartSeriesContent> active;
    active.reserve(series_.size());
    for (const auto& series : series_) {
        if (series->GetActive()) active.push_back({series->GetTitle(), series->points_, series->XValues.GetDateTime()});
    }
    TChartContent content;
    content.TitleLines = Title.GetText();
    content.LeftTitle = LeftAxis.Title.GetCaption();
    content.Series = active;
    content.Scales = &scales_;
    content.Locale = &locale_;
    const TDeviceMeasures measures(dc, font_.get(), dpi_);
    return ComputeChartLayout(TChartRect{bounds.left, bounds.top, bounds.right, bounds.bottom}, content, measures);
}

const TChartLayout& TChart::ClientLayout() const
{
    if (layoutStale_) {
        RECT client{};
        ::GetClientRect(window_, &client);
        if (backDC_) {
            clientLayout_ = ComputeLayout(backDC_.get(), client);
        } else {
            WindowDC windowDC(window_);
            clientLayout_ = ComputeLayout(windowDC.get(), client);
        }
        layoutStale_ = false;
    }
    return clientLayout_;
}

void TChart::Paint(HDC dc, const RECT& bounds, const TChartLayout& layout) const
{
    std::vector<TChartSeriesPaint> active;
    active.reserve(series_.size());
    for (const auto& series : series_) {
        if (series->GetActive()) active.push_back({series->points_, series->GetSeriesColor(), series->GetTitle()});
    }
    TChartDrawInfo info;
    info.Bounds = bounds;
    info.Layout = &layout;
    info.PanelColor = panelColor_;
    info.BackWallColor = BackWall.Color;
    info.BackWallFilled = BackWall.Brush.GetStyle() == bsSolid;
    info.LeftWallColor = LeftWall.Color;
    info.FloorColor = BottomWall.Color;
    info.TitleLines = Title.GetText();
    info.LeftTitle = LeftAxis.Title.GetCaption();
    info.Series = active;
    info.Font = font_.get();
    info.VerticalFont = verticalFont_.get();
    info.Locale = &locale_;
    PaintChart(dc, info);
}

void TChart::Draw(HDC dc, const RECT& bounds) const
{
    Paint(dc, bounds, ComputeLayout(dc, bounds));
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
    const TChartLayout layout = ComputeLayout(screen.get(), bounds);
    const auto rect = [](const TChartRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; };
    return {rect(layout.Front), layout.Depth, layout.HasLegend ? rect(layout.Legend) : RECT{}, rect(layout.Title)};
}

bool TChart::StartsZoom(POINT point) const
{
    return ClientLayout().StartsZoom(point.x, point.y);
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
    layoutStale_ = true;
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
    const RECT bounds{0, 0, backSize_.cx, backSize_.cy};
    // What is painted is what later presses are tested against.
    clientLayout_ = ComputeLayout(backDC_.get(), bounds);
    layoutStale_ = false;
    Paint(backDC_.get(), bounds, clientLayout_);
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
    // A copy: each frame of the animation paints, and painting keeps a new layout.
    const TChartLayout layout = ClientLayout();
    const TValueRange bottomTarget{layout.BottomMap.ValueAt(band.left), layout.BottomMap.ValueAt(band.right)};
    const TValueRange leftTarget{layout.LeftMap.ValueAt(band.bottom), layout.LeftMap.ValueAt(band.top)};
    scales_.ZoomIn(bottomTarget, leftTarget, layout.BottomMap.Range, layout.LeftMap.Range, Zoom.GetAnimated(),
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
