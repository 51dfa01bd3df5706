#pragma once
// One-shot actions on the user-interface thread, run by whichever message loop is turning at
// the time: the test's, a modal window's or a message box's. Tests use it to act from inside
// a nested loop.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace vantrel::testing {

class Later {
public:
    static void After(UINT milliseconds, std::function<void()> action)
    {
        UINT_PTR id = ::SetTimer(nullptr, 0, milliseconds, Fire);
        ASSERT_NE(id, 0u);
        pending_[id] = std::move(action);
    }
    static void CancelAll()
    {
        for (const auto& entry : pending_) ::KillTimer(nullptr, entry.first);
        pending_.clear();
    }

private:
    static VOID CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD)
    {
        ::KillTimer(nullptr, id);
        auto found = pending_.find(id);
        if (found == pending_.end()) return;
        std::function<void()> action = std::move(found->second);
        pending_.erase(found);
        action();
    }
    static inline std::map<UINT_PTR, std::function<void()>> pending_;
};

// Runs this thread's messages (timer ticks and Later's actions among them) for a while.
inline void RunMessagesFor(DWORD milliseconds)
{
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < milliseconds) {
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
}

}  // namespace vantrel::testing
