#include "netwatch/tests/AdapterRecords.h"


#include <cstring>

namespace vantrel::testing {

DWORD IPv4(const char* text)
{
    unsigned char bytes[4] = {};
    int part = 0;
    unsigned value = 0;
    for (const char* c = text;; ++c) {
        if (*c == '.' || *c == '\0') {
            bytes[part++] = static_cast<unsigned char>(value);
            value = 0;
            if (*c == '\0' || part == 4) break;
        } else {
            value = value * 10 + static_cast<unsigned>(*c - '0');
        }
    }
    DWORD address;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

Unicast V4(const char* text, IP_DAD_STATE dadState, UINT8 prefixLength)
{
    Unicast unicast{AF_INET, {}, dadState, prefixLength};
    DWORD address = IPv4(text);
    std::memcpy(unicast.bytes.data(), &address, 4);
    return unicast;
}

Unicast V6(std::array<unsigned char, 16> bytes, IP_DAD_STATE dadState)
{
    return Unicast{AF_INET6, bytes, dadState, 64};
}

FakeIpHelper* FakeIpHelper::current_ = nullptr;

namespace {

ULONG Align(ULONG size)
{
    return (size + 7) & ~7u;
}

// Checks what the enumeration claims against what it allocated: a buffer from new[] of a
// trivial type is the C runtime's block, whose size _msize knows.
void CheckBuffer(FakeIpHelper& fake, const void* buffer, ULONG size)
{
    if (buffer && _msize(const_cast<void*>(buffer)) < size) fake.bufferShorterThanSize = true;
    if (!buffer && size != 0) fake.bufferShorterThanSize = true;
}

bool TakeAnswer(std::deque<Answer>& answers, PULONG size, ULONG& result)
{
    if (answers.empty()) return false;
    result = answers.front().result;
    *size = answers.front().size;
    answers.pop_front();
    return true;
}

void CopyText(char (&field)[16], const std::string& text)
{
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), text.size() < sizeof field ? text.size() : sizeof field);
}

}  // namespace

struct FakeCalls {
    static ULONG WINAPI GetAdaptersAddresses(ULONG family, ULONG flags, PVOID, PIP_ADAPTER_ADDRESSES buffer,
                                             PULONG size)
    {
        FakeIpHelper& fake = *FakeIpHelper::current_;
        fake.adapterAddressSizes.push_back(*size);
        fake.lastFamily = family;
        fake.lastFlags = flags;
        CheckBuffer(fake, buffer, *size);
        ULONG result;
        if (TakeAnswer(fake.adapterAddressAnswers, size, result)) return result;

        ULONG needed = 0;
        for (const auto& adapter : fake.adapters) {
            needed += Align(sizeof(IP_ADAPTER_ADDRESSES));
            needed += static_cast<ULONG>(adapter.addresses.size()) *
                      (Align(sizeof(IP_ADAPTER_UNICAST_ADDRESS)) + Align(sizeof(SOCKADDR_IN6)));
        }
        if (needed == 0) return ERROR_NO_DATA;
        if (*size < needed) {
            *size = needed;
            return ERROR_BUFFER_OVERFLOW;
        }
        auto* out = reinterpret_cast<unsigned char*>(buffer);
        std::memset(out, 0, needed);
        IP_ADAPTER_ADDRESSES* previous = nullptr;
        for (const auto& adapter : fake.adapters) {
            auto* record = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(out);
            out += Align(sizeof(IP_ADAPTER_ADDRESSES));
            record->Length = sizeof(IP_ADAPTER_ADDRESSES);
            record->IfType = adapter.type;
            record->Flags = adapter.flags;
            if (previous) previous->Next = record;
            previous = record;
            IP_ADAPTER_UNICAST_ADDRESS* previousUnicast = nullptr;
            for (const auto& address : adapter.addresses) {
                auto* unicast = reinterpret_cast<IP_ADAPTER_UNICAST_ADDRESS*>(out);
                out += Align(sizeof(IP_ADAPTER_UNICAST_ADDRESS));
                auto* socketAddress = reinterpret_cast<SOCKADDR_IN6*>(out);
                out += Align(sizeof(SOCKADDR_IN6));
                unicast->Length = sizeof(IP_ADAPTER_UNICAST_ADDRESS);
                unicast->DadState = address.dadState;
                unicast->OnLinkPrefixLength = address.prefixLength;
                unicast->Address.lpSockaddr = reinterpret_cast<sockaddr*>(socketAddress);
                if (address.family == AF_INET) {
                    auto* v4 = reinterpret_cast<sockaddr_in*>(socketAddress);
                    v4->sin_family = AF_INET;
                    std::memcpy(&v4->sin_addr, address.bytes.data(), 4);
                    unicast->Address.iSockaddrLength = sizeof(sockaddr_in);
                } else {
                    socketAddress->sin6_family = static_cast<ADDRESS_FAMILY>(address.family);
                    std::memcpy(&socketAddress->sin6_addr, address.bytes.data(), 16);
                    unicast->Address.iSockaddrLength = sizeof(SOCKADDR_IN6);
                }
                if (previousUnicast) {
                    previousUnicast->Next = unicast;
                } else {
                    record->FirstUnicastAddress = unicast;
                }
                previousUnicast = unicast;
            }
        }
        return NO_ERROR;
    }

