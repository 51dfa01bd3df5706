#pragma once
// A test with the program put together as the program puts it together: the application of
// ApplicationFixture, then the four windows built and wired by CreateProgramWindows. The
// notification entry is replaced for the whole test (by default with one that accepts every
// call, so nothing reaches the desktop's notification area) and the sampler's TCP statistics
// entry with the test's own source (by default none, so the history holds exactly what the
// test puts there). After each test every window is gone, with every program-wide reference
// to them cleared, and both entries are back.

#include <optional>

#include "app/EntryOverride.h"
#include "monitor/TrayIcon.h"
#include "netwatch/IdIpHelper.h"
#include "tests/support/ApplicationFixture.h"

namespace vantrel::testing {

class ProgramFixture : public ApplicationFixture {
protected:
    using StatisticsSource = decltype(iphlp::GetTcpStatistics);

    // `shell` null keeps the platform's notification entry; `statistics` null leaves the
    // sampler without a source.
    explicit ProgramFixture(StatisticsSource statistics = nullptr, ShellNotifyIconFunction shell = &AcceptingShell)
        : statistics_(statistics), shell_(shell)
    {
    }

    void SetUp() override;
    void TearDown() override;

    static BOOL WINAPI AcceptingShell(DWORD message, NOTIFYICONDATAW* data);

private:
    StatisticsSource statistics_;
    ShellNotifyIconFunction shell_;
    std::optional<EntryOverride<ShellNotifyIconFunction>> shellOverride_;
    std::optional<EntryOverride<StatisticsSource>> statisticsOverride_;
};

}  // namespace vantrel::testing
