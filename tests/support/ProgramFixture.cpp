#include "tests/support/ProgramFixture.h"

#include "about/About.h"
#include "app/ProgramWindows.h"
#include "app/VisualStyle.h"
#include "hosttest/Unit5.h"
#include "monitor/Unit1.h"
#include "stats/Unit3.h"
#include "tests/support/Later.h"
#include "tests/support/Pump.h"

namespace vantrel::testing {

BOOL WINAPI ProgramFixture::AcceptingShell(DWORD, NOTIFYICONDATAW*)
{
    return TRUE;
}

void ProgramFixture::SetUp()
{
    // What an earlier test left on this thread must not reach the new windows.
    DiscardWaiting();
    if (shell_) shellOverride_.emplace(ShellNotifyIcon, shell_);
    // In place before the monitor window exists, so that not even its first tick reads the
    // platform's counters.
    statisticsOverride_.emplace(iphlp::GetTcpStatistics, statistics_);
    ApplicationFixture::SetUp();
    ASSERT_EQ(Application, app_.get());
    CreateProgramWindows(*app_);
    ASSERT_NE(AboutForm, nullptr);
    ASSERT_NE(Form1, nullptr);
    ASSERT_NE(HostTestForm, nullptr);
    ASSERT_NE(Form3, nullptr);
}

void ProgramFixture::TearDown()
{
    Later::CancelAll();
    ApplicationFixture::TearDown();
    EXPECT_EQ(AboutForm, nullptr);
    EXPECT_EQ(Form1, nullptr);
    EXPECT_EQ(HostTestForm, nullptr);
    EXPECT_EQ(Form3, nullptr);
    DiscardWaiting();
    statisticsOverride_.reset();
    shellOverride_.reset();
    TStyleManager::ResetStyle();
}

}  // namespace vantrel::testing
