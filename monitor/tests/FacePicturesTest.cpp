#include "monitor/FacePictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

namespace vantrel {
namespace {

constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kBlack = 0xFF000000;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

std::uint32_t FaceColour(int index) { return index == kFaceNotConnected ? kRed : kGreen; }

// The 16 x 16 faces drawn as text: '.' transparent, 'o' face colour, '#' black, 'w' white.
// These are the icon's pictures pixel for pixel.
constexpr const char* kConnected16[16] = {
    "................", ".....oooooo.....", "....oooooooo....", "...oooooooooo...",
    "..oooooooooooo..", ".oooo##oo##oooo.", ".oooo##oo##oooo.", ".oooooooooooooo.",
    ".oooooooooooooo.", ".ooo#oooooo#ooo.", ".oooo#oooo#oooo.", "..oooo####oooo..",
    "...oooooooooo...", "....oooooooo....", ".....oooooo.....", "................"};
constexpr const char* kNotConnected16[16] = {
    "................", ".....oooooo.....", "....oooooooo....", "...oooooooooo...",
    "..oooooooooooo..", ".oooo##oo##oooo.", ".oooo##oo##oooo.", ".oooooooooooooo.",
    ".oooooooooooooo.", ".oooooooooooooo.", ".ooooo####ooooo.", "..ooo#oooo#ooo..",
    "...o#oooooo#o...", "....oooooooo....", ".....oooooo.....", "................"};
constexpr const char* kActivity16[16] = {
    "................", ".....oooooo.....", "....oooooooo....", "...###oooo###...",
    "..#www#oo#www#..", ".o#w#w#oo#w#w#o.", ".o#www#oo#www#o.", ".oo###oooo###oo.",
    ".oooooooooooooo.", ".ooo#oooooo#ooo.", ".oooo#oooo#oooo.", "..oooo####oooo..",
    "...oooooooooo...", "....oooooooo....", ".....oooooo.....", "................"};

std::string Dump(const TFacePicture& picture, std::uint32_t face)
{
    std::string text;
    for (int y = 0; y < picture.Size; ++y) {
        for (int x = 0; x < picture.Size; ++x) {
            const std::uint32_t p = picture.At(x, y);
            text += Alpha(p) == 0 ? '.' : p == face ? 'o' : p == kBlack ? '#' : p == kWhite ? 'w' : '?';
        }
        text += '\n';
    }
    return text;
}

TEST(FacePictures, At16EveryPixelIsThePureColouredPixelArt)
{
    const struct {
        int index;
        const char* const* rows;
    } cases[] = {{kFaceConnected, kConnected16}, {kFaceNotConnected, kNotConnected16}, {kFaceActivity, kActivity16}};
    for (const auto& c : cases) {
        std::string expected;
        for (int y = 0; y < 16; ++y) expected += std::string(c.rows[y]) + '\n';
        const TFacePicture picture = RenderFace(c.index, 16);
        ASSERT_EQ(picture.Size, 16);
        // Dump() maps only exact colours to letters: any blended pixel shows up as '?'.
        EXPECT_EQ(Dump(picture, FaceColour(c.index)), expected) << "face " << c.index;
        for (const std::uint32_t pixel : picture.Pixels) {
            EXPECT_TRUE(Alpha(pixel) == 0 || Alpha(pixel) == 255) << "face " << c.index;
        }
    }
}

TEST(FacePictures, FaceIsFourteenPixelsAcrossAt16)
{
    const TFacePicture picture = RenderFace(kFaceConnected, 16);
    int left = 16, right = -1, top = 16, bottom = -1;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            if (!picture.IsOpaque(x, y)) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    EXPECT_EQ(right - left + 1, 14);
    EXPECT_EQ(bottom - top + 1, 14);
}

class FacePicturesAtSize : public ::testing::TestWithParam<int> {};

TEST_P(FacePicturesAtSize, CornersClearRimPureAndMirrorSymmetric)
{
    const int size = GetParam();
    for (int index = 0; index < kFaceCount; ++index) {
        const TFacePicture picture = RenderFace(index, size);
        ASSERT_EQ(picture.Size, size);
        ASSERT_EQ(picture.Pixels.size(), static_cast<std::size_t>(size * size));
        for (const auto& [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}}) {
            EXPECT_EQ(Alpha(picture.At(x, y)), 0) << size << " face " << index;
        }
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const std::uint32_t pixel = picture.At(x, y);
                // The soft rim fades by alpha only; its colour is the face's own.
                if (Alpha(pixel) > 0 && Alpha(pixel) < 255) {
                    EXPECT_EQ(pixel | 0xFF000000, FaceColour(index)) << size << " face " << index << " at " << x << "," << y;
                }
                EXPECT_EQ(pixel, picture.At(size - 1 - x, y)) << size << " face " << index << " at " << x << "," << y;
            }
        }
        // Between the eyes and the mouth the face is the pure colour.
        EXPECT_EQ(picture.At(size / 2, size / 2), FaceColour(index)) << size << " face " << index;
        EXPECT_EQ(picture.At(size * 7 / 32, size * 17 / 32), FaceColour(index)) << size << " face " << index;
    }
}

