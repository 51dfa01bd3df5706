#pragma once
// The tests' message loops. With an application, the loop turns as TApplication::Run turns it:
// messages, and the workers' hand-overs, waking for either. Without one, the thread's own
// messages only (timer ticks and Later's actions among them).

#include <windows.h>

#include <functional>

namespace vantrel {
class TApplication;
}

namespace vantrel::testing {

// Runs `application`'s loop for `milliseconds`, or until it is terminated.
void PumpFor(TApplication& application, long milliseconds);

// Runs `application`'s loop until `done` holds or `milliseconds` have passed; true when it held.
bool PumpUntil(TApplication& application, const std::function<bool()>& done, long milliseconds);

// Runs this thread's messages for `milliseconds`.
void RunMessagesFor(DWORD milliseconds);

// Handles every message already waiting on this thread, and returns.
void DispatchWaiting();

// Throws away every message waiting on this thread: what one test left must not reach the next.
void DiscardWaiting();

// Throws away a quit message left waiting, and nothing else.
void DiscardQuit();

}  // namespace vantrel::testing
