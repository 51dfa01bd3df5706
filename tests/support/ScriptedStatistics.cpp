#include "tests/support/ScriptedStatistics.h"

namespace vantrel::testing {

DWORD WINAPI ScriptedStatistics::Get(MIB_TCPSTATS* statistics)
{
    ++calls;
    if (result != NO_ERROR) return result;
    *statistics = MIB_TCPSTATS{};
    statistics->dwInSegs = in += inStep;
    statistics->dwOutSegs = out += outStep;
    return NO_ERROR;
}

void ScriptedStatistics::Reset()
{
    Grow(0, 0, 0, 0);
}

void ScriptedStatistics::Grow(DWORD startIn, DWORD startOut, DWORD stepIn, DWORD stepOut)
{
    in = startIn;
    out = startOut;
    inStep = stepIn;
    outStep = stepOut;
    result = NO_ERROR;
    calls = 0;
}

}  // namespace vantrel::testing
