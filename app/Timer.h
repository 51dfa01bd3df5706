#pragma once
// TTimer: periodic ticks on the user-interface thread.
//
// A platform timer (id 1 on the timer's own message window) exists exactly while Interval is
// non-zero, the timer is Enabled and it has an OnTimer handler. Changing any of the three
// kills it and sets a new one, which restarts the period; setting a value it already has
// changes nothing. Ticks are WM_TIMER messages, so they never pile up: a tick that falls due
// while the thread is busy is delivered once.

#include <windows.h>

#include "app/Application.h"
#include "app/Window.h"

namespace vantrel {

class TTimer : public TObject, public TWindow {
public:
    TTimer();  // enabled, 1000 ms, no handler
    ~TTimer() override;
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    bool GetEnabled() const noexcept { return enabled_; }
    void SetEnabled(bool value);
    UINT GetInterval() const noexcept { return interval_; }
    void SetInterval(UINT value);
    const TNotifyEvent& GetOnTimer() const noexcept { return onTimer_; }
    void SetOnTimer(TNotifyEvent handler);

    // True while a platform timer is set.
    bool IsTicking() const noexcept { return ticking_; }

private:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void UpdateTimer();
    void Tick();

    bool enabled_ = true;
    UINT interval_ = 1000;
    TNotifyEvent onTimer_;
    bool ticking_ = false;
};

}  // namespace vantrel
