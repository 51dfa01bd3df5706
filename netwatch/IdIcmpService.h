#pragma once
// The entries of the platform's ICMP echo service in iphlpapi.dll, and the owner of its
// handle. They belong to the IP-information table (netwatch/IdIpHelper.h), which binds them;
// they stand apart so that a user of the echo service needs none of the adapter headers, whose
// order of inclusion matters.

#include <windows.h>
#include <ipexport.h>
#include <icmpapi.h>

#include "app/Handles.h"

namespace vantrel::iphlp {

// Sends echo requests for programs that may not open a raw socket. The substitutes, where the
// module or a function is missing, open no handle and send nothing, with ERROR_NOT_SUPPORTED
// as the last error, so that a ping without the service fails as any other.
extern decltype(&::IcmpCreateFile) IcmpCreateFile;
extern decltype(&::IcmpSendEcho2) IcmpSendEcho2;
extern decltype(&::IcmpCloseHandle) IcmpCloseHandle;

}  // namespace vantrel::iphlp

namespace vantrel {

namespace traits {
VANTREL_HANDLE_TRAITS(IcmpService, HANDLE, INVALID_HANDLE_VALUE, iphlp::IcmpCloseHandle);
}  // namespace traits

// A handle of the echo service, closed through its entry.
using UniqueIcmpService = UniqueHandle<traits::IcmpService>;

}  // namespace vantrel
