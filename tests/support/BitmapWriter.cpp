#include "tests/support/BitmapWriter.h"

#include <windows.h>

#include <cstdio>

#define VANTREL_WIDEN2(text) L##text
#define VANTREL_WIDEN(text) VANTREL_WIDEN2(text)

namespace vantrel::testing {

bool WriteBmp(const std::wstring& path, const std::vector<std::uint32_t>& pixels, int width, int height)
{
    if (width <= 0 || height <= 0 || pixels.size() < static_cast<std::size_t>(width) * height) return false;
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride) * height;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&header, sizeof header, 1, out) == 1;
    std::vector<unsigned char> row(static_cast<std::size_t>(stride), 0);
    for (int y = height - 1; written && y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t value = pixels[static_cast<std::size_t>(y) * width + x];
            row[x * 3 + 0] = value & 0xFF;
            row[x * 3 + 1] = (value >> 8) & 0xFF;
            row[x * 3 + 2] = (value >> 16) & 0xFF;
        }
        written = std::fwrite(row.data(), 1, row.size(), out) == row.size();
    }
    return std::fclose(out) == 0 && written;
}

std::wstring ArtifactPath(const std::wstring& name)
{
#ifdef VANTREL_ARTIFACTS_DIR
    // The build tree's folder as Wine sees it: Z: is the Unix root.
    std::wstring directory = L"Z:" VANTREL_WIDEN(VANTREL_ARTIFACTS_DIR);
#else
    std::wstring directory = L".";
#endif
    for (wchar_t& c : directory) {
        if (c == L'/') c = L'\\';
    }
    ::CreateDirectoryW(directory.c_str(), nullptr);
    return directory + L"\\" + name;
}

}  // namespace vantrel::testing
