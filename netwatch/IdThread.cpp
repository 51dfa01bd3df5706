#include "netwatch/IdThread.h"

#include "app/SystemModule.h"

#include <typeinfo>

#include "app/Exceptions.h"

namespace vantrel {

namespace {

void NameThreadForDebugger(const std::wstring& name) noexcept
{
    if (!::IsDebuggerPresent()) return;
    if (kernel32::SetThreadDescription) kernel32::SetThreadDescription(::GetCurrentThread(), name.c_str());
}

}  // namespace

TIdThread::TIdThread(bool loop, std::wstring name) : FLoop(loop), FName(std::move(name))
{
    ++threadCount_;
}

TIdThread::~TIdThread()
{
    // The thread must be gone before the lock it uses: end it here rather than in the base.
    Terminate();
    TThread::Start();
    WaitFor();
    --threadCount_;
}

void TIdThread::Start()
{
    Lock lock(FLock);
    if (GetStopped()) {
        // A thread asked to end stays marked stopped; it only runs to its end.
        SetOption(itoStopped, GetTerminated());
        TThread::Start();
    }
}

void TIdThread::Stop()
{
    Lock lock(FLock);
    if (!GetStopped()) {
        if (FStopMode.load() == TIdThreadStopMode::smTerminate) TThread::Terminate();
        SetOption(itoStopped, true);
    }
}

void TIdThread::Terminate()
{
    Lock lock(FLock);
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
    Lock lock(FLock);
    return GetTerminated() || (FOptions & itoStopped) != 0 || GetSuspended();
}

TIdThreadOptions TIdThread::GetOptions()
{
    Lock lock(FLock);
    return FOptions;
}

void TIdThread::SetOption(TIdThreadOption option, bool on)
{
    Lock lock(FLock);
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
    ScopeExit cleanup([this] { Cleanup(); });
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
        ScopeExit afterExecute([this] { AfterExecute(); });
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
        FTerminatingException = ExceptionMessage(error);
        DoException(error);
        Terminate();
    }
}

}  // namespace vantrel