// The lowest black pixel of a column in the lower half of the face.
int LowestBlack(const TFacePicture& picture, int x)
{
    for (int y = picture.Size - 1; y > picture.Size / 2; --y) {
        const std::uint32_t p = picture.At(x, y);
        if (Alpha(p) == 255 && Red(p) < 64 && Green(p) < 64) return y;
    }
    return -1;
}

TEST_P(FacePicturesAtSize, MouthsCurveUpOnlyForTheRedFace)
{
    const int size = GetParam();
    const int middle = size / 2;
    const int corner = static_cast<int>(std::lround(4.75 * size / 16));
    for (int index = 0; index < kFaceCount; ++index) {
        const TFacePicture picture = RenderFace(index, size);
        const int atMiddle = LowestBlack(picture, middle);
        const int atCorner = LowestBlack(picture, corner);
        ASSERT_GT(atMiddle, 0) << size << " face " << index;
        ASSERT_GT(atCorner, 0) << size << " face " << index;
        if (index == kFaceNotConnected) {
            EXPECT_LT(atMiddle, atCorner) << size << ": the frown's middle is higher than its corners";
        } else {
            EXPECT_GT(atMiddle, atCorner) << size << " face " << index << ": the smile's middle is lower";
        }
    }
}

bool IsWhiteish(std::uint32_t p) { return Alpha(p) == 255 && Red(p) >= 0xC0 && Green(p) >= 0xC0 && Blue(p) >= 0xC0; }

// Where the eyes fall at each size, worked out by hand from the 16-pixel drawing: the plain
// eyes are the 2 x 2 squares at columns and rows 5-6 there, scaled and snapped to whole
// pixels; the activity face's pupil is the pixel at 4, 5 there, moved to the pixel whose
// centre comes next at or after the scaled centre, and grows to 3 and then 5 pixels across.
struct EyePlace {
    int size;
    int plainFirst, plainLast;           // the left plain eye's columns, and its rows
    int pupilFirst, pupilLast, pupilRow;  // the left pupil's columns on its row
};
constexpr EyePlace kEyePlaces[] = {
    {16, 5, 6, 4, 4, 5},     {20, 6, 8, 6, 6, 7},     {24, 8, 10, 7, 7, 8},     {32, 10, 13, 8, 10, 11},
    {40, 13, 17, 10, 12, 14}, {48, 15, 20, 11, 15, 16}, {64, 20, 27, 16, 20, 22},
};