    static ULONG WINAPI GetAdaptersInfo(PIP_ADAPTER_INFO buffer, PULONG size)
    {
        FakeIpHelper& fake = *FakeIpHelper::current_;
        fake.adapterInfoSizes.push_back(*size);
        CheckBuffer(fake, buffer, *size);
        ULONG result;
        if (TakeAnswer(fake.adapterInfoAnswers, size, result)) return result;

        ULONG needed = 0;
        for (const auto& adapter : fake.infoAdapters) {
            needed += Align(sizeof(IP_ADAPTER_INFO));
            if (adapter.addresses.size() > 1) {
                needed += static_cast<ULONG>(adapter.addresses.size() - 1) * Align(sizeof(IP_ADDR_STRING));
            }
        }
        if (needed == 0) return ERROR_NO_DATA;
        if (*size < needed) {
            *size = needed;
            return ERROR_BUFFER_OVERFLOW;
        }
        auto* out = reinterpret_cast<unsigned char*>(buffer);
        std::memset(out, 0, needed);
        IP_ADAPTER_INFO* previous = nullptr;
        for (const auto& adapter : fake.infoAdapters) {
            auto* record = reinterpret_cast<IP_ADAPTER_INFO*>(out);
            out += Align(sizeof(IP_ADAPTER_INFO));
            if (previous) previous->Next = record;
            previous = record;
            IP_ADDR_STRING* entry = &record->IpAddressList;
            for (std::size_t i = 0; i < adapter.addresses.size(); ++i) {
                if (i > 0) {
                    auto* next = reinterpret_cast<IP_ADDR_STRING*>(out);
                    out += Align(sizeof(IP_ADDR_STRING));
                    entry->Next = next;
                    entry = next;
                }
                CopyText(entry->IpAddress.String, adapter.addresses[i].first);
                CopyText(entry->IpMask.String, adapter.addresses[i].second);
            }
        }
        return NO_ERROR;
    }

    static DWORD WINAPI GetUniDirectionalAdapterInfo(PIP_UNIDIRECTIONAL_ADAPTER_ADDRESS buffer, PULONG size)
    {
        FakeIpHelper& fake = *FakeIpHelper::current_;
        fake.unidirectionalSizes.push_back(*size);
        CheckBuffer(fake, buffer, *size);
        ULONG result;
        if (TakeAnswer(fake.unidirectionalAnswers, size, result)) return result;
        ULONG needed = static_cast<ULONG>(sizeof(ULONG) + fake.unidirectional.size() * sizeof(IPAddr));
        if (*size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        buffer->NumAdapters = static_cast<ULONG>(fake.unidirectional.size());
        for (std::size_t i = 0; i < fake.unidirectional.size(); ++i) {
            buffer->Address[i] = IPv4(fake.unidirectional[i].c_str());
        }
        return NO_ERROR;
    }

    static DWORD WINAPI GetIpAddrTable(PMIB_IPADDRTABLE buffer, PULONG size, BOOL)
    {
        FakeIpHelper& fake = *FakeIpHelper::current_;
        fake.addressTableSizes.push_back(*size);
        CheckBuffer(fake, buffer, *size);
        ULONG result;
        if (TakeAnswer(fake.addressTableAnswers, size, result)) return result;
        ULONG needed = static_cast<ULONG>(sizeof(DWORD) + fake.addressTable.size() * sizeof(MIB_IPADDRROW));
        if (!buffer || *size < needed) {
            *size = needed;
            return ERROR_INSUFFICIENT_BUFFER;
        }
        std::memset(buffer, 0, needed);
        buffer->dwNumEntries = static_cast<DWORD>(fake.addressTable.size());
        for (std::size_t i = 0; i < fake.addressTable.size(); ++i) {
            buffer->table[i].dwAddr = IPv4(fake.addressTable[i].first.c_str());
            buffer->table[i].dwMask = IPv4(fake.addressTable[i].second.c_str());
        }
        return NO_ERROR;
    }

    static NETIO_STATUS WINAPI ConvertLengthToIpv4Mask(ULONG length, PULONG mask)
    {
        FakeIpHelper& fake = *FakeIpHelper::current_;
        if (!fake.realMaskConversion) return ERROR_INVALID_PARAMETER;
        return fake.realConvert_(length, mask);
    }

    static TPlatformVersion Version() { return FakeIpHelper::current_->version; }
};

namespace {

// Binds the real mask conversion before the fake takes the entry, so the fake can forward.
decltype(iphlp::ConvertLengthToIpv4Mask) BoundMaskConversion()
{
    ULONG mask = 0;
    iphlp::ConvertLengthToIpv4Mask(24, &mask);
    return iphlp::ConvertLengthToIpv4Mask;
}

}  // namespace

FakeIpHelper::FakeIpHelper()
    : realConvert_(BoundMaskConversion()),
      adapterAddresses_(iphlp::GetAdaptersAddresses, &FakeCalls::GetAdaptersAddresses),
      adapterInfo_(iphlp::GetAdaptersInfo, &FakeCalls::GetAdaptersInfo),
      unidirectional_(iphlp::GetUniDirectionalAdapterInfo, &FakeCalls::GetUniDirectionalAdapterInfo),
      addressTable_(iphlp::GetIpAddrTable, &FakeCalls::GetIpAddrTable),
      convert_(iphlp::ConvertLengthToIpv4Mask, &FakeCalls::ConvertLengthToIpv4Mask),
      version_(PlatformVersion, &FakeCalls::Version)
{
    current_ = this;
}

FakeIpHelper::~FakeIpHelper()
{
    current_ = nullptr;
}

}  // namespace vantrel::testing
