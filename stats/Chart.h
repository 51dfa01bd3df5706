#pragma once
// TChart: the statistics window's 3D line chart, a custom control painted with plain GDI.
//
// The chart owns its line series. Filling them (Clear, AddXY) only asks for a repaint and
// never moves the axes, so a zoom the user made survives the window's once-a-second rebuild.
// The user zooms by dragging a rubber band with the left button: rightwards zooms in (with a
// short animation), leftwards undoes. The arithmetic behind all of it lives in ChartScale,
// DateTimeAxis and NumberFormat; this file turns it into pixels and messages.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Handles.h"
#include "app/Window.h"
#include "stats/ChartLayout.h"
#include "stats/ChartScale.h"
#include "stats/LocaleFormat.h"

namespace vantrel {

class TChart;
class TLineSeries;

// The colour that means "the series' own colour" when a point is added.
inline constexpr COLORREF clTeeColor = 0x20000000;

enum TBrushStyle { bsSolid, bsClear };
enum TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };

// The parts below are the chart's settings; changing one repaints the chart.

class TChartTitle {
public:
    explicit TChartTitle(TChart* chart) : chart_(chart) {}
    const std::vector<std::wstring>& GetText() const noexcept { return text_; }
    void SetText(std::vector<std::wstring> lines);

private:
    TChart* chart_;
    std::vector<std::wstring> text_;
};

class TChartAxisTitle {
public:
    explicit TChartAxisTitle(TChart* chart) : chart_(chart) {}
    const std::wstring& GetCaption() const noexcept { return caption_; }
    void SetCaption(std::wstring caption);

private:
    TChart* chart_;
    std::wstring caption_;
};

class TChartAxis {
public:
    explicit TChartAxis(TChart* chart) : Title(chart) {}
    TChartAxisTitle Title;
};

class TChartBrush {
public:
    explicit TChartBrush(TChart* chart, TBrushStyle style) : chart_(chart), style_(style) {}
    TBrushStyle GetStyle() const noexcept { return style_; }
    void SetStyle(TBrushStyle style);

private:
    TChart* chart_;
    TBrushStyle style_;
};

class TChartWall {
public:
    TChartWall(TChart* chart, COLORREF color) : Brush(chart, bsSolid), Color(color) {}
    TChartBrush Brush;
    const COLORREF Color;
};

// Only read when a zoom starts, so changing it needs no repaint.
class TChartZoom {
public:
    bool GetAnimated() const noexcept { return animated_; }
    void SetAnimated(bool animated) noexcept { animated_ = animated; }

private:
    bool animated_ = false;
};

class TChartValueList {
public:
    explicit TChartValueList(TLineSeries* series) : series_(series) {}
    bool GetDateTime() const noexcept { return dateTime_; }
    void SetDateTime(bool dateTime);

private:
    TLineSeries* series_;
    bool dateTime_ = false;
};

class TLineSeries {
public:
    TLineSeries();
    TLineSeries(const TLineSeries&) = delete;
    TLineSeries& operator=(const TLineSeries&) = delete;

    const std::wstring& GetTitle() const noexcept { return title_; }
    void SetTitle(std::wstring title);
    COLORREF GetSeriesColor() const noexcept { return color_; }
    void SetSeriesColor(COLORREF color);
    bool GetActive() const noexcept { return active_; }
    void SetActive(bool active);
    TChartValueList XValues;

    // Removes every point (keeping the storage for the next fill) and asks for a repaint.
    void Clear();
    // Inserts the point at its place in ascending x order and asks for a repaint; returns its
    // index. The chart draws no per-point labels or colours, so `label` and `color` are taken
    // for the caller's convenience and not kept.
    int AddXY(double x, double y, const std::wstring& label = L"", COLORREF color = clTeeColor);
    int Count() const noexcept { return static_cast<int>(points_.size()); }
    const TChartPoint& Point(int index) const { return points_[index]; }

    TChart* GetParentChart() const noexcept { return parent_; }
    void Repaint();

private:
    friend class TChart;
    TChart* parent_ = nullptr;
    std::wstring title_;
    COLORREF color_ = RGB(255, 0, 0);
    bool active_ = true;
    std::vector<TChartPoint> points_;
};

class TChart : public TWindow {
public:
    // Creates the control as a child of `parent` at `rect96` (96-DPI pixels, scaled to the
    // parent's DPI).
    TChart(HWND parent, int id, const RECT& rect96);
    ~TChart();
    TChart(const TChart&) = delete;
    TChart& operator=(const TChart&) = delete;

