#include "netwatch/IdIPWatch.h"

#include <filesystem>
#include <fstream>

#include "app/Exceptions.h"
#include "app/Handles.h"

namespace vantrel {

void TIdIPWatchThread::FireTimerEvent()
{
    if (FTimerEvent) FTimerEvent(this);
}

void TIdIPWatchThread::RunStep()
{
    std::int32_t remaining = FInterval.load();
    if (remaining <= 0) return;
    // A check follows every slice, not only the end of the cycle: with the usual 1000 ms the
    // address is checked twice a second.
    do {
        const std::int32_t slice = remaining > kWatchSliceMilliseconds ? kWatchSliceMilliseconds : remaining;
        remaining -= slice;
        if (!SleepUnlessTerminated(static_cast<DWORD>(slice))) return;
        Synchronize([this] { FireTimerEvent(); });
    } while (remaining > 0);
}

TIdIPWatch::TIdIPWatch(TObject* owner) : TIdComponent(owner) {}

TIdIPWatch::~TIdIPWatch()
{
    if (GetIsOnline()) AppendHistory(GetCurrentIP());
    SetActive(false);
    try {
        SaveHistory();
    } catch (...) {
        // A history that cannot be written must not keep the window from closing.
    }
}

void TIdIPWatch::SetActive(bool value)
{
    if (value == FActive) return;
    if (value) {
        auto thread = std::make_unique<TIdIPWatchThread>();
        thread->FTimerEvent = [this](TObject*) { PollAddress(); };
        thread->FInterval = WatchCycleLength(FWatchInterval);
        thread->Start();
        FThread = std::move(thread);
    } else if (FThread) {
        FThread->TerminateAndWaitFor();
        // Cleared before it is freed, so a hand-over run during the wait above never finds a
        // half-freed thread.
        std::unique_ptr<TIdIPWatchThread> thread = std::move(FThread);
        thread.reset();
    }
    FActive = value;
}

void TIdIPWatch::SetWatchInterval(std::uint32_t value)
{
    if (value != FWatchInterval) FWatchInterval = value;
    if (FThread) FThread->FInterval = WatchCycleLength(FWatchInterval);
}

void TIdIPWatch::PollAddress() noexcept
{
    try {
        if (FLocalIPHuntBusy) return;
        const std::wstring address = LocalIP();
        if (state_.ApplyCheck(address) && FOnStatusChanged) FOnStatusChanged(this);
    } catch (...) {
        // A failed lookup leaves every value as the previous check left it; the next check
        // tries afresh.
    }
}

std::wstring TIdIPWatch::LocalIP()
{
    FLocalIPHuntBusy = true;
    ScopeExit huntEnded([this] { FLocalIPHuntBusy = false; });
    return TIdStack::GetSharedStack()->GetLocalAddress();
}

bool TIdIPWatch::ForceCheck()
{
    PollAddress();
    return GetIsOnline();
}

void TIdIPWatch::LoadHistory()
{
    state_.ClearHistory();
    if (!FHistoryEnabled) return;
    std::ifstream file(std::filesystem::path(FHistoryFilename), std::ios::binary);
    if (!file) return;
    std::string line;
    std::wstring last;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        last = FromUtf8(line);
        state_.AppendHistory(last);
    }
    state_.SetPreviousIP(last);
}

void TIdIPWatch::SaveHistory()
{
    if (!FHistoryEnabled) return;
    std::ofstream file(std::filesystem::path(FHistoryFilename), std::ios::binary | std::ios::trunc);
    for (const auto& address : GetIPHistoryList()) file << ToUtf8(address) << "\r\n";
}

}  // namespace vantrel
