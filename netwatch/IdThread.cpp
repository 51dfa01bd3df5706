#include "netwatch/IdThread.h"

#include "app/SystemModule.h"

#include <typeinfo>

#include "app/Exceptions.h"

namespace vantrel {

class TIdThread::Lock {
public:
    explicit Lock(TIdThread& thread) noexcept : section_(thread.FLock) { ::EnterCriticalSection(&section_); }
    ~Lock() { ::LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

namespace {

// Runs `action` when the scope ends, also when an exception passes.
template <typename Action>
class AtScopeEnd {
public:
    explicit AtScopeEnd(Action action) : action_(std::move(action)) {}
    ~AtScopeEnd() { action_(); }
    AtScopeEnd(const AtScopeEnd&) = delete;
    AtScopeEnd& operator=(const AtScopeEnd&) = delete;

private:
    Action action_;
};

void NameThreadForDebugger(const std::wstring& name) noexcept
{
    if (!::IsDebuggerPresent()) return;
    if (kernel32::SetThreadDescription) kernel32::SetThreadDescription(::GetCurrentThread(), name.c_str());
}

}  // namespace

TIdThread::TIdThread(bool loop, std::wstring name) : FLoop(loop), FName(std::move(name))
{
    ::InitializeCriticalSection(&FLock);
    ++threadCount_;
}

TIdThread::~TIdThread()
{
    // The thread must be gone before the lock it uses: end it here rather than in the base.
    Terminate();
    TThread::Start();
    WaitFor();
    ::DeleteCriticalSection(&FLock);
    --threadCount_;
}

void TIdThread::Start()
{
    Lock lock(*this);
    if (GetStopped()) {
        // A thread asked to end stays marked stopped; it only runs to its end.
        SetOption(itoStopped, GetTerminated());
        TThread::Start();
    }
}

void TIdThread::Stop()
{
    Lock lock(*this);
    if (!GetStopped()) {
        if (FStopMode.load() == TIdThreadStopMode::smTerminate) TThread::Terminate();
        SetOption(itoStopped, true);
    }
}

void TIdThread::Terminate()
{
    Lock lock(*this);
    SetOption(itoStopped, true);
    TThread::Terminate();
}

void TIdThread::TerminateAndWaitFor()
{
    Terminate();
    Start();
    WaitFor();
}

bool TIdThread::GetStopped()
{
    Lock lock(*this);
    return GetTerminated() || (FOptions & itoStopped) != 0 || GetSuspended();
}

TIdThreadOptions TIdThread::GetOptions()
{
    Lock lock(*this);
    return FOptions;
}

void TIdThread::SetOption(TIdThreadOption option, bool on)
{
    Lock lock(*this);
    FOptions = on ? (FOptions | option) : (FOptions & ~option);
}

void TIdThread::Cleanup()
{
    SetOption(itoReqCleanup, false);
    Yarn.reset();
    if (GetOptions() & itoDataOwner) Data.reset();
}

void TIdThread::DoException(const std::exception& error)
{
    if (OnException) OnException(this, error);
}

void TIdThread::DoStopped()
{
    if (OnStopped) OnStopped(this);
}

void TIdThread::RunPasses()
{
    AtScopeEnd cleanup([this] { Cleanup(); });
    try {
        BeforeRun();
        if (FLoop.load()) {
            while (!GetStopped()) {
                try {
                    RunStep();
                } catch (const Exception& error) {
                    if (!HandleRunException(error)) {
                        Terminate();
                        throw;
                    }
                }
            }
        } else {
            try {
                RunStep();
            } catch (const Exception& error) {
                if (!HandleRunException(error)) {
                    Terminate();
                    throw;
                }
            }
        }
    } catch (...) {
        Terminate();
        AfterRun();
        throw;
    }
    AfterRun();
}

void TIdThread::Execute()
{
    if (FName.empty()) FName = L"IdThread (unknown)";
    NameThreadForDebugger(FName);
    try {
        AtScopeEnd afterExecute([this] { AfterExecute(); });
        BeforeExecute();
        while (!GetTerminated()) {
            if (GetStopped()) {
                DoStopped();
                if (GetStopped()) {
                    if (GetTerminated()) break;
                    SuspendSelf();
                    if (GetTerminated()) break;
                }
            }
            SetOption(itoReqCleanup, true);
            RunPasses();
        }
    } catch (const std::exception& error) {
        FTerminatingExceptionClass = typeid(error).name();
        if (auto* known = dynamic_cast<const Exception*>(&error)) {
            FTerminatingException = known->Message();
        } else {
            FTerminatingException = FromUtf8(error.what());
        }
        DoException(error);
        Terminate();
    }
}

}  // namespace vantrel
