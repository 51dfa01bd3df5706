#include "app/Thread.h"

#include "app/Application.h"
#include "app/SystemModule.h"

namespace vantrel {

TThread::TThread()
{
    wakeEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!wakeEvent_) RaiseOSError(::GetLastError());
    handle_.reset(::CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &threadId_));
    if (!handle_) RaiseOSError(::GetLastError());
}

TThread::~TThread()
{
    if (!handle_) return;
    if (!finished_.load()) {
        Terminate();
        Start();  // a thread that never ran must run to its end before it can be joined
    }
    // Join even a thread that has finished its work: it may still be on its way out.
    WaitFor();
}

void TThread::Start()
{
    if (!started_.exchange(true)) {
        suspended_ = false;
        ::ResumeThread(handle_.get());
    } else {
        // Remembered, so that a Start that comes just before the thread suspends itself is
        // not lost.
        resumePending_ = true;
        ::SetEvent(wakeEvent_.get());
    }
}

void TThread::Terminate()
{
    terminated_ = true;
    ::SetEvent(wakeEvent_.get());  // ends a sleep or a suspension at once
}

void TThread::SuspendSelf()
{
    suspended_ = true;
    while (!resumePending_.exchange(false) && !terminated_.load()) ::WaitForSingleObject(wakeEvent_.get(), INFINITE);
    suspended_ = false;
}

bool TThread::SleepUnlessTerminated(DWORD milliseconds)
{
    if (terminated_.load()) return false;
    ::WaitForSingleObject(wakeEvent_.get(), milliseconds);
    return !terminated_.load();
}

void TThread::Synchronize(const std::function<void()>& method)
{
    Application->Synchronize(method);
}

void TThread::WaitFor()
{
    if (!handle_) return;
    if (Application && Application->IsMainThread()) {
        // The thread may be blocked in a hand-over to this thread: keep running hand-overs
        // and messages sent by other threads, re-checking at least once a second. Posted
        // messages (ticks, input) wait until the thread has ended.
        HANDLE handles[2] = {handle_.get(), Application->SyncEvent()};
        for (;;) {
            DWORD result = ::MsgWaitForMultipleObjects(2, handles, FALSE, 1000, QS_SENDMESSAGE);
            if (result == WAIT_OBJECT_0) break;
            if (result == WAIT_OBJECT_0 + 2) {
                MSG msg;
                ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            }
            Application->CheckSynchronize();
            if (result == WAIT_FAILED) break;
        }
    } else {
        ::WaitForSingleObject(handle_.get(), INFINITE);
    }
}

DWORD WINAPI TThread::ThreadProc(void* parameter)
{
    auto* self = static_cast<TThread*>(parameter);
    try {
        self->Execute();
    } catch (...) {
        // A thread's own loop decides what its exceptions mean; nothing may escape here.
    }
    // The owner may free the object as soon as it sees the thread finished: touch nothing
    // of it after that.
    DWORD result = static_cast<DWORD>(self->ReturnValue);
    self->finished_ = true;
    return result;
}

}  // namespace vantrel
