#include "tests/support/Watchdog.h"

#include "app/Application.h"
#include "tests/support/Later.h"

namespace vantrel::testing {

Watchdog::Watchdog(TApplication& application, UINT milliseconds)
{
    timer_ = Later::After(milliseconds, [fired = fired_, &application] {
        *fired = true;
        application.Terminate();
    });
}

Watchdog::~Watchdog()
{
    if (!*fired_) Later::Cancel(timer_);
}

}  // namespace vantrel::testing