TEST(FacePictures, OnlyTheActivityFaceHasWhiteEyesWithDarkPupils)
{
    for (const EyePlace& place : kEyePlaces) {
        const int size = place.size;
        const auto mirrored = [size](int x) { return size - 1 - x; };

        const TFacePicture activity = RenderFace(kFaceActivity, size);
        for (int x = place.pupilFirst; x <= place.pupilLast; ++x) {
            EXPECT_EQ(activity.At(x, place.pupilRow), kBlack) << size << ": left pupil at " << x;
            EXPECT_EQ(activity.At(mirrored(x), place.pupilRow), kBlack) << size << ": right pupil at " << mirrored(x);
        }
        // The white of the eye on both sides of the pupil.
        for (const int x : {place.pupilFirst - 1, place.pupilLast + 1}) {
            const std::uint32_t left = activity.At(x, place.pupilRow), right = activity.At(mirrored(x), place.pupilRow);
            EXPECT_TRUE(IsWhiteish(left)) << size << ": eyeball at " << x << " is " << std::hex << left;
            EXPECT_TRUE(IsWhiteish(right)) << size << ": eyeball at " << mirrored(x) << " is " << std::hex << right;
        }

        for (const int index : {kFaceConnected, kFaceNotConnected}) {
            const TFacePicture plain = RenderFace(index, size);
            int whiteish = 0;
            for (const std::uint32_t p : plain.Pixels) whiteish += IsWhiteish(p);
            EXPECT_EQ(whiteish, 0) << size << " face " << index;
            // Solid black squares with the face's colour right round them.
            for (int y = place.plainFirst - 1; y <= place.plainLast + 1; ++y) {
                for (int x = place.plainFirst - 1; x <= place.plainLast + 1; ++x) {
                    const bool inside = x >= place.plainFirst && x <= place.plainLast && y >= place.plainFirst &&
                                        y <= place.plainLast;
                    const std::uint32_t expected = inside ? kBlack : FaceColour(index);
                    EXPECT_EQ(plain.At(x, y), expected) << size << " face " << index << " left eye at " << x << "," << y;
                    EXPECT_EQ(plain.At(mirrored(x), y), expected)
                        << size << " face " << index << " right eye at " << mirrored(x) << "," << y;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ScaledSizes, FacePicturesAtSize, ::testing::Values(16, 20, 24, 32, 40, 48, 64));

TEST(FacePictures, MaskMarksTransparentPixelsWithPaddedRows)
{
    const TFacePicture picture = RenderFace(kFaceConnected, 16);
    const auto words = picture.MaskBits(2);
    ASSERT_EQ(words.size(), 32u);
    EXPECT_EQ(words[0], 0xFF);  // row 0 is empty
    EXPECT_EQ(words[1], 0xFF);
    EXPECT_EQ(words[8 * 2], 0x80);  // row 8: only the outer columns are clear
    EXPECT_EQ(words[8 * 2 + 1], 0x01);

    const auto dwords = picture.MaskBits(4);
    ASSERT_EQ(dwords.size(), 64u);
    EXPECT_EQ(dwords[8 * 4], 0x80);
    EXPECT_EQ(dwords[8 * 4 + 1], 0x01);
    EXPECT_EQ(dwords[8 * 4 + 2], 0x00);  // padding
    EXPECT_EQ(dwords[8 * 4 + 3], 0x00);

    // 20 pixels take three bytes per row; the padding bits stay clear.
    const auto odd = RenderFace(kFaceConnected, 20).MaskBits(4);
    ASSERT_EQ(odd.size(), 80u);
    EXPECT_EQ(odd[0], 0xFF);
    EXPECT_EQ(odd[1], 0xFF);
    EXPECT_EQ(odd[2], 0xF0);
    EXPECT_EQ(odd[3], 0x00);
}

TEST(FacePictures, UnknownIndexIsRefused)
{
    EXPECT_THROW(RenderFace(-1, 16), std::out_of_range);
    EXPECT_THROW(RenderFace(kFaceCount, 16), std::out_of_range);
}

}  // namespace
}  // namespace vantrel
