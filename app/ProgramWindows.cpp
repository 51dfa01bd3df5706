#include "app/ProgramWindows.h"

#include "about/About.h"
#include "app/Application.h"
#include "app/VisualStyle.h"
#include "hosttest/Unit5.h"
#include "monitor/StatisticsView.h"
#include "monitor/Unit1.h"
#include "stats/Unit3.h"

namespace vantrel {

namespace {

// The monitor window's view of the statistics window. It looks the window up on every call:
// the window is created after the monitor and destroyed with the others.
class TStatisticsWindowLink final : public IStatisticsView {
public:
    bool Exists() override { return Form3 != nullptr; }

    void Open() override
    {
        if (Form3 && !Form3->GetVisible()) Form3->ShowModal();
    }

    void SetTotals(const std::wstring& received, const std::wstring& sent) override
    {
        if (!Form3) return;
        Form3->InLabel.SetCaption(received);
        Form3->OutLabel.SetCaption(sent);
    }
};

TStatisticsWindowLink statisticsWindowLink;

}  // namespace

void CreateProgramWindows(TApplication& application)
{
    TStyleManager::TrySetStyle(L"Iceberg Classico");
    application.SetTitle(L"Durvane Computing network monitor");
    // The session may end without the exit sequence: the watcher thread must stop before the
    // monitor window goes.
    application.SetOnBeforeEnd([] {
        if (Form1) Form1->StopConnectionWatcher();
    });
    application.CreateForm(AboutForm);
    application.CreateForm(Form1);
    Form1->SetStatisticsView(&statisticsWindowLink);
    application.CreateForm(HostTestForm);
    application.CreateForm(Form3);
    Form3->SetHistory(Form1->History);
}

}  // namespace vantrel
