#pragma once
// The three faces of the notification icon, drawn by code rather than stored as bitmaps so
// that every display scaling gets a picture made for its own pixel grid.
//
// The geometry is laid out on a 16-unit grid. At 16 x 16 every pixel is decided by its centre
// alone, so the faces are exactly the pure-coloured pixel art the icon has always had; larger
// sizes scale the same shapes and take several samples per pixel, which gives the round rim a
// soft edge while the face itself keeps its pure colour.

#include <cstdint>
#include <vector>

namespace vantrel {

// Indexes into the tray icon set.
enum TFaceIndex : int {
    kFaceConnected = 0,     // green, smiling
    kFaceNotConnected = 1,  // red, frowning
    kFaceActivity = 2,      // green, smiling, eyes wide open
};
inline constexpr int kFaceCount = 3;

// A square picture; each pixel is 0xAARRGGBB with straight (not premultiplied) alpha, which in
// little-endian memory is the B, G, R, A byte order of a 32-bit icon bitmap. Rows go top-down.
struct TFacePicture {
    int Size = 0;
    std::vector<std::uint32_t> Pixels;

    std::uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Size + x]; }
    // A pixel counts as part of the picture when it is at least half opaque.
    bool IsOpaque(int x, int y) const { return (At(x, y) >> 24) >= 0x80; }
    // The 1-bit AND mask of an icon: a set bit lets the background through. Each row is padded
    // to `rowAlignment` bytes (2 for CreateBitmap, 4 for a DIB).
    std::vector<std::uint8_t> MaskBits(int rowAlignment) const;
};

// Draws face `index` (0, 1 or 2) at `size` x `size` pixels. Sizes below 8 are drawn at 8.
// Throws std::out_of_range for an unknown index.
TFacePicture RenderFace(int index, int size);

constexpr std::uint8_t Alpha(std::uint32_t pixel) { return static_cast<std::uint8_t>(pixel >> 24); }
constexpr std::uint8_t Red(std::uint32_t pixel) { return static_cast<std::uint8_t>(pixel >> 16); }
constexpr std::uint8_t Green(std::uint32_t pixel) { return static_cast<std::uint8_t>(pixel >> 8); }
constexpr std::uint8_t Blue(std::uint32_t pixel) { return static_cast<std::uint8_t>(pixel); }

}  // namespace vantrel
