#pragma once
// TIdThread: a worker of the network layer that runs RunStep over and over until it is
// stopped or terminated, with hooks around each pass and a record of the exception that
// ended it.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/Thread.h"

namespace vantrel {

enum class TIdThreadStopMode { smTerminate, smSuspend };

enum TIdThreadOption : unsigned {
    itoStopped = 1u << 0,
    itoReqCleanup = 1u << 1,
    itoDataOwner = 1u << 2,
    itoTag = 1u << 3,
};
using TIdThreadOptions = unsigned;

class TIdThread : public TThread {
public:
    using TExceptionEvent = std::function<void(TIdThread* sender, const std::exception& error)>;

    // The operating-system thread is created suspended (RunStep is virtual, so it may only run
    // once the derived object is whole); Start lets it run.
    explicit TIdThread(bool loop = true, std::wstring name = {});
    ~TIdThread() override;

    void Start();
    // With smTerminate asks the thread to end; with smSuspend lets it finish the current pass
    // and wait for the next Start.
    void Stop();
    void Terminate() override;
    // Terminate, let a suspended thread run to its end, and wait for it, running hand-overs
    // meanwhile when called on the user-interface thread.
    void TerminateAndWaitFor();
    bool GetStopped();

    bool GetLoop() const noexcept { return FLoop.load(); }
    void SetLoop(bool value) noexcept { FLoop = value; }
    const std::wstring& GetName() const noexcept { return FName; }
    void SetName(std::wstring value) { FName = std::move(value); }
    TIdThreadStopMode GetStopMode() const noexcept { return FStopMode.load(); }
    void SetStopMode(TIdThreadStopMode value) noexcept { FStopMode = value; }
    TIdThreadOptions GetOptions();

    // Freed at the end of each pass (Data only while itoDataOwner is set).
    std::unique_ptr<TObject> Data;
    std::unique_ptr<TObject> Yarn;

    // The exception that ended the thread, if any (written by the thread before it ends).
    const std::wstring& GetTerminatingException() const noexcept { return FTerminatingException; }
    const std::string& GetTerminatingExceptionClass() const noexcept { return FTerminatingExceptionClass; }

    TExceptionEvent OnException;
    TNotifyEvent OnStopped;

    // Live TIdThread objects in the process.
    static long GetThreadCount() noexcept { return threadCount_.load(); }

protected:
    void Execute() final;

    virtual void AfterRun() {}
    virtual void AfterExecute() {}
    virtual void BeforeExecute() {}
    virtual void BeforeRun() {}
    virtual void Cleanup();
    virtual void DoException(const std::exception& error);
    virtual void DoStopped();
    // True when the exception out of RunStep is handled and the thread may go on.
    virtual bool HandleRunException(const std::exception&) { return false; }
    virtual void RunStep() {}

private:
    using Lock = TCriticalSection::Guard;
    void SetOption(TIdThreadOption option, bool on);
    void RunPasses();

    TCriticalSection FLock;  // guards FOptions together with the termination request
    std::atomic<bool> FLoop;
    std::wstring FName;
    std::atomic<TIdThreadStopMode> FStopMode{TIdThreadStopMode::smTerminate};
    TIdThreadOptions FOptions = itoDataOwner | itoStopped;
    std::wstring FTerminatingException;
    std::string FTerminatingExceptionClass;

    static inline std::atomic<long> threadCount_{0};
};

}  // namespace vantrel
