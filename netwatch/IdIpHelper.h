#pragma once
// The IP-information functions of iphlpapi.dll, bound by name at run time.
//
// Each entry starts at a binder. At the first call the binder stores in the entry either the
// platform's function or, when the module or the function is missing, a substitute, and
// forwards the call. The substitutes answer like a platform that does not support the call:
// size 0 and ERROR_NOT_SUPPORTED (50); ConvertLengthToIpv4Mask gives the all-ones mask with 50,
// or ERROR_INVALID_PARAMETER (87) above 32 bits. So a machine without the module simply has no
// addresses. The echo service's entries are declared in netwatch/IdIcmpService.h.
//
// The entries are the seam for tests (see app/EntryOverride.h).

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include "app/EntryOverride.h"
#include "netwatch/IdIcmpService.h"

namespace vantrel::iphlp {

extern decltype(&::GetAdaptersAddresses) GetAdaptersAddresses;
extern decltype(&::GetAdaptersInfo) GetAdaptersInfo;
extern decltype(&::GetUniDirectionalAdapterInfo) GetUniDirectionalAdapterInfo;
extern decltype(&::GetIpAddrTable) GetIpAddrTable;
extern decltype(&::ConvertLengthToIpv4Mask) ConvertLengthToIpv4Mask;
// The TCP counters the traffic sampler reads. The one entry without a substitute: a platform
// without the function has no counters to read, and the sampler stays inert, just as when a
// test puts null in the entry. Callers go through TcpStatistics(), never through the binder.
extern decltype(&::GetTcpStatistics) GetTcpStatistics;

// The GetTcpStatistics entry, bound now when it is still at its binder (without calling it):
// the platform's function, or null where the module or the function is missing. A value a test
// has put in the entry stays.
decltype(&::GetTcpStatistics) TcpStatistics() noexcept;

// Loads iphlpapi.dll from the system directory when not loaded yet; a failure is no error.
void StartIpHelper() noexcept;
// The clean-up at process exit: releases the module and puts every entry back to its binder.
void FinalizeIpHelper() noexcept;
HMODULE IpHelperModule() noexcept;

}  // namespace vantrel::iphlp
