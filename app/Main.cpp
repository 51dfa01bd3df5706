// The program entry: one copy per logon session, the style, the title, the four windows,
// the message loop.

#include <windows.h>
#include <commctrl.h>

#include "app/Application.h"
#include "app/Handles.h"
#include "app/ProgramWindows.h"
#include "app/SystemModule.h"

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
        CreateProgramWindows(application);
        application.Run();
    } catch (...) {
        application.HandleException();
    }
    application.DestroyForms();
    return 0;
}
