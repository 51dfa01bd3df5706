#include "netwatch/IdIpHelper.h"

#include "app/DynamicLoader.h"
#include "app/SystemModule.h"

namespace vantrel::iphlp {

namespace {

HMODULE ipHelperModule = nullptr;  // released by the clean-up at process exit

DWORD WINAPI NoGetIpAddrTable(PMIB_IPADDRTABLE, PULONG size, BOOL)
{
    if (size) *size = 0;
    return ERROR_NOT_SUPPORTED;
}

DWORD WINAPI NoGetUniDirectionalAdapterInfo(PIP_UNIDIRECTIONAL_ADAPTER_ADDRESS, PULONG size)
{
    if (size) *size = 0;
    return ERROR_NOT_SUPPORTED;
}

ULONG WINAPI NoGetAdaptersInfo(PIP_ADAPTER_INFO, PULONG size)
{
    if (size) *size = 0;
    return ERROR_NOT_SUPPORTED;
}

ULONG WINAPI NoGetAdaptersAddresses(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG size)
{
    if (size) *size = 0;
    return ERROR_NOT_SUPPORTED;
}

NETIO_STATUS WINAPI NoConvertLengthToIpv4Mask(ULONG maskLength, PULONG mask)
{
    if (mask) *mask = 0xFFFFFFFFu;
    return maskLength <= 32 ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER;
}

HANDLE WINAPI NoIcmpCreateFile()
{
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
}

DWORD WINAPI NoIcmpSendEcho2(HANDLE, HANDLE, FARPROC, PVOID, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID,
                             DWORD, DWORD)
{
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
}

WINBOOL WINAPI NoIcmpCloseHandle(HANDLE)
{
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

FARPROC FindInIpHelper(const char* name) noexcept
{
    return FindProcedure(ipHelperModule, name);
}

#define VANTREL_IPHLP_FUNCTIONS(X)                                                                     \
    X(GetAdaptersAddresses, &NoGetAdaptersAddresses) X(GetAdaptersInfo, &NoGetAdaptersInfo)              \
    X(GetUniDirectionalAdapterInfo, &NoGetUniDirectionalAdapterInfo) X(GetIpAddrTable, &NoGetIpAddrTable) \
    X(ConvertLengthToIpv4Mask, &NoConvertLengthToIpv4Mask) X(IcmpCreateFile, &NoIcmpCreateFile)           \
    X(IcmpSendEcho2, &NoIcmpSendEcho2) X(IcmpCloseHandle, &NoIcmpCloseHandle)                            \
    X(GetTcpStatistics, nullptr)

#define VANTREL_IPHLP_NAME(name, substitute) constexpr char name##Name[] = #name;
VANTREL_IPHLP_FUNCTIONS(VANTREL_IPHLP_NAME)

}  // namespace

#define VANTREL_IPHLP_BINDER(name, substitute) &FirstCallBinder<name, name##Name, FindInIpHelper, substitute>::Call
#define VANTREL_IPHLP_ENTRY(name, substitute) decltype(&::name) name = VANTREL_IPHLP_BINDER(name, substitute);
VANTREL_IPHLP_FUNCTIONS(VANTREL_IPHLP_ENTRY)

void StartIpHelper() noexcept
{
    if (!ipHelperModule) ipHelperModule = LoadSystemLibrary(L"iphlpapi.dll");
}

void FinalizeIpHelper() noexcept
{
    if (ipHelperModule) ::FreeLibrary(ipHelperModule);
    ipHelperModule = nullptr;
#define VANTREL_IPHLP_RESET(name, substitute) name = VANTREL_IPHLP_BINDER(name, substitute);
    VANTREL_IPHLP_FUNCTIONS(VANTREL_IPHLP_RESET)
#undef VANTREL_IPHLP_RESET
}

decltype(&::GetTcpStatistics) TcpStatistics() noexcept
{
    // The same look-up the binder makes at a first call, made before any call: with no
    // substitute, a call through the binder of a missing function would go nowhere.
    if (GetTcpStatistics == VANTREL_IPHLP_BINDER(GetTcpStatistics, nullptr))
        GetTcpStatistics = ProcedureAs<decltype(&::GetTcpStatistics)>(FindInIpHelper(GetTcpStatisticsName));
    return GetTcpStatistics;
}

HMODULE IpHelperModule() noexcept
{
    return ipHelperModule;
}

}  // namespace vantrel::iphlp
