#pragma once
// The program's windows, built and wired the one way the program builds them: the entry, the
// window tests, the operation bench and the handle soak all call this, so that none of them
// tests a program put together differently.

namespace vantrel {

class TApplication;

// Sets the style and the title, creates the about, monitor, host test and statistics windows
// (in that order: the monitor window's first tick may look for the statistics window) and
// wires them to each other. The windows are destroyed by TApplication::DestroyForms.
void CreateProgramWindows(TApplication& application);

}  // namespace vantrel
