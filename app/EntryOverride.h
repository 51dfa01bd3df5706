#pragma once
// The one way a test replaces a platform entry (app/DynamicLoader.h), the clock's entries or
// the platform version: for a scope, and the previous value comes back even when the test fails
// half-way. For an entry that is null where the platform lacks the function, a null
// replacement plays such a system.

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
