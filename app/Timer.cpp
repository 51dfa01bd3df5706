#include "app/Timer.h"

#include "app/Exceptions.h"

namespace vantrel {

namespace {
const wchar_t kTimerClass[] = L"VantrelTimerWindow";
constexpr UINT_PTR kTimerId = 1;
}  // namespace

TTimer::TTimer()
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(instance, kTimerClass, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = kTimerClass;
        ::RegisterClassExW(&wc);
    }
    // A message-only window of its own: the tick arrives as WM_TIMER with id 1.
    window_ = ::CreateWindowExW(0, kTimerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
}

TTimer::~TTimer()
{
    if (window_) {
        if (ticking_) ::KillTimer(window_, kTimerId);
        ::DestroyWindow(window_);
    }
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
        ::KillTimer(window_, kTimerId);
        ticking_ = false;
    }
    if (interval_ != 0 && enabled_ && onTimer_) {
        if (!window_ || ::SetTimer(window_, kTimerId, interval_, nullptr) == 0)
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

LRESULT CALLBACK TTimer::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    } else if (message == WM_TIMER && wParam == kTimerId) {
        auto* self = reinterpret_cast<TTimer*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self) Guarded([self] { self->Tick(); });
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vantrel
