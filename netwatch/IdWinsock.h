#pragma once
// The Windows Sockets functions of the network layer, bound by name at run time.
//
// The program imports nothing from WS2_32.DLL: each variable below is the one entry through
// which the program calls that platform function. It starts at a binder that, at the first
// call, looks the function up in the socket module the shared stack has loaded, stores the
// address in the entry (later calls go straight to the platform) and forwards the call. A
// missing function raises EIdWinsockStubError with code 10022; a call before the socket module
// is loaded raises it with 10093.
//
// The entries are also the seam for tests: a test may store its own function in an entry and
// must restore the previous value (EntryOverride of app/EntryOverride.h does both).

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <mswsock.h>

#include "app/EntryOverride.h"
#include "app/Handles.h"

namespace vantrel::ws2 {

// The socket service and the classic calls.
extern decltype(&::WSAStartup) WSAStartup;
extern decltype(&::WSACleanup) WSACleanup;
extern decltype(&::WSAGetLastError) WSAGetLastError;
extern decltype(&::WSASetLastError) WSASetLastError;
extern decltype(&::WSAIoctl) WSAIoctl;
extern decltype(&::socket) socket;
extern decltype(&::closesocket) closesocket;
extern decltype(&::shutdown) shutdown;
extern decltype(&::bind) bind;
extern decltype(&::connect) connect;
extern decltype(&::listen) listen;
extern decltype(&::accept) accept;
extern decltype(&::ioctlsocket) ioctlsocket;
extern decltype(&::getsockopt) getsockopt;
extern decltype(&::setsockopt) setsockopt;
extern decltype(&::getsockname) getsockname;
extern decltype(&::getpeername) getpeername;
extern decltype(&::send) send;
extern decltype(&::recv) recv;
extern decltype(&::sendto) sendto;
extern decltype(&::recvfrom) recvfrom;
extern decltype(&::select) select;
extern decltype(&::htons) htons;
extern decltype(&::ntohs) ntohs;
extern decltype(&::htonl) htonl;
extern decltype(&::ntohl) ntohl;
extern decltype(&::inet_addr) inet_addr;
extern decltype(&::inet_ntoa) inet_ntoa;
extern decltype(&::gethostbyname) gethostbyname;
extern decltype(&::gethostbyaddr) gethostbyaddr;
extern decltype(&::gethostname) gethostname;
extern decltype(&::getservbyname) getservbyname;
extern decltype(&::getservbyport) getservbyport;
// The socket extension function lives in MSWSOCK.DLL, which its binder loads on first use.
extern decltype(&::WSARecvEx) WSARecvEx;

// Name resolution. Bound by the stack's start-up to WS2_32.DLL, to Wship6.dll on systems whose
// WS2_32.DLL lacks them, or to the program's own IPv4 resolver (namespace fallback below).
extern decltype(&::GetAddrInfoW) GetAddrInfoW;
extern decltype(&::GetNameInfoW) GetNameInfoW;
extern decltype(&::FreeAddrInfoW) FreeAddrInfoW;
// Optional companions of the resolution functions: null where the platform lacks them.
extern decltype(&::InetPtonW) InetPtonW;
extern decltype(&::InetNtopW) InetNtopW;
extern decltype(&::GetAddrInfoExW) GetAddrInfoExW;
extern decltype(&::SetAddrInfoExW) SetAddrInfoExW;
extern decltype(&::FreeAddrInfoExW) FreeAddrInfoExW;

// Fwpuclnt.dll: looked up at start-up, null when absent; the program never calls them.
extern decltype(&::WSASetSocketPeerTargetName) WSASetSocketPeerTargetName;
// (The headers lack this one's declaration.)
using WSADeleteSocketPeerTargetNameFunction = int(WSAAPI*)(SOCKET socket, const sockaddr* peerAddress,
                                                           ULONG peerAddressLength, LPWSAOVERLAPPED overlapped,
                                                           LPWSAOVERLAPPED_COMPLETION_ROUTINE completionRoutine);
extern WSADeleteSocketPeerTargetNameFunction WSADeleteSocketPeerTargetName;
extern decltype(&::WSAImpersonateSocketPeer) WSAImpersonateSocketPeer;
extern decltype(&::WSAQuerySocketSecurity) WSAQuerySocketSecurity;
extern decltype(&::WSARevertImpersonation) WSARevertImpersonation;

// International domain names: IdnDL.dll (older systems) and Normaliz.dll. Null when absent.
using DownlevelGetLocaleScriptsFunction = int(WINAPI*)(LPCWSTR localeName, LPWSTR scripts, int scriptsLength);
using DownlevelGetStringScriptsFunction = int(WINAPI*)(DWORD flags, LPCWSTR text, int textLength, LPWSTR scripts,
                                                       int scriptsLength);
using DownlevelVerifyScriptsFunction = BOOL(WINAPI*)(DWORD flags, LPCWSTR localeScripts, int localeScriptsLength,
                                                     LPCWSTR testScripts, int testScriptsLength);
extern DownlevelGetLocaleScriptsFunction DownlevelGetLocaleScripts;
extern DownlevelGetStringScriptsFunction DownlevelGetStringScripts;
extern DownlevelVerifyScriptsFunction DownlevelVerifyScripts;
extern decltype(&::IdnToUnicode) IdnToUnicode;
extern decltype(&::IdnToNameprepUnicode) IdnToNameprepUnicode;
extern decltype(&::IdnToAscii) IdnToAscii;
extern decltype(&::IsNormalizedString) IsNormalizedString;
extern decltype(&::NormalizeString) NormalizeString;

// FD_ISSET of the headers calls __WSAFDIsSet, an import of WS2_32.DLL; this reads the set
// directly instead.
inline bool IsSocketInSet(SOCKET socket, const fd_set& set) noexcept
{
    for (u_int i = 0; i < set.fd_count; ++i) {
        if (set.fd_array[i] == socket) return true;
    }
    return false;
}

// The program's own resolver, used when neither WS2_32.DLL nor Wship6.dll offers all three
// resolution functions: IPv4 literals and names through the classic inet_addr and
// gethostbyname entries. Same arguments and results as the platform's functions.
namespace fallback {
INT WSAAPI GetAddrInfoW(PCWSTR nodeName, PCWSTR serviceName, const ADDRINFOW* hints, PADDRINFOW* result);
INT WSAAPI GetNameInfoW(const SOCKADDR* address, socklen_t addressLength, PWCHAR nodeBuffer, DWORD nodeBufferSize,
                        PWCHAR serviceBuffer, DWORD serviceBufferSize, INT flags);
void WSAAPI FreeAddrInfoW(PADDRINFOW info);
}  // namespace fallback

// The look-up every binder of a WS2_32.DLL entry makes: the function's address, or
// EIdWinsockStubError (10093 before the socket module is loaded, 10022 when it lacks the name).
FARPROC FindSocketFunction(const char* name);

// Start-up steps of the shared stack, in their order. StartSocketService raises
// EIdWinsockStubError; the other two never fail.
void StartSocketService();
void StartNameResolution();
void StartIdn();
// The clean-up at process exit: releases every module above, stops the socket service and
// puts every entry back to its binder (or null).
void FinalizeModules() noexcept;

// What is loaded, for the stack and for tests that check where a module came from.
struct TLoadedModules {
    HMODULE Socket;
    HMODULE SocketExtension;
    HMODULE NameResolution;
    HMODULE SecureSocket;
    HMODULE IdnDownlevel;
    HMODULE Normaliz;
};
TLoadedModules LoadedModules() noexcept;
// Successful WSAStartup calls made by StartSocketService in this process.
unsigned SocketServiceStartCount() noexcept;

}  // namespace vantrel::ws2

namespace vantrel {

// The owners of what the socket module hands out. They close through the entries, so a test
// that replaces closesocket or FreeAddrInfoW sees every close.
namespace traits {
VANTREL_HANDLE_TRAITS(Socket, SOCKET, INVALID_SOCKET, ws2::closesocket);
VANTREL_HANDLE_TRAITS(AddressInfo, ADDRINFOW*, nullptr, ws2::FreeAddrInfoW);
}  // namespace traits

using UniqueSocket = UniqueHandle<traits::Socket>;
// A list from GetAddrInfoW, freed whole.
using UniqueAddressInfo = UniqueHandle<traits::AddressInfo>;

}  // namespace vantrel
