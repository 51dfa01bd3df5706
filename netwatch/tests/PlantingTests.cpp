// Modules of the network layer come from the system directory only. This program's folder
// holds planted modules of the same names (see PlantedModule.cpp); none of them may load.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/Exceptions.h"
#include "netwatch/IdComponent.h"
#include "netwatch/IdIpHelper.h"
#include "netwatch/IdStack.h"
#include "netwatch/IdWinsock.h"
#include "netwatch/tests/PlantedModule.h"

namespace vantrel {
namespace {

using namespace planting;

const wchar_t* const kPlanted[] = {L"WS2_32.DLL", L"iphlpapi.dll", L"Wship6.dll", L"Fwpuclnt.dll",
                                   L"IdnDL.dll",  L"Normaliz.dll", L"MSWSOCK.DLL"};

TEST(Planting, PlantedModulesAreReallyBesideTheProgram)
{
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder = std::wstring(program).substr(0, std::wstring(program).find_last_of(L'\\') + 1);
    for (const wchar_t* name : kPlanted) {
        EXPECT_NE(::GetFileAttributesW((folder + name).c_str()), INVALID_FILE_ATTRIBUTES) << ToUtf8(name);
    }
}

TEST(Planting, TheStackLoadsOnlySystemModules)
{
    TIdStack::FinalizeModules();
    {
        TIdComponent component;
        char buffer[4];
        int flags = 0;
        // The socket extension module is loaded by its binder only.
        ws2::WSARecvEx(INVALID_SOCKET, buffer, sizeof buffer, &flags);

        for (const wchar_t* name : kPlanted) EXPECT_FALSE(Marked(name)) << "planted " << ToUtf8(name) << " was loaded";

        const auto modules = ws2::LoadedModules();
        const std::wstring system = SystemFolder();
        ASSERT_NE(modules.Socket, nullptr);
        EXPECT_EQ(ModuleFolder(modules.Socket), system);
        ASSERT_NE(iphlp::IpHelperModule(), nullptr);
        EXPECT_EQ(ModuleFolder(iphlp::IpHelperModule()), system);
        ASSERT_NE(modules.Normaliz, nullptr);
        EXPECT_EQ(ModuleFolder(modules.Normaliz), system);
        if (modules.SecureSocket) {
            EXPECT_EQ(ModuleFolder(modules.SecureSocket), system);
        }
        if (modules.SocketExtension) {
            EXPECT_EQ(ModuleFolder(modules.SocketExtension), system);
        }
        // A module the system lacks stays missing rather than coming from the program's folder.
        if (::GetFileAttributesW((system + L"\\idndl.dll").c_str()) == INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(modules.IdnDownlevel, nullptr);
        }
    }

    // The check above can see a planted module: loading one by its bare name, as the stack
    // must not, leaves the mark.
    HMODULE bare = ::LoadLibraryW(L"IdnDL.dll");
    if (bare && ModuleFolder(bare) != SystemFolder()) {
        EXPECT_TRUE(Marked(L"IdnDL.dll"));
    }
    if (bare) ::FreeLibrary(bare);
    EXPECT_NE(bare, nullptr);
}

}  // namespace
}  // namespace vantrel
