#include "tests/support/Pump.h"

#include <chrono>

#include "app/Application.h"

namespace vantrel::testing {

namespace {

using Clock = std::chrono::steady_clock;

// One turn of the application's loop: a message, or else the hand-overs and a short wait.
void Turn(TApplication& application)
{
    if (application.ProcessMessage()) return;
    application.CheckSynchronize();
    HANDLE sync = application.SyncEvent();
    ::MsgWaitForMultipleObjects(sync ? 1 : 0, &sync, FALSE, 5, QS_ALLINPUT);
}

}  // namespace

void PumpFor(TApplication& application, long milliseconds)
{
    const auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < until && !application.GetTerminated()) Turn(application);
}

bool PumpUntil(TApplication& application, const std::function<bool()>& done, long milliseconds)
{
    const auto until = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (Clock::now() >= until) return false;
        Turn(application);
    }
    return true;
}

void RunMessagesFor(DWORD milliseconds)
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

void DispatchWaiting()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void DiscardWaiting()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

void DiscardQuit()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

}  // namespace vantrel::testing
