// The shared stack: usage counting, start-up of the socket service, the binders of the
// run-time bound entries and their messages, the fallback resolver.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/SystemModule.h"
#include "app/DynamicLoader.h"
#include "netwatch/IdComponent.h"
#include "netwatch/IdException.h"
#include "netwatch/IdIpHelper.h"
#include "netwatch/IdStack.h"
#include "netwatch/IdWinsock.h"

namespace vantrel {
namespace {

// Counts the calls of WSAStartup and forwards them to the platform.
struct StartupProbe {
    static inline int calls = 0;
    static inline WORD version = 0;
    static int WSAAPI Call(WORD requested, LPWSADATA data)
    {
        ++calls;
        version = requested;
        auto platform = Find<decltype(&::WSAStartup)>(ws2::LoadedModules().Socket, "WSAStartup");
        return platform(requested, data);
    }
    static int WSAAPI NotReady(WORD, LPWSADATA) { return WSASYSNOTREADY; }
};

// Every test begins in the state of a fresh process: nothing loaded, nothing started.
class Stack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(TIdStack::GetUsageCount(), 0u) << "a component of an earlier test is still alive";
        TIdStack::FinalizeModules();
    }
};

TEST_F(Stack, ComponentsShareOneStackAndStartTheSocketServiceOnce)
{
    StartupProbe::calls = 0;
    EntryOverride probe(ws2::WSAStartup, &StartupProbe::Call);
    const unsigned startsBefore = ws2::SocketServiceStartCount();
    {
        TIdComponent first;
        TIdComponent second;
        EXPECT_EQ(TIdStack::GetUsageCount(), 2u);
        EXPECT_TRUE(TIdStack::GetStarted());
        EXPECT_NE(TIdStack::GetSharedStack(), nullptr);
        EXPECT_EQ(StartupProbe::calls, 1);
        EXPECT_EQ(StartupProbe::version, 0x0202);
        EXPECT_NE(ws2::LoadedModules().Socket, nullptr);
        EXPECT_NE(iphlp::IpHelperModule(), nullptr);
    }
    EXPECT_EQ(TIdStack::GetUsageCount(), 0u);
    EXPECT_EQ(TIdStack::GetSharedStack(), nullptr);
    EXPECT_TRUE(TIdStack::GetStarted()) << "the modules stay started";
    {
        TIdComponent later;
        EXPECT_NE(TIdStack::GetSharedStack(), nullptr);
        EXPECT_EQ(TIdStack::GetUsageCount(), 1u);
    }
    EXPECT_EQ(StartupProbe::calls, 1) << "no second WSAStartup";
    EXPECT_EQ(ws2::SocketServiceStartCount(), startsBefore + 1);
}

TEST_F(Stack, FailedWSAStartupFailsTheFirstComponentAndReleasesTheModule)
{
    {
        EntryOverride notReady(ws2::WSAStartup, &StartupProbe::NotReady);
        try {
            TIdComponent component;
            ADD_FAILURE() << "the component was constructed";
        } catch (const EIdStackInitializationFailed& error) {
            EXPECT_EQ(error.Message(),
                      L"Error on loading Winsock2 library (WS2_32.DLL): " + SysErrorMessage(WSASYSNOTREADY));
        }
        EXPECT_EQ(TIdStack::GetUsageCount(), 0u);
        EXPECT_EQ(TIdStack::GetSharedStack(), nullptr);
        EXPECT_FALSE(TIdStack::GetStarted());
        EXPECT_EQ(ws2::LoadedModules().Socket, nullptr);
    }
    TIdComponent afterwards;  // the next try starts normally
    EXPECT_TRUE(TIdStack::GetStarted());
}

TEST_F(Stack, WithoutAStackClassNoComponentCanBeMade)
{
    auto saved = TIdStack::GetStackClass();
    TIdStack::SetStackClass(nullptr);
    try {
        TIdComponent component;
        ADD_FAILURE() << "the component was constructed";
    } catch (const EIdException& error) {
        EXPECT_EQ(error.Message(), L"Stack Class is undefined.");
    }
    TIdStack::SetStackClass(saved);
    EXPECT_EQ(TIdStack::GetUsageCount(), 0u);
}

