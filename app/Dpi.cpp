#include "app/Dpi.h"

#include "app/Handles.h"
#include "app/SystemModule.h"

namespace vantrel {

UINT WindowDpi(HWND window, HDC dc)
{
    if (user32::GetDpiForWindow && window) {
        if (const UINT dpi = user32::GetDpiForWindow(window)) return dpi;
    }
    int dpi = 0;
    if (dc) {
        dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
    } else {
        WindowDC screen(nullptr);
        dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace vantrel
