#include "monitor/TrayPictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app/SystemModule.h"
#include "monitor/FacePictures.h"

namespace vantrel {
namespace {

struct TIconPixels {
    std::vector<std::uint32_t> colour;  // top-down 0xAARRGGBB
    std::vector<std::uint32_t> mask;    // the AND mask as 32-bit pixels: non-zero = transparent
};

std::vector<std::uint32_t> ReadBitmap(HBITMAP bitmap, int size)
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    EXPECT_EQ(::GetDIBits(dc.get(), bitmap, 0, size, pixels.data(), &info, DIB_RGB_COLORS), size);
    return pixels;
}

// Reads an icon's pictures back through GetIconInfo, and lets go of the two bitmaps it hands out.
TIconPixels ReadIcon(HICON icon, int size)
{
    ICONINFO info{};
    EXPECT_TRUE(::GetIconInfo(icon, &info));
    UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    EXPECT_TRUE(colour) << "a colour icon";
    if (!colour) return {};
    return {ReadBitmap(colour.get(), size), ReadBitmap(mask.get(), size)};
}

int ChannelDistance(std::uint32_t a, std::uint32_t b)
{
    int worst = 0;
    for (int shift : {0, 8, 16}) worst = std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

TEST(TrayPictures, ImageListIconsMatchTheRenderedFaces)
{
    for (const int size : {16, 20, 24, 32}) {
        UniqueImageList list(CreateTrayImageList(size));
        ASSERT_TRUE(list) << size;
        ASSERT_EQ(::ImageList_GetImageCount(list.get()), kFaceCount);
        int width = 0, height = 0;
        ASSERT_TRUE(::ImageList_GetIconSize(list.get(), &width, &height));
        EXPECT_EQ(width, size);
        EXPECT_EQ(height, size);

        for (int index = 0; index < kFaceCount; ++index) {
            const TFacePicture face = RenderFace(index, size);
            // An icon from ImageList_GetIcon is ours to destroy; the owner does it.
            UniqueIcon icon(::ImageList_GetIcon(list.get(), index, ILD_NORMAL));
            ASSERT_TRUE(icon) << size << " face " << index;
            const TIconPixels read = ReadIcon(icon.get(), size);
            ASSERT_EQ(read.colour.size(), face.Pixels.size());
            int mismatches = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * size + x;
                    const std::uint32_t want = face.Pixels[i];
                    const std::uint32_t got = read.colour[i];
                    const bool opaque = face.IsOpaque(x, y);
                    // Fully clear and fully solid pixels must agree with the mask; the list may
                    // count a faint rim pixel as either, its alpha decides how it is drawn.
                    if (Alpha(want) == 0 || Alpha(want) == 255) {
                        EXPECT_EQ(read.mask[i] == 0, Alpha(want) == 255) << size << " face " << index << " mask at " << x << "," << y;
                    }
                    if (!opaque) continue;
                    // At 16 the pixels are pure and must come back exactly; larger faces have
                    // soft rims that may be rounded on the way through the list.
                    const int tolerance = Alpha(want) == 255 ? 0 : 3;
                    if (ChannelDistance(got, want) > tolerance) ++mismatches;
                    if (Alpha(got) != 0) {
                        EXPECT_NEAR(Alpha(got), Alpha(want), 3) << size << " face " << index;
                    }
                }
            }
            EXPECT_EQ(mismatches, 0) << size << " face " << index;
            if (size == 16) {
                EXPECT_EQ(read.colour[8 * 16 + 8] & 0xFFFFFF, index == kFaceNotConnected ? 0xFF0000u : 0x00FF00u);
                const int eye = index == kFaceActivity ? 5 * 16 + 4 : 5 * 16 + 5;  // pupil or plain eye
                EXPECT_EQ(read.colour[eye] & 0xFFFFFF, 0u) << "black eye of face " << index;
            }
        }
    }
}

TEST(TrayPictures, ManyIconsComeAndGoWithoutGrowingTheCounts)
{
    // The blink takes an icon from the list twice a second, all day; each one must be gone
    // once its owner lets go of it.
    UniqueImageList list(CreateTrayImageList(16));
    ASSERT_TRUE(list);
    const DWORD gdiBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    std::vector<HICON> released;
    for (int i = 0; i < 1000; ++i) {
        UniqueIcon icon(::ImageList_GetIcon(list.get(), i % kFaceCount, ILD_NORMAL));
        ASSERT_TRUE(icon);
        if (i % 100 == 0) released.push_back(icon.get());
    }
    for (int i = 0; i < 50; ++i) UniqueImageList(CreateTrayImageList(24));
    ICONINFO info{};
    for (const HICON icon : released) EXPECT_FALSE(::GetIconInfo(icon, &info)) << "icon still alive";
    // Windows counts a process's objects; Wine reports zero, and then this adds nothing.
    if (gdiBefore > 0) {
        EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore + 2);
        EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), userBefore + 2);
    }
}

TEST(TrayPictures, IconSizeFollowsTheDisplayScaling)
{
    const int atStandard = TrayIconSizeForDpi(96);
    EXPECT_EQ(atStandard, ::GetSystemMetrics(SM_CXSMICON));
    const bool perDpi = user32::GetSystemMetricsForDpi != nullptr;
    for (const UINT dpi : {120u, 144u, 192u}) {
        if (perDpi) {
            EXPECT_EQ(TrayIconSizeForDpi(dpi), ::MulDiv(atStandard, static_cast<int>(dpi), 96)) << dpi;
        } else {
            EXPECT_EQ(TrayIconSizeForDpi(dpi), atStandard) << dpi;
        }
    }
}

}  // namespace
}  // namespace vantrel
