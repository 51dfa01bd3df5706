#include "monitor/FacePictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace vantrel {
namespace {

struct Rgba {
    std::uint8_t r, g, b, a;
};

constexpr Rgba kClear{0, 0, 0, 0};
constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kPureGreen{0, 255, 0, 255};
constexpr Rgba kPureRed{255, 0, 0, 255};

struct Point {
    double x, y;
};

double DistanceToSegment(Point p, Point a, Point b)
{
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Design coordinates on the 16-unit grid. The mouths run through pixel centres, so at 16 x 16
// a stroke half a pixel wide picks exactly the classic pixels: two diagonal steps down to a
// flat run of four (the frown is the same path upside down).
constexpr std::array<Point, 6> kSmile{{{4.5, 9.5}, {5.5, 10.5}, {6.5, 11.5}, {9.5, 11.5}, {10.5, 10.5}, {11.5, 9.5}}};
constexpr std::array<Point, 6> kFrown{{{4.5, 12.5}, {5.5, 11.5}, {6.5, 10.5}, {9.5, 10.5}, {10.5, 11.5}, {11.5, 12.5}}};

class FaceShape {
public:
    FaceShape(int index, int size) : size_(size), scale_(size / 16.0)
    {
        faceColour_ = index == kFaceNotConnected ? kPureRed : kPureGreen;
        wideEyes_ = index == kFaceActivity;
        const auto& mouth = index == kFaceNotConnected ? kFrown : kSmile;
        // The mouth's corners snap to pixel centres (mirrored for the right half), so its flat
        // run covers whole pixel rows at 125 % and 150 % instead of smearing over two.
        for (std::size_t i = 0; i < mouth.size(); ++i) {
            const double y = std::floor(mouth[i].y * scale_) + 0.5;
            const bool left = mouth[i].x < 8;
            const double x = std::floor((left ? mouth[i].x : 16 - mouth[i].x) * scale_) + 0.5;
            mouth_[i] = {left ? x : size - x, y};
        }
        // The wide eyes reach almost to the rim at 16; larger faces draw them a little smaller
        // so their soft edge never runs into the face's own.
        eyeRadius_ = size <= 16 ? 2.5 : 2.3 * scale_;
        eyeRing_ = size <= 16 ? 1.0 : 0.75 * scale_;

        // Plain eyes are squares snapped to whole pixels and mirrored, so they stay sharp and
        // symmetric at every size (2 x 2 at 16, 3 x 3 at 20 and 24, 4 x 4 at 32).
        const int near = static_cast<int>(std::lround(5 * scale_));
        const int far = static_cast<int>(std::lround(7 * scale_));
        // A pupil is a whole number of pixels across (1 up to 24 x 24, 3 at 32), so the small
        // sizes show a clean dot rather than a blurred cross; big pupils get rounded corners.
        pupilHalf_ = std::max(0.0, std::floor(0.8 * scale_ - 0.3)) + 0.5;
        eyeTop_ = near;
        eyeBottom_ = far;
        leftEye_ = {static_cast<double>(near), static_cast<double>(far)};
        rightEye_ = {static_cast<double>(size - far), static_cast<double>(size - near)};
    }

    Rgba Sample(double x, double y) const
    {
        const Point p{x, y};
        const double centre = size_ / 2.0;
        if (std::hypot(x - centre, y - centre) > 7 * scale_) return kClear;

        for (std::size_t i = 0; i + 1 < mouth_.size(); ++i) {
            if (DistanceToSegment(p, mouth_[i], mouth_[i + 1]) < kStrokeHalfWidth * scale_) return kBlack;
        }

        if (wideEyes_) {
            // Round eyes of radius 2.5 centred on pixel centres: at 16 a 5 x 5 disc without
            // its corners, a one-pixel black rim, a white 3 x 3 inside and a one-pixel pupil.
            // Centres snap to pixel centres (towards the middle of the face, mirrored), so
            // pupils stay sharp dots at any size.
            const double eyeX = std::ceil(4.5 * scale_ - 0.5) + 0.5;
            const double eyeY = std::ceil(5.5 * scale_ - 0.5) + 0.5;
            for (const Point eye : {Point{eyeX, eyeY}, Point{size_ - eyeX, eyeY}}) {
                const double distance = std::hypot(x - eye.x, y - eye.y);
                if (std::max(std::abs(x - eye.x), std::abs(y - eye.y)) < pupilHalf_ && distance < 0.9 * scale_ + 0.5) return kBlack;
                if (distance < eyeRadius_ - eyeRing_) return kWhite;
                if (distance < eyeRadius_) return kBlack;
            }
        } else if (y >= eyeTop_ && y < eyeBottom_) {
            if ((x >= leftEye_.x && x < leftEye_.y) || (x >= rightEye_.x && x < rightEye_.y)) return kBlack;
        }
        return faceColour_;
    }

private:
    static constexpr double kStrokeHalfWidth = 0.6;

    int size_;
    double scale_;
    Rgba faceColour_{};
    bool wideEyes_ = false;
    std::array<Point, 6> mouth_{};
    double eyeRadius_ = 2.5, eyeRing_ = 1;
    double pupilHalf_ = 0.5;
    double eyeTop_ = 0, eyeBottom_ = 0;
    Point leftEye_{}, rightEye_{};  // x = first column, y = one past the last
};

}  // namespace

std::vector<std::uint8_t> TFacePicture::MaskBits(int rowAlignment) const
{
    const int rowBytes = ((Size + 7) / 8 + rowAlignment - 1) / rowAlignment * rowAlignment;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(rowBytes) * Size, 0);
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            if (!IsOpaque(x, y)) bits[static_cast<std::size_t>(y) * rowBytes + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    return bits;
}

TFacePicture RenderFace(int index, int size)
{
    if (index < 0 || index >= kFaceCount) throw std::out_of_range("no such face");
    size = std::max(size, 8);
    const FaceShape shape(index, size);

    // One sample at the pixel centre up to 16 x 16 keeps the small faces free of blended
    // pixels; beyond that 4 x 4 samples smooth the rim and the mouth.
    const int samples = size <= 16 ? 1 : 4;
    TFacePicture picture;
    picture.Size = size;
    picture.Pixels.resize(static_cast<std::size_t>(size) * size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const Rgba c = shape.Sample(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples);
                    r += c.r * c.a;
                    g += c.g * c.a;
                    b += c.b * c.a;
                    a += c.a;
                }
            }
            std::uint32_t pixel = 0;
            if (a > 0) {
                // Straight alpha: undo the weighting so a rim pixel keeps the face's pure colour.
                const auto channel = [a](double sum) { return static_cast<std::uint32_t>(std::lround(sum / a)); };
                const auto alpha = static_cast<std::uint32_t>(std::lround(a / (samples * samples)));
                pixel = alpha << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
            }
            picture.Pixels[static_cast<std::size_t>(y) * size + x] = pixel;
        }
    }
    return picture;
}

}  // namespace vantrel
