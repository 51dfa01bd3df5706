#pragma once
// What the IP watcher concludes from a sequence of address checks: the current address,
// online or not, the last real address before going offline, and the in-memory history.
// Plain class, no Windows header: the watcher component feeds it the result of each
// lookup on the user-interface thread, and tests feed it tables of addresses.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Not empty, not "127.0.0.1", not "::1" (exact, case-sensitive comparisons): an address that
// says the machine can reach a network.
bool IsUsableAddress(const std::wstring& address) noexcept;

// The watcher's thread sleeps in slices of this length and checks after each of them.
inline constexpr std::int32_t kWatchSliceMilliseconds = 500;

// The cycle length the watcher's thread uses for a WatchInterval. The thread counts in a
// signed 32-bit number; 0, or a value that turns negative there, would make a cycle that
// neither sleeps nor checks, and the thread would spin. Such values are clamped into
// 1 .. 2147483647 ms instead.
constexpr std::int32_t WatchCycleLength(std::uint32_t watchInterval) noexcept
{
    if (watchInterval == 0) return 1;
    if (watchInterval > 2147483647u) return 2147483647;
    return static_cast<std::int32_t>(watchInterval);
}

class TIdIPWatchState {
public:
    static constexpr std::int32_t kDefaultMaxHistoryEntries = 25;

    // Takes the result of one successful lookup. Returns true when IsOnline changed, so the
    // caller can fire its event.
    bool ApplyCheck(const std::wstring& address);

    // Adds a real address to the end of the history unless it is already the last entry;
    // the oldest entry goes when the bound is exceeded.
    void AppendHistory(const std::wstring& address);

    const std::wstring& GetCurrentIP() const noexcept { return currentIP_; }
    // Read without a lock by the connection-state thread while checks run on the
    // user-interface thread.
    bool GetIsOnline() const noexcept { return isOnline_.load(); }
    const std::wstring& GetPreviousIP() const noexcept { return previousIP_; }
    void SetPreviousIP(std::wstring address) { previousIP_ = std::move(address); }
    const std::vector<std::wstring>& GetIPHistoryList() const noexcept { return history_; }
    void ClearHistory() noexcept { history_.clear(); }

    // A negative bound is taken as 0 (no history kept): the bound is a count, and a negative
    // count has no sensible reading.
    std::int32_t GetMaxHistoryEntries() const noexcept { return maxHistoryEntries_; }
    void SetMaxHistoryEntries(std::int32_t value);

    // 0 until the first offline-to-online change, 2 after it.
    std::int32_t GetOnLineCount() const noexcept { return onLineCount_; }

private:
    void TrimHistory(std::size_t limit);

    std::wstring currentIP_;
    std::atomic<bool> isOnline_{false};
    std::wstring previousIP_;
    std::vector<std::wstring> history_;  // oldest first
    std::int32_t maxHistoryEntries_ = kDefaultMaxHistoryEntries;
    std::int32_t onLineCount_ = 0;
};

}  // namespace vantrel
