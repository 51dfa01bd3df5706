#include "netwatch/IdIPWatchState.h"

namespace vantrel {

bool IsUsableAddress(const std::wstring& address) noexcept
{
    return !address.empty() && address != L"127.0.0.1" && address != L"::1";
}

bool TIdIPWatchState::ApplyCheck(const std::wstring& address)
{
    const bool wasOnline = isOnline_.load();
    std::wstring oldAddress = std::move(currentIP_);
    currentIP_ = address;
    const bool online = IsUsableAddress(currentIP_);
    isOnline_.store(online);

    if (wasOnline && !online) {
        if (IsUsableAddress(oldAddress)) previousIP_ = oldAddress;
        AppendHistory(previousIP_);
    }
    if (!wasOnline && online) {
        if (onLineCount_ == 0) onLineCount_ = 1;
        // Only the first return after construction may take back an entry: with a loaded
        // history, coming back with the address we had before is not a change of address.
        if (onLineCount_ == 1 && previousIP_ == currentIP_) {
            if (!history_.empty()) history_.pop_back();
            previousIP_ = history_.empty() ? std::wstring() : history_.back();
        }
        onLineCount_ = 2;
    }
    return wasOnline != online;
}

void TIdIPWatchState::AppendHistory(const std::wstring& address)
{
    if (!IsUsableAddress(address)) return;
    if (!history_.empty() && history_.back() == address) return;
    history_.push_back(address);
    if (history_.size() > static_cast<std::size_t>(maxHistoryEntries_)) history_.erase(history_.begin());
}

void TIdIPWatchState::SetMaxHistoryEntries(std::int32_t value)
{
    maxHistoryEntries_ = value < 0 ? 0 : value;
    TrimHistory(static_cast<std::size_t>(maxHistoryEntries_));
}

void TIdIPWatchState::TrimHistory(std::size_t limit)
{
    if (history_.size() > limit) history_.erase(history_.begin(), history_.begin() + (history_.size() - limit));
}

}  // namespace vantrel
