#include "app/Timer.h"

#include "app/Exceptions.h"

namespace vantrel {

namespace {

constexpr UINT_PTR kTimerId = 1;

const TWindowClass& TimerClass()
{
    static const TWindowClass windowClass({L"VantrelTimerWindow"});
    return windowClass;
}

}  // namespace

TTimer::TTimer()
{
    // A message-only window of its own: the tick arrives as WM_TIMER with id 1. Without it
    // the timer cannot tick, which enabling it reports.
    CreateHandle(TimerClass(), 0, L"", 0, 0, 0, 0, 0, HWND_MESSAGE);
}

TTimer::~TTimer()
{
    if (Handle() && ticking_) ::KillTimer(Handle(), kTimerId);
    DestroyHandle();
}

void TTimer::SetEnabled(bool value)
{
    if (value == enabled_) return;
    enabled_ = value;
    UpdateTimer();
}

void TTimer::SetInterval(UINT value)
{
    if (value == interval_) return;
    interval_ = value;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent handler)
{
    onTimer_ = std::move(handler);
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    if (ticking_) {
        ::KillTimer(Handle(), kTimerId);
        ticking_ = false;
    }
    if (interval_ != 0 && enabled_ && onTimer_) {
        if (!Handle() || ::SetTimer(Handle(), kTimerId, interval_, nullptr) == 0)
            throw Exception(L"Not enough timers available");
        ticking_ = true;
    }
}

void TTimer::Tick()
{
    // A copy: the handler may replace itself or disable the timer while it runs.
    TNotifyEvent handler = onTimer_;
    if (handler) handler(this);
}

LRESULT TTimer::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam != kTimerId) break;
        Tick();
        return 0;
    default:
        break;
    }
    return TWindow::OnMessage(message, wParam, lParam);
}

}  // namespace vantrel
