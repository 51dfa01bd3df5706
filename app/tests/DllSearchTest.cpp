// The program's first step: the default DLL search of the process limited to the system
// directory, so that a module the system's own modules load on demand cannot come from the
// program's folder. This program's folder holds planted modules named like two of them (see
// netwatch/tests/PlantedModule.cpp): msvfw32.dll, which the common controls load when an
// animation is opened, and opengl32.dll, which the graphics module loads when a pixel format
// is chosen. Wine prefers its own modules to planted ones, so the test's environment tells it
// to prefer these two as Windows would (WINEDLLOVERRIDES).

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "app/Exceptions.h"
#include "app/SystemModule.h"
#include "app/EntryOverride.h"
#include "netwatch/tests/PlantedModule.h"

namespace vantrel {
namespace {

using namespace planting;

struct Recorder {
    static inline std::vector<DWORD> calls;
    static BOOL WINAPI SetDefaultDllDirectories(DWORD flags)
    {
        calls.push_back(flags);
        return TRUE;
    }
};

TEST(DllSearch, TheProcessSearchIsLimitedToTheSystemDirectoryWhereKernel32CanDoIt)
{
    Recorder::calls.clear();
    {
        EntryOverride entry(kernel32::SetDefaultDllDirectories, &Recorder::SetDefaultDllDirectories);
        EXPECT_TRUE(RestrictDllSearchToSystem());
    }
    ASSERT_EQ(Recorder::calls.size(), 1u);
    EXPECT_EQ(Recorder::calls[0], static_cast<DWORD>(LOAD_LIBRARY_SEARCH_SYSTEM32));

    // Windows 7 without the update: nothing to call, and the start goes on.
    EntryOverride missing(kernel32::SetDefaultDllDirectories, kernel32::SetDefaultDllDirectoriesFunction{nullptr});
    EXPECT_FALSE(RestrictDllSearchToSystem());
    EXPECT_EQ(Recorder::calls.size(), 1u);
}

TEST(DllSearch, AModuleASystemModuleLoadsOnDemandComesFromTheSystemDirectory)
{
    ASSERT_NE(kernel32::SetDefaultDllDirectories, nullptr) << "Wine has SetDefaultDllDirectories";
    ASSERT_EQ(::GetModuleHandleW(L"msvfw32.dll"), nullptr) << "loaded before the program's first step";
    ASSERT_TRUE(RestrictDllSearchToSystem());

    // The common controls load the video module when an animation is opened.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_ANIMATE_CLASS};
    ASSERT_TRUE(::InitCommonControlsEx(&controls));
    HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    HWND animation = ::CreateWindowExW(0, ANIMATE_CLASSW, L"", WS_CHILD, 0, 0, 10, 10, host, nullptr, nullptr, nullptr);
    ASSERT_NE(animation, nullptr);
    ::SendMessageW(animation, ACM_OPENW, 0, reinterpret_cast<LPARAM>(L"no such animation.avi"));
    ::DestroyWindow(host);

    const HMODULE video = ::GetModuleHandleW(L"msvfw32.dll");
    ASSERT_NE(video, nullptr) << "the common controls did not load msvfw32.dll: the case shows nothing";
    EXPECT_EQ(ModuleFolder(video), SystemFolder());
    EXPECT_FALSE(Marked(L"msvfw32.dll")) << "the planted msvfw32.dll was loaded";

    // The check can see a planted module: asked for from the program's folder, the other one
    // loads and leaves its mark.
    const HMODULE planted = ::LoadLibraryExW(L"opengl32.dll", nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
    ASSERT_NE(planted, nullptr);
    EXPECT_NE(ModuleFolder(planted), SystemFolder());
    EXPECT_TRUE(Marked(L"opengl32.dll"));
    ::FreeLibrary(planted);
}

}  // namespace
}  // namespace vantrel