TEST_F(Stack, SocketEntryBeforeStartRaisesNotInitialised)
{
    for (int attempt = 0; attempt < 2; ++attempt) {  // the entry stays at its binder
        try {
            ws2::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
            ADD_FAILURE() << "no exception";
        } catch (const EIdWinsockStubError& error) {
            EXPECT_EQ(error.GetWin32Error(), static_cast<std::uint32_t>(WSANOTINITIALISED));
            EXPECT_EQ(error.GetTitle(), L"Error on call to Winsock2 library function socket");
            EXPECT_EQ(error.Message(), L"Error on call to Winsock2 library function socket: " +
                                           SysErrorMessage(WSANOTINITIALISED));
            EXPECT_EQ(error.GetWin32ErrorMessage(), SysErrorMessage(WSANOTINITIALISED));
        }
    }
}

TEST_F(Stack, MissingSocketFunctionRaisesInvalidArgument)
{
    TIdComponent component;
    try {
        ws2::FindSocketFunction("WSANoSuchFunction");
        ADD_FAILURE() << "no exception";
    } catch (const EIdWinsockStubError& error) {
        EXPECT_EQ(error.GetWin32Error(), static_cast<std::uint32_t>(WSAEINVAL));
        EXPECT_EQ(error.Message(),
                  L"Error on call to Winsock2 library function WSANoSuchFunction: " + SysErrorMessage(WSAEINVAL));
    }
}

TEST_F(Stack, StubErrorWithoutCodeIsTheTitleAlone)
{
    auto error = EIdWinsockStubError::Build(0, L"Error on loading Winsock2 library (%s)", {L"WS2_32.DLL"});
    EXPECT_EQ(error.Message(), L"Error on loading Winsock2 library (WS2_32.DLL)");
    EXPECT_EQ(error.GetWin32ErrorMessage(), L"");
}

TEST_F(Stack, FirstCallBindsTheEntryToThePlatformFunction)
{
    TIdComponent component;
    HMODULE socketModule = ws2::LoadedModules().Socket;
    auto platformHtons = Find<decltype(&::htons)>(socketModule, "htons");
    ASSERT_NE(platformHtons, nullptr);
    EXPECT_NE(ws2::htons, platformHtons);
    EXPECT_EQ(ws2::htons(0x1234), 0x3412);
    EXPECT_EQ(ws2::htons, platformHtons) << "later calls go straight to the platform";
    EXPECT_EQ(ws2::ntohs(0x3412), 0x1234);

    // Name resolution comes from WS2_32.DLL itself on every system this runs on.
    EXPECT_EQ(ws2::LoadedModules().NameResolution, socketModule);
    EXPECT_EQ(reinterpret_cast<void*>(ws2::GetAddrInfoW),
              reinterpret_cast<void*>(FindProcedure(socketModule, "GetAddrInfoW")));
}

// Stands in for the platform's TCP statistics; counts the calls it gets.
struct CountingStatistics {
    static inline int calls = 0;
    static DWORD WINAPI Get(MIB_TCPSTATS*)
    {
        ++calls;
        return NO_ERROR;
    }
};

TEST_F(Stack, TcpStatisticsEntryIsBoundWithoutACallAndKeepsWhatATestPutThere)
{
    TIdComponent component;
    const auto platform = Find<decltype(&::GetTcpStatistics)>(iphlp::IpHelperModule(), "GetTcpStatistics");
    ASSERT_NE(platform, nullptr);
    CountingStatistics::calls = 0;
    {
        // Still at its binder (the process state is fresh): a replacement made now stays,
        // and asking for the entry calls nothing.
        ASSERT_NE(iphlp::GetTcpStatistics, platform);
        EntryOverride replaced(iphlp::GetTcpStatistics, &CountingStatistics::Get);
        EXPECT_EQ(iphlp::TcpStatistics(), &CountingStatistics::Get);
        EXPECT_EQ(CountingStatistics::calls, 0);
    }
    EXPECT_EQ(iphlp::TcpStatistics(), platform);
    EXPECT_EQ(iphlp::GetTcpStatistics, platform) << "bound once, later calls go straight to the platform";
    {
        // A null replacement plays a platform without the function; it is not bound again.
        EntryOverride none(iphlp::GetTcpStatistics, decltype(iphlp::GetTcpStatistics){nullptr});
        EXPECT_EQ(iphlp::TcpStatistics(), nullptr);
        EXPECT_EQ(iphlp::GetTcpStatistics, nullptr);
    }
    EXPECT_EQ(iphlp::TcpStatistics(), platform);
}

