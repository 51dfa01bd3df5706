#include "netwatch/IdWinsock.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>
#include <type_traits>

#include "app/DynamicLoader.h"
#include "app/SystemModule.h"
#include "netwatch/IdAddressText.h"
#include "netwatch/IdException.h"

namespace vantrel::ws2 {

namespace {

// Process-wide module state. Plain handles (no destructors), so the clean-up at process exit
// can run from any static destructor without caring about destruction order; the clean-up is
// their one owner and releases them.
HMODULE socketModule = nullptr;
HMODULE socketExtensionModule = nullptr;
HMODULE nameResolutionModule = nullptr;  // socketModule itself, Wship6.dll, or none
HMODULE wship6Module = nullptr;          // owned only when loaded for name resolution
HMODULE secureSocketModule = nullptr;
HMODULE idnDownlevelModule = nullptr;
HMODULE normalizModule = nullptr;
unsigned socketServiceStarts = 0;

constexpr wchar_t kCallErrorTitle[] = L"Error on call to Winsock2 library function %s";

std::wstring Widen(const char* text)
{
    std::wstring wide;
    for (; *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

[[noreturn]] void RaiseCallError(DWORD code, const char* name)
{
    std::wstring wideName = Widen(name);
    throw EIdWinsockStubError::Build(code, kCallErrorTitle, {wideName});
}

FARPROC LookUpSocketExtensionFunction(const char* name)
{
    if (!socketModule) RaiseCallError(WSANOTINITIALISED, name);
    if (!socketExtensionModule) socketExtensionModule = LoadSystemLibrary(L"MSWSOCK.DLL");
    FARPROC function = FindProcedure(socketExtensionModule, name);
    if (!function) RaiseCallError(WSAEINVAL, name);
    return function;
}

}  // namespace

FARPROC FindSocketFunction(const char* name)
{
    if (!socketModule) RaiseCallError(WSANOTINITIALISED, name);
    FARPROC function = FindProcedure(socketModule, name);
    if (!function) RaiseCallError(WSAEINVAL, name);
    return function;
}

// Every entry of WS2_32.DLL, listed once: the list makes the entries and puts them back.
#define VANTREL_WS2_SOCKET_FUNCTIONS(X)                                                                    \
    X(WSAStartup) X(WSACleanup) X(WSAGetLastError) X(WSASetLastError) X(WSAIoctl) X(socket) X(closesocket) \
    X(shutdown) X(bind) X(connect) X(listen) X(accept) X(ioctlsocket) X(getsockopt) X(setsockopt)          \
    X(getsockname) X(getpeername) X(send) X(recv) X(sendto) X(recvfrom) X(select) X(htons) X(ntohs)        \
    X(htonl) X(ntohl) X(inet_addr) X(inet_ntoa) X(gethostbyname) X(gethostbyaddr) X(gethostname)          \
    X(getservbyname) X(getservbyport) X(GetAddrInfoW) X(GetNameInfoW) X(FreeAddrInfoW)

#define VANTREL_WS2_NAME(name) \
    namespace {                \
    constexpr char name##Name[] = #name; \
    }
VANTREL_WS2_SOCKET_FUNCTIONS(VANTREL_WS2_NAME)
VANTREL_WS2_NAME(WSARecvEx)

#define VANTREL_WS2_BINDER(name) &FirstCallBinder<name, name##Name, FindSocketFunction>::Call
#define VANTREL_WS2_ENTRY(name) decltype(&::name) name = VANTREL_WS2_BINDER(name);
VANTREL_WS2_SOCKET_FUNCTIONS(VANTREL_WS2_ENTRY)
decltype(&::WSARecvEx) WSARecvEx = &FirstCallBinder<WSARecvEx, WSARecvExName, LookUpSocketExtensionFunction>::Call;

decltype(&::InetPtonW) InetPtonW = nullptr;
decltype(&::InetNtopW) InetNtopW = nullptr;
decltype(&::GetAddrInfoExW) GetAddrInfoExW = nullptr;
decltype(&::SetAddrInfoExW) SetAddrInfoExW = nullptr;
decltype(&::FreeAddrInfoExW) FreeAddrInfoExW = nullptr;

decltype(&::WSASetSocketPeerTargetName) WSASetSocketPeerTargetName = nullptr;
WSADeleteSocketPeerTargetNameFunction WSADeleteSocketPeerTargetName = nullptr;
decltype(&::WSAImpersonateSocketPeer) WSAImpersonateSocketPeer = nullptr;
decltype(&::WSAQuerySocketSecurity) WSAQuerySocketSecurity = nullptr;
decltype(&::WSARevertImpersonation) WSARevertImpersonation = nullptr;

DownlevelGetLocaleScriptsFunction DownlevelGetLocaleScripts = nullptr;
DownlevelGetStringScriptsFunction DownlevelGetStringScripts = nullptr;
DownlevelVerifyScriptsFunction DownlevelVerifyScripts = nullptr;
decltype(&::IdnToUnicode) IdnToUnicode = nullptr;
decltype(&::IdnToNameprepUnicode) IdnToNameprepUnicode = nullptr;
decltype(&::IdnToAscii) IdnToAscii = nullptr;
decltype(&::IsNormalizedString) IsNormalizedString = nullptr;
decltype(&::NormalizeString) NormalizeString = nullptr;

namespace {

template <typename Function>
void Find(HMODULE module, const char* name, Function& entry) noexcept
{
    entry = vantrel::Find<Function>(module, name);
}

void ReleaseModule(HMODULE& module) noexcept
{
    if (module) ::FreeLibrary(module);
    module = nullptr;
}

void ClearSecureSocketEntries() noexcept
{
    WSASetSocketPeerTargetName = nullptr;
    WSADeleteSocketPeerTargetName = nullptr;
    WSAImpersonateSocketPeer = nullptr;
    WSAQuerySocketSecurity = nullptr;
    WSARevertImpersonation = nullptr;
}

void ClearNameResolutionEntries() noexcept
{
    GetAddrInfoW = VANTREL_WS2_BINDER(GetAddrInfoW);
    GetNameInfoW = VANTREL_WS2_BINDER(GetNameInfoW);
    FreeAddrInfoW = VANTREL_WS2_BINDER(FreeAddrInfoW);
    InetPtonW = nullptr;
    InetNtopW = nullptr;
    GetAddrInfoExW = nullptr;
    SetAddrInfoExW = nullptr;
    FreeAddrInfoExW = nullptr;
    ClearSecureSocketEntries();
}

}  // namespace

void StartSocketService()
{
    if (socketModule) return;
    DWORD error;
    socketModule = LoadSystemLibrary(L"WS2_32.DLL");
    if (socketModule) {
        WSADATA data{};
        int result = ws2::WSAStartup(MAKEWORD(2, 2), &data);
        if (result == 0) {
            ++socketServiceStarts;
            return;
        }
        ReleaseModule(socketModule);
        // The entry may have been bound to the module just released.
        ws2::WSAStartup = VANTREL_WS2_BINDER(WSAStartup);
        error = static_cast<DWORD>(result);
    } else {
        error = ::GetLastError();
    }
    throw EIdWinsockStubError::Build(error, L"Error on loading Winsock2 library (%s)", {L"WS2_32.DLL"});
}

void StartNameResolution()
{
    StartSocketService();
    HMODULE module = socketModule;
    if (!FindProcedure(module, "GetAddrInfoW")) {
        if (!wship6Module) wship6Module = LoadSystemLibrary(L"Wship6.dll");
        module = wship6Module;
    }
    decltype(GetAddrInfoW) getAddrInfo = nullptr;
    decltype(GetNameInfoW) getNameInfo = nullptr;
    decltype(FreeAddrInfoW) freeAddrInfo = nullptr;
    Find(module, "GetAddrInfoW", getAddrInfo);
    Find(module, "GetNameInfoW", getNameInfo);
    Find(module, "FreeAddrInfoW", freeAddrInfo);
    if (getAddrInfo && getNameInfo && freeAddrInfo) {
        nameResolutionModule = module;
        GetAddrInfoW = getAddrInfo;
        GetNameInfoW = getNameInfo;
        FreeAddrInfoW = freeAddrInfo;
        Find(module, "InetPtonW", InetPtonW);
        Find(module, "InetNtopW", InetNtopW);
        Find(module, "GetAddrInfoExW", GetAddrInfoExW);
        Find(module, "SetAddrInfoExW", SetAddrInfoExW);
        Find(module, "FreeAddrInfoExW", FreeAddrInfoExW);
        secureSocketModule = LoadSystemLibrary(L"Fwpuclnt.dll");
        Find(secureSocketModule, "WSASetSocketPeerTargetName", WSASetSocketPeerTargetName);
        Find(secureSocketModule, "WSADeleteSocketPeerTargetName", WSADeleteSocketPeerTargetName);
        Find(secureSocketModule, "WSAImpersonateSocketPeer", WSAImpersonateSocketPeer);
        Find(secureSocketModule, "WSAQuerySocketSecurity", WSAQuerySocketSecurity);
        Find(secureSocketModule, "WSARevertImpersonation", WSARevertImpersonation);
        return;
    }
    ReleaseModule(wship6Module);
    ReleaseModule(secureSocketModule);
    ClearNameResolutionEntries();
    nameResolutionModule = nullptr;
    GetAddrInfoW = &fallback::GetAddrInfoW;
    GetNameInfoW = &fallback::GetNameInfoW;
    FreeAddrInfoW = &fallback::FreeAddrInfoW;
}

void StartIdn()
{
    if (!idnDownlevelModule) {
        idnDownlevelModule = LoadSystemLibrary(L"IdnDL.dll");
        Find(idnDownlevelModule, "DownlevelGetLocaleScripts", DownlevelGetLocaleScripts);
        Find(idnDownlevelModule, "DownlevelGetStringScripts", DownlevelGetStringScripts);
        Find(idnDownlevelModule, "DownlevelVerifyScripts", DownlevelVerifyScripts);
    }
    if (!normalizModule) {
        normalizModule = LoadSystemLibrary(L"Normaliz.dll");
        Find(normalizModule, "IdnToUnicode", IdnToUnicode);
        Find(normalizModule, "IdnToNameprepUnicode", IdnToNameprepUnicode);
        Find(normalizModule, "IdnToAscii", IdnToAscii);
        Find(normalizModule, "IsNormalizedString", IsNormalizedString);
        Find(normalizModule, "NormalizeString", NormalizeString);
    }
}

void FinalizeModules() noexcept
{
    ReleaseModule(wship6Module);
    ReleaseModule(secureSocketModule);
    nameResolutionModule = nullptr;
    ClearNameResolutionEntries();
    ReleaseModule(socketExtensionModule);
    if (socketModule) {
        ws2::WSACleanup();
        ReleaseModule(socketModule);
    }
    // Entries bound into the released module would now point into freed code; back to the
    // binders, a late call raises instead of crashing.
#define VANTREL_WS2_RESET(name) name = VANTREL_WS2_BINDER(name);
    VANTREL_WS2_SOCKET_FUNCTIONS(VANTREL_WS2_RESET)
#undef VANTREL_WS2_RESET
    WSARecvEx = &FirstCallBinder<WSARecvEx, WSARecvExName, LookUpSocketExtensionFunction>::Call;

    ReleaseModule(idnDownlevelModule);
    ReleaseModule(normalizModule);
    DownlevelGetLocaleScripts = nullptr;
    DownlevelGetStringScripts = nullptr;
    DownlevelVerifyScripts = nullptr;
    IdnToUnicode = nullptr;
    IdnToNameprepUnicode = nullptr;
    IdnToAscii = nullptr;
    IsNormalizedString = nullptr;
    NormalizeString = nullptr;
}

TLoadedModules LoadedModules() noexcept
{
    return {socketModule, socketExtensionModule, nameResolutionModule, secureSocketModule, idnDownlevelModule,
            normalizModule};
}

unsigned SocketServiceStartCount() noexcept
{
    return socketServiceStarts;
}

// The fallback resolver: IPv4 only, through the classic resolver of WS2_32.DLL.
namespace fallback {

namespace {

// One result record with the address and name it points at, freed as one.
struct ResultNode {
    ADDRINFOW info;
    sockaddr_in address;
    wchar_t* canonicalName;
};
static_assert(std::is_standard_layout_v<ResultNode>);

bool ToAscii(PCWSTR text, std::string& ascii)
{
    ascii.clear();
    for (; *text; ++text) {
        if (*text > 0x7F) return false;
        ascii += static_cast<char>(*text);
    }
    return true;
}

INT Fail(INT code)
{
    ws2::WSASetLastError(code);
    return code;
}

// The port of a service given as a decimal number or, unless only numbers are allowed, by name.
bool ParseService(PCWSTR service, int flags, int socketType, u_short& networkPort)
{
    networkPort = 0;
    if (!service) return true;
    std::string ascii;
    if (!ToAscii(service, ascii) || ascii.empty()) return false;
    unsigned long value = 0;
    bool numeric = true;
    for (char c : ascii) {
        if (c < '0' || c > '9') {
            numeric = false;
            break;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535) return false;
    }
    if (numeric) {
        networkPort = ws2::htons(static_cast<u_short>(value));
        return true;
    }
    if (flags & AI_NUMERICSERV) return false;
    const servent* entry = ws2::getservbyname(ascii.c_str(), socketType == SOCK_DGRAM ? "udp" : "tcp");
    if (!entry) return false;
    networkPort = static_cast<u_short>(entry->s_port);
    return true;
}

}  // namespace

INT WSAAPI GetAddrInfoW(PCWSTR nodeName, PCWSTR serviceName, const ADDRINFOW* hints, PADDRINFOW* result)
{
    if (!result) return Fail(WSAEINVAL);
    *result = nullptr;
    ADDRINFOW wanted{};
    if (hints) wanted = *hints;
    if (wanted.ai_family != AF_UNSPEC && wanted.ai_family != AF_INET) return Fail(WSAEAFNOSUPPORT);
    if (!nodeName && !serviceName) return Fail(WSAHOST_NOT_FOUND);

    u_short port = 0;
    if (!ParseService(serviceName, wanted.ai_flags, wanted.ai_socktype, port)) return Fail(WSATYPE_NOT_FOUND);

    std::vector<in_addr> addresses;
    std::wstring canonicalName;
    if (!nodeName) {
        in_addr address{};
        address.s_addr = ws2::htonl((wanted.ai_flags & AI_PASSIVE) ? INADDR_ANY : INADDR_LOOPBACK);
        addresses.push_back(address);
    } else {
        std::string ascii;
        if (!ToAscii(nodeName, ascii) || ascii.empty()) return Fail(WSAHOST_NOT_FOUND);
        in_addr literal{};
        literal.s_addr = ws2::inet_addr(ascii.c_str());
        if (literal.s_addr != INADDR_NONE || ascii == "255.255.255.255") {
            addresses.push_back(literal);
            canonicalName = nodeName;
        } else if (wanted.ai_flags & AI_NUMERICHOST) {
            return Fail(WSAHOST_NOT_FOUND);
        } else {
            const hostent* host = ws2::gethostbyname(ascii.c_str());
            if (!host) {
                int error = ws2::WSAGetLastError();
                return Fail(error != 0 ? error : WSAHOST_NOT_FOUND);
            }
            if (host->h_addrtype != AF_INET || host->h_length != sizeof(in_addr)) return Fail(WSANO_DATA);
            for (char** entry = host->h_addr_list; entry && *entry; ++entry) {
                in_addr address;
                std::memcpy(&address, *entry, sizeof address);
                addresses.push_back(address);
            }
            if (addresses.empty()) return Fail(WSANO_DATA);
            if (host->h_name) canonicalName = Widen(host->h_name);
        }
    }

    ADDRINFOW* first = nullptr;
    ADDRINFOW** tail = &first;
    for (const in_addr& address : addresses) {
        auto* node = new (std::nothrow) ResultNode{};
        if (!node) {
            fallback::FreeAddrInfoW(first);
            return Fail(WSA_NOT_ENOUGH_MEMORY);
        }
        node->address.sin_family = AF_INET;
        node->address.sin_port = port;
        node->address.sin_addr = address;
        node->info.ai_family = AF_INET;
        node->info.ai_socktype = wanted.ai_socktype;
        node->info.ai_protocol = wanted.ai_protocol;
        node->info.ai_addrlen = sizeof(sockaddr_in);
        node->info.ai_addr = reinterpret_cast<sockaddr*>(&node->address);
        *tail = &node->info;
        tail = &node->info.ai_next;
    }
    if ((wanted.ai_flags & AI_CANONNAME) && first) {
        auto* node = reinterpret_cast<ResultNode*>(first);
        node->canonicalName = new (std::nothrow) wchar_t[canonicalName.size() + 1];
        if (!node->canonicalName) {
            fallback::FreeAddrInfoW(first);
            return Fail(WSA_NOT_ENOUGH_MEMORY);
        }
        std::wmemcpy(node->canonicalName, canonicalName.c_str(), canonicalName.size() + 1);
        first->ai_canonname = node->canonicalName;
    }
    *result = first;
    return 0;
}

void WSAAPI FreeAddrInfoW(PADDRINFOW info)
{
    while (info) {
        auto* node = reinterpret_cast<ResultNode*>(info);
        info = info->ai_next;
        delete[] node->canonicalName;
        delete node;
    }
}

INT WSAAPI GetNameInfoW(const SOCKADDR* address, socklen_t addressLength, PWCHAR nodeBuffer, DWORD nodeBufferSize,
                        PWCHAR serviceBuffer, DWORD serviceBufferSize, INT flags)
{
    if (!address) return Fail(WSAEFAULT);
    if (address->sa_family != AF_INET) return Fail(WSAEAFNOSUPPORT);
    if (addressLength < static_cast<socklen_t>(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);

    if (nodeBuffer && nodeBufferSize > 0) {
        std::wstring name;
        if (!(flags & NI_NUMERICHOST)) {
            const hostent* host =
                ws2::gethostbyaddr(reinterpret_cast<const char*>(&ipv4->sin_addr), sizeof(in_addr), AF_INET);
            if (host && host->h_name) name = Widen(host->h_name);
        }
        if (name.empty()) {
            if (flags & NI_NAMEREQD) return Fail(WSAHOST_NOT_FOUND);
            name = IPv4ToText(reinterpret_cast<const unsigned char*>(&ipv4->sin_addr));
        }
        if (name.size() + 1 > nodeBufferSize) return Fail(WSAEFAULT);
        std::wmemcpy(nodeBuffer, name.c_str(), name.size() + 1);
    }
    if (serviceBuffer && serviceBufferSize > 0) {
        std::wstring service = std::to_wstring(ws2::ntohs(ipv4->sin_port));
        if (service.size() + 1 > serviceBufferSize) return Fail(WSAEFAULT);
        std::wmemcpy(serviceBuffer, service.c_str(), service.size() + 1);
    }
    return 0;
}

}  // namespace fallback

}  // namespace vantrel::ws2
