#pragma once
// One-shot actions on the user-interface thread, run by whichever message loop is turning at
// the time: the test's, a modal window's or a message box's. Tests use it to act from inside
// a nested loop.

#include <windows.h>

#include <functional>
#include <map>

namespace vantrel::testing {

class Later {
public:
    // Runs `action` once, `milliseconds` from now; the id cancels it.
    static UINT_PTR After(UINT milliseconds, std::function<void()> action);
    static void Cancel(UINT_PTR id);
    static void CancelAll();

private:
    static VOID CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD);
    static inline std::map<UINT_PTR, std::function<void()>> pending_;
};

}  // namespace vantrel::testing