TEST_F(Stack, RaiseSocketErrorCarriesTheCodeAndItsText)
{
    try {
        RaiseSocketError(WSAECONNREFUSED);
    } catch (const EIdNotASocket&) {
        ADD_FAILURE() << "wrong class";
    } catch (const EIdSocketError& error) {
        EXPECT_EQ(error.LastError, WSAECONNREFUSED);
        EXPECT_EQ(error.Message(), L"Socket Error # 10061\r\n" + SysErrorMessage(WSAECONNREFUSED));
    }
    EXPECT_THROW(RaiseSocketError(WSAENOTSOCK), EIdNotASocket);
}

// The program's own resolver for systems without the platform's GetAddrInfoW.
class FallbackResolver : public ::testing::Test {
protected:
    static std::vector<std::wstring> Resolve(PCWSTR node, PCWSTR service, int family, INT& result, u_short& port)
    {
        ADDRINFOW hints{};
        hints.ai_family = family;
        hints.ai_socktype = SOCK_DGRAM;
        PADDRINFOW info = nullptr;
        result = ws2::fallback::GetAddrInfoW(node, service, &hints, &info);
        std::vector<std::wstring> addresses;
        for (PADDRINFOW entry = info; entry; entry = entry->ai_next) {
            EXPECT_EQ(entry->ai_family, AF_INET);
            EXPECT_EQ(entry->ai_socktype, SOCK_DGRAM);
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
            const auto* bytes = reinterpret_cast<const unsigned char*>(&address->sin_addr);
            addresses.push_back(std::to_wstring(bytes[0]) + L"." + std::to_wstring(bytes[1]) + L"." +
                                std::to_wstring(bytes[2]) + L"." + std::to_wstring(bytes[3]));
            port = ws2::ntohs(address->sin_port);
        }
        ws2::fallback::FreeAddrInfoW(info);
        return addresses;
    }
    static hostent* WSAAPI UnknownHost(const char*)
    {
        ws2::WSASetLastError(WSAHOST_NOT_FOUND);
        return nullptr;
    }
    TIdComponent component_;
};

TEST_F(FallbackResolver, ResolvesLiteralsAndNamesToIPv4)
{
    INT result = -1;
    u_short port = 0;
    EXPECT_EQ(Resolve(L"127.0.0.1", L"7", AF_INET, result, port), std::vector<std::wstring>{L"127.0.0.1"});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(port, 7);
    // "localhost" is answered from the machine's own hosts table, never from the network.
    auto named = Resolve(L"localhost", nullptr, AF_UNSPEC, result, port);
    EXPECT_EQ(result, 0);
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(named.front().rfind(L"127.", 0), 0u) << ToUtf8(named.front());
}

TEST_F(FallbackResolver, ReportsFailuresAsTheCodeOfThePlatform)
{
    INT result = 0;
    u_short port = 0;
    {
        EntryOverride unknown(ws2::gethostbyname, &FallbackResolver::UnknownHost);
        EXPECT_TRUE(Resolve(L"no-such-host.invalid", nullptr, AF_INET, result, port).empty());
        EXPECT_EQ(result, WSAHOST_NOT_FOUND);
    }
    EXPECT_TRUE(Resolve(L"127.0.0.1", nullptr, AF_INET6, result, port).empty());
    EXPECT_EQ(result, WSAEAFNOSUPPORT);
    EXPECT_TRUE(Resolve(L"127.0.0.1", L"70000", AF_INET, result, port).empty());
    EXPECT_EQ(result, WSATYPE_NOT_FOUND);
    EXPECT_TRUE(Resolve(nullptr, nullptr, AF_INET, result, port).empty());
    EXPECT_EQ(result, WSAHOST_NOT_FOUND);
}

