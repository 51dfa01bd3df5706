#pragma once
// Worker threads: a Win32 thread owned by an object that its owner terminates and joins.

#include <windows.h>

#include <atomic>
#include <functional>

#include "app/Handles.h"
#include "app/Object.h"

namespace vantrel {

class TThread : public TObject {
public:
    // The operating-system thread is created suspended; Start() lets it run. (Execute is
    // virtual, so the thread may only run once the derived object is whole.)
    TThread();
    // Requests termination, lets a suspended thread run to its end, and waits for it.
    ~TThread() override;
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Runs the thread for the first time, or resumes it after SuspendSelf().
    void Start();
    // Asks the thread to end; Execute tests GetTerminated().
    virtual void Terminate();
    bool GetTerminated() const noexcept { return terminated_.load(); }
    bool GetFinished() const noexcept { return finished_.load(); }
    bool GetSuspended() const noexcept { return suspended_.load(); }

    // Waits for the thread to end. On the user-interface thread the wait keeps handling
    // messages sent by other threads and the hand-overs of worker threads, re-checking at
    // least every 1000 ms; posted messages wait until it returns.
    void WaitFor();

    HANDLE Handle() const noexcept { return handle_.get(); }
    DWORD ThreadID() const noexcept { return threadId_; }
    int ReturnValue = 0;

protected:
    virtual void Execute() = 0;
    // Hands `method` to the user-interface thread and waits until it has run.
    void Synchronize(const std::function<void()>& method);
    // Called on the thread itself: blocks until Start() or Terminate().
    void SuspendSelf();
    // Sleeps `milliseconds`, or less when termination is requested meanwhile.
    // Returns false when termination was requested.
    bool SleepUnlessTerminated(DWORD milliseconds);

private:
    static DWORD WINAPI ThreadProc(void* parameter);

    UniqueKernelHandle handle_;
    UniqueKernelHandle wakeEvent_;  // set by Start and Terminate
    DWORD threadId_ = 0;
    std::atomic<bool> started_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> suspended_{true};
    std::atomic<bool> resumePending_{false};
};

}  // namespace vantrel
