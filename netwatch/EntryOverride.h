#pragma once
// Tests replace a run-time bound function entry with their own function for a scope; the
// previous value comes back even when the test fails half-way.

#include <utility>

namespace vantrel {

template <typename Entry>
class EntryOverride {
public:
    EntryOverride(Entry& entry, Entry replacement) noexcept : entry_(entry), saved_(std::exchange(entry, replacement)) {}
    ~EntryOverride() { entry_ = saved_; }
    EntryOverride(const EntryOverride&) = delete;
    EntryOverride& operator=(const EntryOverride&) = delete;

private:
    Entry& entry_;
    Entry saved_;
};

}  // namespace vantrel
