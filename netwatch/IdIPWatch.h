#pragma once
// TIdIPWatch: keeps the machine's current IPv4 address and whether it counts as online.
//
// A thread of its own only paces the checks: it sleeps in slices of 500 ms and after each
// slice hands a check (PollAddress) to the user-interface thread, waiting until it has run.
// So every field below is read and written on the user-interface thread, except IsOnline,
// which the connection-state watcher reads from its own thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netwatch/IdComponent.h"
#include "netwatch/IdIPWatchState.h"
#include "netwatch/IdThread.h"

namespace vantrel {

class TIdIPWatchThread : public TIdThread {
public:
    TIdIPWatchThread() : TIdThread(true, std::wstring()) {}
    // RunStep uses this object's fields: the thread must be gone before they are.
    ~TIdIPWatchThread() override { TerminateAndWaitFor(); }

    // The cycle length in milliseconds; read once at the start of each cycle.
    std::atomic<std::int32_t> FInterval{1000};
    // Called through the hand-over after each slice; set before Start.
    TNotifyEvent FTimerEvent;

    void FireTimerEvent();

protected:
    void RunStep() override;
};

class TIdIPWatch : public TIdComponent {
public:
    explicit TIdIPWatch(TObject* owner = nullptr);
    // Records the current address if online, stops the thread (running hand-overs while it
    // waits), then saves the history when enabled.
    ~TIdIPWatch() override;

    bool GetActive() const noexcept { return FActive; }
    void SetActive(bool value);
    bool GetHistoryEnabled() const noexcept { return FHistoryEnabled; }
    void SetHistoryEnabled(bool value) noexcept { FHistoryEnabled = value; }
    const std::wstring& GetHistoryFilename() const noexcept { return FHistoryFilename; }
    void SetHistoryFilename(std::wstring value) { FHistoryFilename = std::move(value); }
    // A negative bound is taken as 0.
    std::int32_t GetMaxHistoryEntries() const noexcept { return state_.GetMaxHistoryEntries(); }
    void SetMaxHistoryEntries(std::int32_t value) { state_.SetMaxHistoryEntries(value); }
    const TNotifyEvent& GetOnStatusChanged() const noexcept { return FOnStatusChanged; }
    void SetOnStatusChanged(TNotifyEvent handler) { FOnStatusChanged = std::move(handler); }
    // The thread runs cycles of WatchCycleLength(value): 0 counts as 1 ms and values above
    // 2147483647 as 2147483647 ms, so no value can make it spin without sleeping.
    std::uint32_t GetWatchInterval() const noexcept { return FWatchInterval; }
    void SetWatchInterval(std::uint32_t value);

    const std::wstring& GetCurrentIP() const noexcept { return state_.GetCurrentIP(); }
    const std::vector<std::wstring>& GetIPHistoryList() const noexcept { return state_.GetIPHistoryList(); }
    // Safe to read from any thread.
    bool GetIsOnline() const noexcept { return state_.GetIsOnline(); }
    const std::wstring& GetPreviousIP() const noexcept { return state_.GetPreviousIP(); }
    std::int32_t GetOnLineCount() const noexcept { return state_.GetOnLineCount(); }

    // One check; never raises (a failed lookup changes nothing).
    void PollAddress() noexcept;
    void AppendHistory(const std::wstring& address) { state_.AppendHistory(address); }
    // The shared stack's local address, with the busy flag set while it runs.
    std::wstring LocalIP();
    // Checks at once on the caller's thread and answers IsOnline.
    bool ForceCheck();
    // The history file: one address per line, UTF-8. Only touched while HistoryEnabled.
    void LoadHistory();
    void SaveHistory();

    TIdIPWatchThread* Thread() const noexcept { return FThread.get(); }

private:
    bool FActive = false;
    bool FHistoryEnabled = true;
    std::wstring FHistoryFilename = L"iphist.dat";
    bool FLocalIPHuntBusy = false;
    TNotifyEvent FOnStatusChanged;
    std::uint32_t FWatchInterval = 1000;
    TIdIPWatchState state_;
    std::unique_ptr<TIdIPWatchThread> FThread;
};

}  // namespace vantrel