TEST_F(FallbackResolver, NameInfoGivesNumericTexts)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ws2::htons(8080);
    address.sin_addr.s_addr = ws2::inet_addr("127.0.0.1");
    wchar_t host[64] = {};
    wchar_t service[16] = {};
    ASSERT_EQ(ws2::fallback::GetNameInfoW(reinterpret_cast<const SOCKADDR*>(&address), sizeof address, host, 64,
                                          service, 16, NI_NUMERICHOST | NI_NUMERICSERV),
              0);
    EXPECT_STREQ(host, L"127.0.0.1");
    EXPECT_STREQ(service, L"8080");
    EXPECT_EQ(ws2::fallback::GetNameInfoW(reinterpret_cast<const SOCKADDR*>(&address), sizeof address, host, 5,
                                          nullptr, 0, NI_NUMERICHOST),
              WSAEFAULT);
}

// Run by the CTest entries that start the tests with a module disabled in Wine.
bool Missing(const char* module)
{
    const char* missing = std::getenv("VANTREL_MISSING_MODULE");
    return missing && std::string(missing) == module;
}

class MissingModule : public Stack {};

TEST_F(MissingModule, WithoutIpHelperEveryIpInformationCallAnswersNotSupported)
{
    if (!Missing("iphlpapi")) GTEST_SKIP() << "runs with iphlpapi.dll disabled";
    TIdComponent component;
    EXPECT_TRUE(TIdStack::GetStarted());
    EXPECT_EQ(iphlp::IpHelperModule(), nullptr);
    ULONG size = 1234;
    EXPECT_EQ(iphlp::GetAdaptersAddresses(AF_UNSPEC, 0, nullptr, nullptr, &size), 50u);
    EXPECT_EQ(size, 0u);
    size = 1234;
    EXPECT_EQ(iphlp::GetAdaptersInfo(nullptr, &size), 50u);
    EXPECT_EQ(size, 0u);
    size = 1234;
    EXPECT_EQ(iphlp::GetUniDirectionalAdapterInfo(nullptr, &size), 50u);
    EXPECT_EQ(size, 0u);
    size = 1234;
    EXPECT_EQ(iphlp::GetIpAddrTable(nullptr, &size, FALSE), 50u);
    EXPECT_EQ(size, 0u);
    ULONG mask = 0;
    EXPECT_EQ(iphlp::ConvertLengthToIpv4Mask(24, &mask), 50u);
    EXPECT_EQ(mask, 0xFFFFFFFFu);
    mask = 0;
    EXPECT_EQ(iphlp::ConvertLengthToIpv4Mask(33, &mask), 87u);
    EXPECT_EQ(mask, 0xFFFFFFFFu);
    // The echo service: no handle, nothing sent, and a last error that says why.
    EXPECT_EQ(iphlp::IcmpCreateFile(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    char reply[128];
    ::SetLastError(0);
    EXPECT_EQ(iphlp::IcmpSendEcho2(reinterpret_cast<HANDLE>(0x50), nullptr, nullptr, nullptr, 0x0100007F, nullptr, 0,
                                   nullptr, reply, sizeof reply, 1000),
              0u);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(iphlp::IcmpCloseHandle(reinterpret_cast<HANDLE>(0x50)));
    // The TCP counters are not there at all (the traffic sampler then stays inert), rather
    // than there and failing.
    EXPECT_EQ(iphlp::TcpStatistics(), nullptr);
    EXPECT_EQ(TIdStack::GetSharedStack()->GetLocalAddress(), L"");
}

TEST_F(MissingModule, WithoutWinsockTheFirstComponentFails)
{
    if (!Missing("ws2_32")) GTEST_SKIP() << "runs with WS2_32.DLL disabled";
    ASSERT_EQ(LoadSystemLibrary(L"WS2_32.DLL"), nullptr);
    const DWORD loadError = ::GetLastError();
    ASSERT_NE(loadError, 0u);
    try {
        TIdComponent component;
        ADD_FAILURE() << "the component was constructed";
    } catch (const EIdStackInitializationFailed& error) {
        EXPECT_EQ(error.Message(), L"Error on loading Winsock2 library (WS2_32.DLL): " + SysErrorMessage(loadError));
    }
    EXPECT_EQ(TIdStack::GetUsageCount(), 0u);
    EXPECT_EQ(TIdStack::GetSharedStack(), nullptr);
    EXPECT_FALSE(TIdStack::GetStarted());
}

}  // namespace
}  // namespace vantrel
