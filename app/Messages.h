#pragma once
// The program's private window messages, all in one range.

#include <windows.h>

namespace vantrel {

enum PrivateMessage : UINT {
    // Posted to a modal window's loop to make it look at its modal result again.
    WM_VANTREL_MODAL_CHECK = WM_APP + 0x40,
    // The notification icon's callback message (the shell sends mouse actions with it).
    WM_VANTREL_TRAY_CALLBACK = WM_USER + 1,
};

}  // namespace vantrel
