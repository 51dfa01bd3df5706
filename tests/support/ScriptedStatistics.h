#pragma once
// A counter source in place of the platform's TCP statistics, for the tests, the soak and the
// op bench that drive the traffic sampler: put ScriptedStatistics::Get in
// iphlp::GetTcpStatistics with an EntryOverride.
//
// Each call first adds the steps to the counters, then reports them, or fails with `result`
// without touching them. With the steps at zero the counters are what the test last set.

#include "netwatch/IdIpHelper.h"

#include <atomic>

namespace vantrel::testing {

struct ScriptedStatistics {
    static inline std::atomic<DWORD> in{0};
    static inline std::atomic<DWORD> out{0};
    static inline std::atomic<DWORD> inStep{0};
    static inline std::atomic<DWORD> outStep{0};
    static inline std::atomic<DWORD> result{NO_ERROR};
    static inline std::atomic<int> calls{0};

    static DWORD WINAPI Get(MIB_TCPSTATS* statistics);
    // Counters and steps at zero, the calls succeed, none counted yet.
    static void Reset();
    // Counters that start at the given values and grow by the steps at every call: every
    // tick has traffic, so the icon blinks as it does under load.
    static void Grow(DWORD startIn, DWORD startOut, DWORD stepIn, DWORD stepOut);
};

}  // namespace vantrel::testing
