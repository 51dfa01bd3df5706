#pragma once
// A window's DPI and the one rule for lengths: layout is written in 96-DPI pixels and scaled to
// the window's DPI when it is used.

#include <windows.h>

namespace vantrel {

// A window's DPI: its own where the system keeps one per window (Windows 10 1607 on), else that
// of `dc`, or of the screen when no device context is given; 96 when nothing answers.
UINT WindowDpi(HWND window, HDC dc = nullptr);

// A length in 96-DPI pixels at `dpi`, rounded to the nearest pixel.
inline int ScaleForDpi(int value, UINT dpi) noexcept
{
    return ::MulDiv(value, static_cast<int>(dpi), 96);
}

}  // namespace vantrel
