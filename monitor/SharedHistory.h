#pragma once
// TSharedHistory: the sample history with its lock, as one object. The monitor window appends
// to it on every tick; the statistics window reads it on its own timer. Both run on the
// user-interface thread today, but the lock keeps the history whole if either ever moves.

#include <cstddef>
#include <utility>

#include "app/Thread.h"
#include "monitor/TrafficSampler.h"

namespace vantrel {

class TSharedHistory {
public:
    void Append(const NETSTAT_REC& record)
    {
        TCriticalSection::Guard guard(lock_);
        history_.Append(record);
    }

    // Calls read(const TSampleHistory&) with the history under the lock: no sample can be
    // appended while a reader walks it.
    template <class Reader>
    void Read(Reader&& read) const
    {
        TCriticalSection::Guard guard(lock_);
        std::forward<Reader>(read)(history_);
    }

    std::size_t Count() const
    {
        TCriticalSection::Guard guard(lock_);
        return history_.Count();
    }

    // The sample at index, oldest first; a copy, taken under the lock.
    NETSTAT_REC operator[](std::size_t index) const
    {
        TCriticalSection::Guard guard(lock_);
        return history_[index];
    }

private:
    mutable TCriticalSection lock_;
    TSampleHistory history_;
};

}  // namespace vantrel
