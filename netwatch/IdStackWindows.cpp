// The enumeration of the machine's addresses through the IP-information functions.

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SystemModule.h"
#include "netwatch/IdAddressText.h"
#include "netwatch/IdIpHelper.h"
#include "netwatch/IdStack.h"
#include "app/PlatformVersion.h"

namespace vantrel {

namespace {

// Big enough for the adapters of most machines, so the usual enumeration makes one call.
constexpr ULONG kFirstBufferSize = 15360;
constexpr ULONG kAdapterAddressFlags =
    GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_SKIP_FRIENDLY_NAME;
constexpr std::size_t kAddressStringCapacity = sizeof(IP_ADDRESS_STRING::String);

// A buffer for the platform's records, aligned for the pointers inside them.
class RecordBuffer {
public:
    explicit RecordBuffer(ULONG size) { Resize(size); }
    void Resize(ULONG size)
    {
        words_.reset(size == 0 ? nullptr : new std::uint64_t[(size + 7) / 8]);
    }
    template <typename Record>
    Record* As() const noexcept
    {
        return reinterpret_cast<Record*>(words_.get());
    }

private:
    std::unique_ptr<std::uint64_t[]> words_;
};

[[noreturn]] void RaisePlatformError(DWORD result)
{
    ::SetLastError(result);
    RaiseOSError(result);
}

std::wstring IPv4Text(const in_addr& address)
{
    return IPv4ToText(reinterpret_cast<const unsigned char*>(&address));
}

std::wstring IPv4Text(DWORD networkOrder)
{
    return IPv4ToText(reinterpret_cast<const unsigned char*>(&networkOrder));
}

// Subnet masks before version 6.0, where the unicast records carry no prefix length.
TIdAddressMaskTable BuildAddressMaskTable()
{
    TIdAddressMaskTable table;
    RecordBuffer buffer(0);
    ULONG size = 0;
    DWORD result = iphlp::GetIpAddrTable(buffer.As<MIB_IPADDRTABLE>(), &size, FALSE);
    if (result == ERROR_INSUFFICIENT_BUFFER) {
        buffer.Resize(size);
        result = iphlp::GetIpAddrTable(buffer.As<MIB_IPADDRTABLE>(), &size, FALSE);
    }
    if (result == ERROR_NOT_SUPPORTED) return table;
    if (result != NO_ERROR) RaisePlatformError(result);
    const auto* rows = buffer.As<MIB_IPADDRTABLE>();
    if (size == 0 || !rows) return table;
    for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        table.Add(IPv4Text(rows->table[i].dwAddr), IPv4Text(rows->table[i].dwMask));
    }
    return table;
}

enum class PathResult { Done, NotSupported };

PathResult AddFromAdapterAddresses(TIdStackLocalAddressList& list)
{
    RecordBuffer buffer(kFirstBufferSize);
    ULONG size = kFirstBufferSize;
    for (;;) {
        ULONG result = iphlp::GetAdaptersAddresses(AF_UNSPEC, kAdapterAddressFlags, nullptr,
                                                   buffer.As<IP_ADAPTER_ADDRESSES>(), &size);
        if (result == NO_ERROR) {
            if (size == 0) return PathResult::Done;
            break;
        }
        if (result == ERROR_BUFFER_OVERFLOW) {
            buffer.Resize(size);
            continue;
        }
        if (result == ERROR_NOT_SUPPORTED) return PathResult::NotSupported;
        if (result == ERROR_NO_DATA || result == ERROR_ADDRESS_NOT_ASSOCIATED) return PathResult::Done;
        RaisePlatformError(result);
    }

    // Before 6.0 the unicast record ends before OnLinkPrefixLength: masks come from the
    // address table instead, fetched only when an IPv4 address needs one.
    const bool prefixInRecord = VersionAtLeast(PlatformVersion(), 6, 0);
    std::optional<TIdAddressMaskTable> maskTable;
    for (const auto* adapter = buffer.As<IP_ADAPTER_ADDRESSES>(); adapter; adapter = adapter->Next) {
        if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK || (adapter->Flags & IP_ADAPTER_RECEIVE_ONLY)) continue;
        for (const auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            if (unicast->DadState != IpDadStatePreferred) continue;
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (!address) continue;
            if (address->sa_family == AF_INET) {
                std::wstring text = IPv4Text(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
                std::wstring mask;
                if (prefixInRecord) {
                    ULONG maskValue = 0;
                    if (iphlp::ConvertLengthToIpv4Mask(unicast->OnLinkPrefixLength, &maskValue) == NO_ERROR) {
                        mask = IPv4Text(static_cast<DWORD>(maskValue));
                    }
                } else {
                    if (!maskTable) maskTable = BuildAddressMaskTable();
                    mask = maskTable->MaskOf(text);
                }
                list.AddIPv4(std::move(text), std::move(mask));
            } else if (address->sa_family == AF_INET6) {
                const auto* ipv6 = reinterpret_cast<const sockaddr_in6*>(address);
                list.AddIPv6(IPv6ToText(reinterpret_cast<const unsigned char*>(&ipv6->sin6_addr)));
            }
        }
    }
    return PathResult::Done;
}

// Addresses of receive-only (for example satellite) adapters, which the adapter-info path
// has no flag for.
std::vector<std::wstring> UnidirectionalAddresses()
{
    std::vector<std::wstring> addresses;
    RecordBuffer buffer(kFirstBufferSize);
    ULONG size = kFirstBufferSize;
    DWORD result = iphlp::GetUniDirectionalAdapterInfo(buffer.As<IP_UNIDIRECTIONAL_ADAPTER_ADDRESS>(), &size);
    if (result == ERROR_MORE_DATA) {
        buffer.Resize(size);
        result = iphlp::GetUniDirectionalAdapterInfo(buffer.As<IP_UNIDIRECTIONAL_ADAPTER_ADDRESS>(), &size);
    }
    if (result == ERROR_NOT_SUPPORTED || result == ERROR_NO_DATA) return addresses;
    if (result != NO_ERROR) RaisePlatformError(result);
    const auto* info = buffer.As<IP_UNIDIRECTIONAL_ADAPTER_ADDRESS>();
    if (size == 0 || !info) return addresses;
    for (ULONG i = 0; i < info->NumAdapters; ++i) addresses.push_back(IPv4Text(info->Address[i]));
    return addresses;
}

void AddFromAdapterInfo(TIdStackLocalAddressList& list)
{
    RecordBuffer buffer(kFirstBufferSize);
    ULONG size = kFirstBufferSize;
    for (;;) {
        ULONG result = iphlp::GetAdaptersInfo(buffer.As<IP_ADAPTER_INFO>(), &size);
        if (result == NO_ERROR) {
            if (size == 0) return;
            break;
        }
        if (result == ERROR_BUFFER_OVERFLOW) {
            buffer.Resize(size);
            continue;
        }
        if (result == ERROR_NOT_SUPPORTED || result == ERROR_NO_DATA) return;
        RaisePlatformError(result);
    }

    std::vector<std::wstring> unidirectional;
    if (VersionAtLeast(PlatformVersion(), 5, 1)) unidirectional = UnidirectionalAddresses();
    for (const auto* adapter = buffer.As<IP_ADAPTER_INFO>(); adapter; adapter = adapter->Next) {
        for (const IP_ADDR_STRING* entry = &adapter->IpAddressList; entry; entry = entry->Next) {
            std::wstring address = FixedFieldText(entry->IpAddress.String, kAddressStringCapacity);
            // An adapter without an address reports "0.0.0.0".
            if (address.empty() || address == L"0.0.0.0") continue;
            bool receiveOnly = false;
            for (const auto& skipped : unidirectional) receiveOnly = receiveOnly || skipped == address;
            if (receiveOnly) continue;
            list.AddIPv4(std::move(address), FixedFieldText(entry->IpMask.String, kAddressStringCapacity));
        }
    }
}

}  // namespace

void TIdStackWindows::GetLocalAddressList(TIdStackLocalAddressList& list)
{
    if (AddFromAdapterAddresses(list) == PathResult::NotSupported) AddFromAdapterInfo(list);
}

}  // namespace vantrel
