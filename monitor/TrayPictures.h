#pragma once
// The tray icon set: the three faces as an image list at the size the notification area wants.

#include <windows.h>
#include <commctrl.h>

#include "app/Handles.h"

namespace vantrel {

// An image list (ILC_COLOR32 | ILC_MASK) holding faces 0, 1 and 2 at `size` x `size` pixels;
// nullptr when it cannot be built. The caller owns it (wrap it in UniqueImageList).
HIMAGELIST CreateTrayImageList(int size);

// The small-icon size for a display of `dpi` dots per inch: 16 at 96, 20 at 120, 24 at 144...
int TrayIconSizeForDpi(UINT dpi);

}  // namespace vantrel
