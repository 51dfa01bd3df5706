#include "monitor/Unit4.h"

#include "monitor/Unit1.h"

namespace vantrel {

void CTestConnectionThread::Execute()
{
    // The sleep wakes at once on Terminate, so the exit never waits a whole second.
    while (!GetTerminated()) {
        if (Form1) Form1->CheckConnection();
        SleepUnlessTerminated(1000);
    }
}

}  // namespace vantrel
