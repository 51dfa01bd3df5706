#include "tests/support/Pump.h"

#include <chrono>

#include "app/Application.h"

// The loops that need the application, apart from the thread's own: a test without one links
// none of the framework for them.

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

}  // namespace vantrel::testing
