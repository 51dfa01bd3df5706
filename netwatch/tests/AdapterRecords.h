#pragma once
// Synthetic platform records for the enumeration tests: real IP_ADAPTER_ADDRESSES,
// IP_ADAPTER_INFO, IP_UNIDIRECTIONAL_ADAPTER_ADDRESS and MIB_IPADDRTABLE layouts written into
// the caller's buffer, served through fakes installed in the IP-information entries.

#include "netwatch/IdIpHelper.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "netwatch/IdAddressText.h"
#include "app/PlatformVersion.h"

namespace vantrel::testing {

// "a.b.c.d" in network order, as the records hold it.
DWORD IPv4(const char* text);

struct Unicast {
    int family;                          // AF_INET or AF_INET6
    std::array<unsigned char, 16> bytes;  // network order; 4 used for AF_INET
    IP_DAD_STATE dadState = IpDadStatePreferred;
    UINT8 prefixLength = 24;
};
Unicast V4(const char* text, IP_DAD_STATE dadState = IpDadStatePreferred, UINT8 prefixLength = 24);
Unicast V6(std::array<unsigned char, 16> bytes, IP_DAD_STATE dadState = IpDadStatePreferred);

struct Adapter {
    IFTYPE type = IF_TYPE_ETHERNET_CSMACD;
    ULONG flags = 0;
    std::vector<Unicast> addresses;
};

struct InfoAdapter {
    // (address, mask) pairs as the 16-character text fields hold them.
    std::vector<std::pair<std::string, std::string>> addresses;
};

// A scripted answer: the result and the size the call reports.
struct Answer {
    ULONG result;
    ULONG size;
};

// Installs fakes in all five IP-information entries and in the platform version for its
// lifetime. Each call first takes a scripted answer when one is queued; otherwise it answers
// as the platform would: the records when the buffer is large enough, else the size needed.
class FakeIpHelper {
public:
    FakeIpHelper();
    ~FakeIpHelper();
    FakeIpHelper(const FakeIpHelper&) = delete;
    FakeIpHelper& operator=(const FakeIpHelper&) = delete;

    std::vector<Adapter> adapters;
    std::vector<InfoAdapter> infoAdapters;
    std::vector<std::string> unidirectional;
    std::vector<std::pair<std::string, std::string>> addressTable;
    TPlatformVersion version{6, 1};
    bool realMaskConversion = true;  // else ConvertLengthToIpv4Mask fails with 87

    std::deque<Answer> adapterAddressAnswers, adapterInfoAnswers, unidirectionalAnswers, addressTableAnswers;

    // Sizes given in by each call, in call order.
    std::vector<ULONG> adapterAddressSizes, adapterInfoSizes, unidirectionalSizes, addressTableSizes;
    ULONG lastFamily = 0xFFFF, lastFlags = 0;
    // Set when a call was given a buffer smaller than the size it claimed.
    bool bufferShorterThanSize = false;

private:
    static FakeIpHelper* current_;
    friend struct FakeCalls;
    decltype(iphlp::ConvertLengthToIpv4Mask) realConvert_;
    EntryOverride<decltype(iphlp::GetAdaptersAddresses)> adapterAddresses_;
    EntryOverride<decltype(iphlp::GetAdaptersInfo)> adapterInfo_;
    EntryOverride<decltype(iphlp::GetUniDirectionalAdapterInfo)> unidirectional_;
    EntryOverride<decltype(iphlp::GetIpAddrTable)> addressTable_;
    EntryOverride<decltype(iphlp::ConvertLengthToIpv4Mask)> convert_;
    EntryOverride<PlatformVersionFunction> version_;
};

}  // namespace vantrel::testing