    TChartTitle Title;
    TChartAxis LeftAxis;
    TChartWall BackWall;
    TChartWall LeftWall;
    TChartWall BottomWall;
    TChartZoom Zoom;
    TPanningMode GetAllowPanning() const noexcept { return allowPanning_; }
    void SetAllowPanning(TPanningMode mode) noexcept { allowPanning_ = mode; }
    // The panel's background: the button-face colour, or the face of the window's style so
    // that the chart sits in its window without a seam.
    COLORREF GetPanelColor() const noexcept { return panelColor_; }
    void SetPanelColor(COLORREF color);

    // Takes ownership; returns the series for configuring and filling.
    TLineSeries* AddSeries(std::unique_ptr<TLineSeries> series);
    int SeriesCount() const noexcept { return static_cast<int>(series_.size()); }
    TLineSeries* Series(int index) const { return series_[index].get(); }

    // Back to the automatic view the first zoom in saved; nothing when not zoomed.
    void UndoZoom();

    // Asks for a repaint at the next paint.
    void Invalidate() noexcept;

    // Paints the whole chart into `dc` within `bounds` (the rubber band excluded). Tests render
    // it into a memory bitmap.
    void Draw(HDC dc, const RECT& bounds) const;

    // Where Draw puts the front face of the plot box (the box recedes `Depth` pixels up and to
    // the right), the legend and the title within `bounds`.
    struct TGeometry {
        RECT Front;
        int Depth;
        RECT Legend;  // empty without active series
        RECT Title;   // empty without a title
    };
    TGeometry Geometry(const RECT& bounds) const;

    // Whether a press at `point` (client pixels) may start a zoom drag: on the plot area, an
    // axis, a series line or the title; not on the legend or the margin around the plot.
    // Asked of the layout last painted (or of the current one, when something changed since).
    bool StartsZoom(POINT point) const;

    // The rubber band as the chart shows it: a 3-pixel outline drawn by exclusive-or with a
    // colour that turns the panel colour silver; drawing it again erases it.
    static void DrawRubberBand(HDC dc, int x0, int y0, int x1, int y1, COLORREF panel = ::GetSysColor(COLOR_BTNFACE));

    const TChartScales& Scales() const noexcept { return scales_; }
    bool GetZooming() const noexcept { return drag_.GetActive(); }
    UINT Dpi() const noexcept { return dpi_; }
    // The window moved to a display of another scale: fonts and drawing follow `dpi` (the
    // window's owner moves and sizes the control).
    void SetDpi(UINT dpi);
    // The regional settings the labels follow; read from the user's locale at creation.
    const TLocaleFormat& Locale() const noexcept { return locale_; }
    void SetLocale(TLocaleFormat locale);

private:

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // A message whose handler failed gets the default handling: a failed paint is still
    // validated, or it would come back at once.
    LRESULT OnFailedMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint();
    void OnSize();
    void OnDpiChanged();
    void OnLButtonDown(WPARAM keys, POINT point);
    void OnMouseMove(POINT point);
    void OnLButtonUp(POINT point);
    void OnCaptureChanged();

    void CreateFonts();
    void RebuildBackBuffer();
    // Paints the chart (and the rubber band during a drag) straight to the window, now.
    void PaintNow();
    void RenderBackBuffer();  // the chart alone; the rubber band goes on the screen only
    void ZoomInTo(const RECT& band);

    // The layout for `bounds`, measured with the chart's font in `dc`.
    TChartLayout ComputeLayout(HDC dc, const RECT& bounds) const;
    // The layout of the client area as the back buffer shows it, worked out again only when
    // something changed since.
    const TChartLayout& ClientLayout() const;
    void Paint(HDC dc, const RECT& bounds, const TChartLayout& layout) const;
    void DrawBand(HDC dc) const;

    UINT dpi_ = 96;
    TPanningMode allowPanning_ = pmBoth;
    COLORREF panelColor_ = ::GetSysColor(COLOR_BTNFACE);
    std::vector<std::unique_ptr<TLineSeries>> series_;
    TChartScales scales_;
    TZoomDrag drag_;
    bool bandVisible_ = false;  // the rubber band is on the screen and must be erased
    TLocaleFormat locale_;

    UniqueFont font_;          // "Arial" 8 pt at the window's DPI
    UniqueFont verticalFont_;  // the same, turned to read upwards
    UniqueMemoryDC backDC_;
    UniqueBitmap backBitmap_;
    HGDIOBJ backDefaultBitmap_ = nullptr;
    SIZE backSize_{};
    bool stale_ = true;             // the back buffer no longer shows the chart's state
    mutable TChartLayout clientLayout_;
    mutable bool layoutStale_ = true;  // clientLayout_ no longer fits the chart's state
    bool paintRequested_ = false;   // invalidated, and no WM_PAINT since
};

// The user's regional settings as the chart's labels need them.
TLocaleFormat UserLocaleFormat();

}  // namespace vantrel
