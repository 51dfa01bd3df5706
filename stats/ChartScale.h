#pragma once
// The chart's axis scales and its zoom gestures, free of any window: what an axis spans, how a
// pixel maps to a value, and the drag that zooms in or undoes the zoom. The control feeds mouse
// positions and its plot geometry in and paints what comes out.

#include <cmath>
#include <functional>

namespace vantrel {

// A closed interval of axis values.
struct TValueRange {
    double Minimum = 0;
    double Maximum = 0;
    double Width() const noexcept { return Maximum - Minimum; }
};

// The smallest and largest value of an axis's series; Empty when no series holds a point.
struct TDataExtent {
    bool Empty = true;
    double Minimum = 0;
    double Maximum = 0;

    void Include(double value) noexcept
    {
        if (!std::isfinite(value)) return;  // a point that cannot be placed does not stretch the axis
        if (Empty) {
            Minimum = Maximum = value;
            Empty = false;
        } else {
            if (value < Minimum) Minimum = value;
            if (value > Maximum) Maximum = value;
        }
    }
};

// One axis's scale state. With the automatic flags set the axis follows its data; an explicit
// range clears all three.
struct TAxisScale {
    bool Automatic = true;
    bool AutomaticMinimum = true;
    bool AutomaticMaximum = true;
    double Minimum = 0;
    double Maximum = 0;

    // Fixes the range: clears the automatic flags, swaps a reversed range and widens a range of
    // zero width by 1e-10 on each side so that the value-to-pixel mapping never divides by zero.
    void SetMinMax(double minimum, double maximum) noexcept;

    // The range the axis shows now, given its data. An automatic axis whose data collapse to a
    // single value (or that has no data) is shown one `spread` either side of it, so a flat
    // line sits mid-height instead of on an axis 2e-10 wide. The scale state itself is never
    // changed here: painting does not move a zoom.
    TValueRange Visible(const TDataExtent& data, double spread) const noexcept;

    bool operator==(const TAxisScale&) const = default;
};

// Maps values of one axis to pixels and back. `StartPixel` shows `Range.Minimum` and
// `EndPixel` shows `Range.Maximum`; for a vertical axis StartPixel is the bottom (larger) one.
struct TAxisMapping {
    TValueRange Range;
    double StartPixel = 0;
    double EndPixel = 1;

    double ValueAt(double pixel) const noexcept;
    double PixelOf(double value) const noexcept;
};

// The two axes that carry series and the zoom's memory of them.
class TChartScales {
public:
    // `AnimatedSteps`: the zoom in ends after this many steps, the last of which jumps to the
    // target.
    static constexpr int AnimatedSteps = 8;

    TAxisScale BottomAxis;
    TAxisScale LeftAxis;

    bool GetScalesRestored() const noexcept { return scalesRestored_; }
    const TAxisScale& SavedBottomAxis() const noexcept { return savedBottom_; }
    const TAxisScale& SavedLeftAxis() const noexcept { return savedLeft_; }

    // Zooms both axes to the given target ranges. `bottomNow`/`leftNow` are the ranges shown
    // at this moment (the automatic ranges of an unzoomed chart). When animated, `frame` runs
    // after each of the intermediate steps, each closing a third of the remaining distance, so
    // that the caller can paint it at once.
    void ZoomIn(TValueRange bottomTarget, TValueRange leftTarget, TValueRange bottomNow, TValueRange leftNow,
                bool animated, const std::function<void()>& frame);

    // Gives the axes back the scales saved by the first zoom in; nothing when not zoomed.
    void UndoZoom() noexcept;

private:
    bool scalesRestored_ = true;
    TAxisScale savedBottom_;
    TAxisScale savedLeft_;
};

// The rubber-band gesture in chart pixels. A drag must exceed `MinimumPixels` in both
// directions to do anything; then the horizontal sense alone decides (`UpLeftZooms` off):
// rightwards zooms in, leftwards undoes.
class TZoomDrag {
public:
    static constexpr int MinimumPixels = 16;

    enum class TOutcome { Nothing, ZoomIn, UndoZoom };

    bool GetActive() const noexcept { return active_; }
    int X0() const noexcept { return x0_; }
    int Y0() const noexcept { return y0_; }
    int X1() const noexcept { return x1_; }
    int Y1() const noexcept { return y1_; }

    // Starts the drag at the press point; ignored while a drag is active.
    void Press(int x, int y) noexcept;
    // Follows the pointer; false when no drag is active.
    bool Move(int x, int y) noexcept;
    // Ends the drag at the release point and says what it asks for.
    TOutcome Release(int x, int y) noexcept;
    // Abandons the drag (the capture was taken away).
    void Cancel() noexcept { active_ = false; }

private:
    bool active_ = false;
    int x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
};

// The smallest value of the 1, 2, 5, 10, 20, 50 ... sequence (times any power of ten) that is
// above `value`; the steps that label axes read best in. `value` must be positive.
double NextOneTwoFive(double value) noexcept;

// The labels of an axis stand at whole multiples of `step`; this is the first at or above
// `minimum` (a hair of rounding below counts as on it).
double FirstLabelValue(double minimum, double step) noexcept;

// Clips the segment (x0, y0)-(x1, y1) to the rectangle [left, right] x [top, bottom] in place
// (Liang-Barsky). False when nothing of it lies inside. Keeps zoomed-away points from reaching
// the drawing calls as huge coordinates.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
                 double bottom) noexcept;

}  // namespace vantrel
