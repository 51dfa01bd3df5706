#pragma once
// Ends every loop of the application after a time, so that a fault shows as a failure, not a
// hang: a modal window that never closes, a loop that never ends. Disarmed when it goes.

#include <windows.h>

#include <memory>

namespace vantrel {
class TApplication;
}

namespace vantrel::testing {

class Watchdog {
public:
    Watchdog(TApplication& application, UINT milliseconds);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // True once it has ended the loops.
    bool Fired() const noexcept { return *fired_; }

private:
    std::shared_ptr<bool> fired_ = std::make_shared<bool>(false);
    UINT_PTR timer_ = 0;
};

}  // namespace vantrel::testing
