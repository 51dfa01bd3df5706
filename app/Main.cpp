// The program entry: one copy per logon session, the style, the title, the four windows,
// the message loop.

#include <windows.h>
#include <commctrl.h>

#include "about/About.h"
#include "app/Application.h"
#include "app/Handles.h"
#include "app/SystemModule.h"
#include "app/VisualStyle.h"
#include "hosttest/Unit5.h"
#include "monitor/Unit1.h"
#include "stats/Unit3.h"

using namespace vantrel;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Before anything can make a system module load another one.
    RestrictDllSearchToSystem();

    // A marker between processes, held until the process ends; never waited on. Another
    // copy in this logon session ends this one at once and silently; any other failure to
    // create it lets the start go on unguarded.
    UniqueKernelHandle instanceMarker(::CreateMutexA(nullptr, FALSE, "VANTREL"));
    if (::GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    TApplication application;
    try {
        application.Initialize();
        application.ShowMainForm = false;
        TStyleManager::TrySetStyle(L"Iceberg Classico");
        application.SetTitle(L"Durvane Computing network monitor");
        // The session may end without the exit sequence: the watcher thread must stop
        // before the monitor window goes.
        application.SetOnBeforeEnd([] {
            if (Form1) Form1->StopConnectionWatcher();
        });
        application.CreateForm(AboutForm);
        application.CreateForm(Form1);
        application.CreateForm(HostTestForm);
        application.CreateForm(Form3);
        application.Run();
    } catch (...) {
        application.HandleException();
    }
    application.DestroyForms();
    return 0;
}
