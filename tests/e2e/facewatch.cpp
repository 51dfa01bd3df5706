// Watches which face the notification icon shows, many times a second, so that an end-to-end
// test can tell a blink from a face that stands still. A screenshot tool started once per look
// takes a quarter to half a second on a loaded machine, close to the blink's own half-second
// phase: the looks then fall on the same phase again and again and a blinking face reads as a
// still one. Reading the screen from inside the Wine session costs a few milliseconds a look.
//
//   facewatch.exe <left> <top> <milliseconds> [interval]
//
// Looks at the 16 x 16 picture whose top-left corner is at <left>,<top> on the screen every
// [interval] milliseconds (default 40) for <milliseconds>, and prints one line per look: the
// milliseconds since the start, a space, and the face: red, smile, wide or other (the same
// reading as tests/e2e/faces.sh). Exit code 0, or 2 on a usage error or when the screen cannot
// be read.

#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr int kSide = 16;

const char* FaceOf(const DWORD* pixels)
{
    int red = 0, green = 0, white = 0, black = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            // Only the face's disc: the tray's background shows in the corners.
            const double dx = x + 0.5 - 8, dy = y + 0.5 - 8;
            if (dx * dx + dy * dy >= 49) continue;
            switch (pixels[y * kSide + x] & 0xFFFFFF) {  // 0xRRGGBB in a top-down 32-bit DIB
            case 0xFF0000: ++red; break;
            case 0x00FF00: ++green; break;
            case 0xFFFFFF: ++white; break;
            case 0x000000: ++black; break;
            default: break;
            }
        }
    }
    if (red >= 100 && green == 0 && white == 0 && black >= 8) return "red";
    if (green >= 80 && red == 0 && white == 0 && black >= 8) return "smile";
    if (green >= 80 && red == 0 && white >= 8) return "wide";
    return "other";
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4 && argc != 5) {
        std::fputs("usage: facewatch.exe <left> <top> <milliseconds> [interval]\n", stderr);
        return 2;
    }
    const int left = _wtoi(argv[1]);
    const int top = _wtoi(argv[2]);
    const DWORD duration = static_cast<DWORD>(_wtoi(argv[3]));
    const DWORD interval = argc == 5 ? static_cast<DWORD>(_wtoi(argv[4])) : 40;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kSide;
    info.bmiHeader.biHeight = -kSide;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!screen || !memory || !bitmap) {
        std::fputs("facewatch: cannot read the screen\n", stderr);
        return 2;
    }
    HGDIOBJ old = SelectObject(memory, bitmap);

    const DWORD start = GetTickCount();
    for (DWORD now = start; now - start < duration; now = GetTickCount()) {
        BitBlt(memory, 0, 0, kSide, kSide, screen, left, top, SRCCOPY);
        GdiFlush();
        std::printf("%lu %s\n", static_cast<unsigned long>(now - start), FaceOf(static_cast<const DWORD*>(bits)));
        Sleep(interval);
    }
    std::fflush(stdout);

    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return 0;
}
