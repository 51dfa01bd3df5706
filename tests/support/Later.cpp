#include "tests/support/Later.h"

#include <gtest/gtest.h>

namespace vantrel::testing {

UINT_PTR Later::After(UINT milliseconds, std::function<void()> action)
{
    const UINT_PTR id = ::SetTimer(nullptr, 0, milliseconds, Fire);
    EXPECT_NE(id, 0u) << "no thread timer for a later action";
    if (id) pending_[id] = std::move(action);
    return id;
}

void Later::Cancel(UINT_PTR id)
{
    if (pending_.erase(id)) ::KillTimer(nullptr, id);
}

void Later::CancelAll()
{
    for (const auto& entry : pending_) ::KillTimer(nullptr, entry.first);
    pending_.clear();
}

VOID CALLBACK Later::Fire(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(nullptr, id);
    auto found = pending_.find(id);
    if (found == pending_.end()) return;
    std::function<void()> action = std::move(found->second);
    pending_.erase(found);
    action();
}

}  // namespace vantrel::testing
