#pragma once
// TDisabledWindows: the program's other windows disabled for a scope, as under a modal window
// or an error box.
//
// Disabled are the shown, enabled top-level windows of the calling thread, except the one
// kept. Hidden windows (the icon's message window, the menu's, the timers') keep working, so
// the icon, its menu and the ticks go on while the scope lasts. At the end only the windows
// this scope disabled are enabled again, and only those that still exist: a window that was
// disabled already stays so, and one destroyed meanwhile is skipped.

#include <windows.h>

#include <vector>

namespace vantrel {

class TDisabledWindows {
public:
    explicit TDisabledWindows(HWND keep);
    ~TDisabledWindows();
    TDisabledWindows(const TDisabledWindows&) = delete;
    TDisabledWindows& operator=(const TDisabledWindows&) = delete;

private:
    static BOOL CALLBACK DisableShown(HWND window, LPARAM self);

    HWND keep_;
    std::vector<HWND> disabled_;
};

}  // namespace vantrel
