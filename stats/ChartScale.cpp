#include "stats/ChartScale.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace vantrel {

namespace {

constexpr double kZeroWidthWidening = 1e-10;

TValueRange Ordered(TValueRange range) noexcept
{
    if (range.Minimum > range.Maximum) std::swap(range.Minimum, range.Maximum);
    return range;
}

}  // namespace

void TAxisScale::SetMinMax(double minimum, double maximum) noexcept
{
    Automatic = false;
    AutomaticMinimum = false;
    AutomaticMaximum = false;
    if (minimum > maximum) std::swap(minimum, maximum);
    if (minimum == maximum) {
        minimum -= kZeroWidthWidening;
        maximum += kZeroWidthWidening;
    }
    Minimum = minimum;
    Maximum = maximum;
}

TValueRange TAxisScale::Visible(const TDataExtent& data, double spread) const noexcept
{
    TValueRange range{Minimum, Maximum};
    if (!data.Empty) {
        if (Automatic || AutomaticMinimum) range.Minimum = data.Minimum;
        if (Automatic || AutomaticMaximum) range.Maximum = data.Maximum;
    }
    range = Ordered(range);
    if (range.Width() <= 0) {
        range.Minimum -= spread;
        range.Maximum += spread;
    }
    return range;
}

double TAxisMapping::ValueAt(double pixel) const noexcept
{
    return Range.Minimum + (pixel - StartPixel) * Range.Width() / (EndPixel - StartPixel);
}

double TAxisMapping::PixelOf(double value) const noexcept
{
    return StartPixel + (value - Range.Minimum) * (EndPixel - StartPixel) / Range.Width();
}

void TChartScales::ZoomIn(TValueRange bottomTarget, TValueRange leftTarget, TValueRange bottomNow,
                          TValueRange leftNow, bool animated, const std::function<void()>& frame)
{
    bottomTarget = Ordered(bottomTarget);
    leftTarget = Ordered(leftTarget);

    // Only the first zoom in remembers the scales, so one undo always goes back to the view
    // the user started from, however often they zoomed in between.
    if (scalesRestored_) {
        savedBottom_ = BottomAxis;
        savedLeft_ = LeftAxis;
        scalesRestored_ = false;
    }

    if (animated) {
        for (int step = 1; step < AnimatedSteps; ++step) {
            bottomNow.Minimum += (bottomTarget.Minimum - bottomNow.Minimum) / 3;
            bottomNow.Maximum -= (bottomNow.Maximum - bottomTarget.Maximum) / 3;
            leftNow.Minimum += (leftTarget.Minimum - leftNow.Minimum) / 3;
            leftNow.Maximum -= (leftNow.Maximum - leftTarget.Maximum) / 3;
            BottomAxis.SetMinMax(bottomNow.Minimum, bottomNow.Maximum);
            LeftAxis.SetMinMax(leftNow.Minimum, leftNow.Maximum);
            if (frame) frame();
        }
    }

    BottomAxis.SetMinMax(bottomTarget.Minimum, bottomTarget.Maximum);
    LeftAxis.SetMinMax(leftTarget.Minimum, leftTarget.Maximum);
}

void TChartScales::UndoZoom() noexcept
{
    if (scalesRestored_) return;
    BottomAxis = savedBottom_;
    LeftAxis = savedLeft_;
    savedBottom_ = TAxisScale{};
    savedLeft_ = TAxisScale{};
    scalesRestored_ = true;
}

void TZoomDrag::Press(int x, int y) noexcept
{
    if (active_) return;
    active_ = true;
    x0_ = x1_ = x;
    y0_ = y1_ = y;
}

bool TZoomDrag::Move(int x, int y) noexcept
{
    if (!active_) return false;
    x1_ = x;
    y1_ = y;
    return true;
}

TZoomDrag::TOutcome TZoomDrag::Release(int x, int y) noexcept
{
    if (!active_) return TOutcome::Nothing;
    active_ = false;
    x1_ = x;
    y1_ = y;
    if (std::abs(x1_ - x0_) <= MinimumPixels || std::abs(y1_ - y0_) <= MinimumPixels) return TOutcome::Nothing;
    return x1_ > x0_ ? TOutcome::ZoomIn : TOutcome::UndoZoom;
}

namespace {

// factor x 10^exponent as the nearest double: a division by an exact power of ten for
// negative exponents, so that 5e-10 comes out as the literal 5e-10 and not one bit off it.
double Scaled(double factor, int exponent) noexcept
{
    double power = 1;
    for (int i = 0; i < (exponent < 0 ? -exponent : exponent); ++i) power *= 10;
    return exponent < 0 ? factor / power : factor * power;
}

}  // namespace

double NextOneTwoFive(double value) noexcept
{
    // A relative tolerance so that a value that already is 5e-6 (up to rounding) moves on to
    // 1e-5 instead of returning itself.
    if (!(value > 0) || !std::isfinite(value)) return 1;  // nothing sensible to step through
    const double above = value * (1 + 1e-9);
    // One decade low, in case log10 rounds up at an exact power of ten.
    int exponent = static_cast<int>(std::floor(std::log10(above))) - 1;
    for (;;) {
        for (double factor : {1.0, 2.0, 5.0}) {
            const double candidate = Scaled(factor, exponent);
            if (candidate > above) return candidate;
        }
        ++exponent;
    }
}

double FirstLabelValue(double minimum, double step) noexcept
{
    return std::ceil(minimum / step - 1e-9) * step;
}

bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
                 double bottom) noexcept
{
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    double enter = 0;
    double leave = 1;
    // Each edge as p * t <= q; a segment parallel to an edge outside it is rejected at once.
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    for (int edge = 0; edge < 4; ++edge) {
        if (p[edge] == 0) {
            if (q[edge] < 0) return false;
            continue;
        }
        const double t = q[edge] / p[edge];
        if (p[edge] < 0) {
            if (t > leave) return false;
            if (t > enter) enter = t;
        } else {
            if (t < enter) return false;
            if (t < leave) leave = t;
        }
    }
    const double startX = x0 + enter * dx;
    const double startY = y0 + enter * dy;
    x1 = x0 + leave * dx;
    y1 = y0 + leave * dy;
    x0 = startX;
    y0 = startY;
    return true;
}

}  // namespace vantrel
