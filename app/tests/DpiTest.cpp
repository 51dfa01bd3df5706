#include "app/Dpi.h"

#include <gtest/gtest.h>

#include "app/EntryOverride.h"
#include "app/SystemModule.h"

namespace vantrel {
namespace {

struct WindowDpiAnswer {
    static inline UINT dpi = 0;
    static inline HWND asked = nullptr;
    static UINT WINAPI Get(HWND window)
    {
        asked = window;
        return dpi;
    }
};

int ScreenDpi()
{
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

TEST(WindowDpi, TheWindowsOwnWhereTheSystemKeepsOneElseTheScreens)
{
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const UINT screen = static_cast<UINT>(ScreenDpi());
    ASSERT_GT(screen, 0u);
    struct Case {
        const char* system;
        user32::GetDpiForWindowFunction entry;
        UINT answer;
        HWND window;
        UINT expected;
    };
    const Case cases[] = {
        {"per-window DPI", &WindowDpiAnswer::Get, 168, window, 168},
        {"the system cannot tell for this window", &WindowDpiAnswer::Get, 0, window, screen},
        {"no window: the screen", &WindowDpiAnswer::Get, 168, nullptr, screen},
        {"before Windows 10 1607", nullptr, 0, window, screen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.system);
        WindowDpiAnswer::dpi = c.answer;
        WindowDpiAnswer::asked = nullptr;
        EntryOverride entry(user32::GetDpiForWindow, c.entry);
        EXPECT_EQ(WindowDpi(c.window), c.expected);
        if (c.entry && c.window) {
            EXPECT_EQ(WindowDpiAnswer::asked, c.window);
        }
    }
    // A device context given instead of the screen's answers for itself.
    EntryOverride missing(user32::GetDpiForWindow, user32::GetDpiForWindowFunction{nullptr});
    HDC dc = ::GetDC(window);
    EXPECT_EQ(WindowDpi(window, dc), static_cast<UINT>(::GetDeviceCaps(dc, LOGPIXELSY)));
    ::ReleaseDC(window, dc);
    ::DestroyWindow(window);
}

TEST(ScaleForDpi, RoundsToTheNearestPixel)
{
    struct Case {
        int value;
        UINT dpi;
        int expected;
    };
    const Case cases[] = {
        {16, 96, 16}, {16, 120, 20}, {16, 144, 24}, {16, 192, 32},
        {5, 120, 6},     // 6.25
        {3, 120, 4},     // 3.75
        {2, 144, 3},     // 3.0
        {1, 120, 1},     // 1.25
        {-7, 144, -11},  // -10.5 rounds away from zero
        {0, 192, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleForDpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
}

}  // namespace
}  // namespace vantrel
