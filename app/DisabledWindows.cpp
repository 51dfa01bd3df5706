#include "app/DisabledWindows.h"

namespace vantrel {

TDisabledWindows::TDisabledWindows(HWND keep) : keep_(keep)
{
    // Top-level windows only: a form's controls go with their form.
    ::EnumThreadWindows(::GetCurrentThreadId(), DisableShown, reinterpret_cast<LPARAM>(this));
}

TDisabledWindows::~TDisabledWindows()
{
    for (HWND window : disabled_) {
        if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    }
}

BOOL CALLBACK TDisabledWindows::DisableShown(HWND window, LPARAM parameter)
{
    auto* self = reinterpret_cast<TDisabledWindows*>(parameter);
    if (window != self->keep_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
        // Recorded first, and no exception crosses the enumeration: should the list fail to
        // grow, the window is left as it was and the enumeration stops.
        try {
            self->disabled_.push_back(window);
        } catch (...) {
            return FALSE;
        }
        ::EnableWindow(window, FALSE);
    }
    return TRUE;
}

}  // namespace vantrel
