#include "monitor/TrayPictures.h"

#include <cstring>

#include "app/Dpi.h"
#include "app/SystemModule.h"
#include "monitor/FacePictures.h"

namespace vantrel {
namespace {

// An icon built from a rendered face: a 32-bit colour bitmap carrying the alpha and the 1-bit
// mask for systems and lists that ignore alpha.
UniqueIcon MakeFaceIcon(const TFacePicture& face)
{
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = face.Size;
    header.bV5Height = -face.Size;  // top-down, as the picture's rows
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    WindowDC screen(nullptr);
    UniqueBitmap colour(::CreateDIBSection(screen.get(), reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                           &bits, nullptr, 0));
    if (!colour) return {};
    std::memcpy(bits, face.Pixels.data(), face.Pixels.size() * sizeof(face.Pixels[0]));

    const auto maskBits = face.MaskBits(2);  // CreateBitmap wants rows padded to 16 bits
    UniqueBitmap mask(::CreateBitmap(face.Size, face.Size, 1, 1, maskBits.data()));
    if (!mask) return {};

    ICONINFO info{TRUE, 0, 0, mask.get(), colour.get()};
    return UniqueIcon(::CreateIconIndirect(&info));  // copies both bitmaps
}

}  // namespace

HIMAGELIST CreateTrayImageList(int size)
{
    UniqueImageList list(::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, kFaceCount, 0));
    if (!list) return nullptr;
    for (int index = 0; index < kFaceCount; ++index) {
        const UniqueIcon icon = MakeFaceIcon(RenderFace(index, size));
        if (!icon || ::ImageList_ReplaceIcon(list.get(), -1, icon.get()) != index) return nullptr;
    }
    return list.release();
}

int TrayIconSizeForDpi(UINT dpi)
{
    // GetSystemMetricsForDpi exists from Windows 10 1607 on; before that the system metric is
    // already the one of the only DPI there is.
    const int size = user32::GetSystemMetricsForDpi ? user32::GetSystemMetricsForDpi(SM_CXSMICON, dpi)
                                                    : ::GetSystemMetrics(SM_CXSMICON);
    return size > 0 ? size : ScaleForDpi(16, dpi);
}

}  // namespace vantrel
