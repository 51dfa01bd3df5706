// The enumeration of local addresses, fed with synthetic platform records through the
// IP-information entries.

#include <gtest/gtest.h>

#include "app/Exceptions.h"
#include "netwatch/IdComponent.h"
#include "netwatch/IdStack.h"
#include "netwatch/tests/AdapterRecords.h"
#include "tests/support/HeapCounter.h"

namespace vantrel {
namespace {

using testing::Adapter;
using testing::Answer;
using testing::InfoAdapter;
using testing::V4;
using testing::V6;

const std::array<unsigned char, 16> kLinkLocal6 = {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x1C, 0x42, 0xFF, 0xFE, 0x00, 0x00, 0x08};

struct Listed {
    std::wstring address;
    TIdIPVersion version;
    std::wstring mask;
    bool operator==(const Listed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Listed& item)
{
    return out << ToUtf8(item.address) << (item.version == TIdIPVersion::Id_IPv4 ? " v4 mask " : " v6 ")
               << ToUtf8(item.mask);
}

class Enumeration : public ::testing::Test {
protected:
    TIdStack& Stack() { return *TIdStack::GetSharedStack(); }

    std::vector<Listed> List()
    {
        TIdStackLocalAddressList list;
        Stack().GetLocalAddressList(list);
        std::vector<Listed> items;
        for (std::size_t i = 0; i < list.GetCount(); ++i) {
            const auto& item = list[i];
            std::wstring mask;
            if (item.GetIPVersion() == TIdIPVersion::Id_IPv4) {
                mask = static_cast<const TIdStackLocalAddressIPv4&>(item).GetSubNetMask();
            }
            items.push_back({item.GetIPAddress(), item.GetIPVersion(), mask});
        }
        return items;
    }

    TIdComponent component_;  // the shared stack, started before the fakes bind anything
    testing::FakeIpHelper fake_;
};

constexpr auto v4 = TIdIPVersion::Id_IPv4;
constexpr auto v6 = TIdIPVersion::Id_IPv6;

TEST_F(Enumeration, FirstIPv4AddressWinsAcrossAdaptersAndAfterIPv6)
{
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V6(kLinkLocal6), V4("10.0.0.5")}},
                      {IF_TYPE_IEEE80211, 0, {V4("192.168.1.20")}}};
    EXPECT_EQ(Stack().GetLocalAddress(), L"10.0.0.5");
    EXPECT_EQ(List(), (std::vector<Listed>{{L"FE80:0:0:0:21C:42FF:FE00:8", v6, L""},
                                           {L"10.0.0.5", v4, L"255.255.255.0"},
                                           {L"192.168.1.20", v4, L"255.255.255.0"}}));
    // The platform was asked for every family, without anycast, multicast, DNS servers and
    // friendly names.
    EXPECT_EQ(fake_.lastFamily, static_cast<ULONG>(AF_UNSPEC));
    EXPECT_EQ(fake_.lastFlags, 0x2Eu);
    EXPECT_EQ(fake_.adapterAddressSizes.front(), 15360u);
    EXPECT_FALSE(fake_.bufferShorterThanSize);

    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V6(kLinkLocal6)}}};
    EXPECT_EQ(Stack().GetLocalAddress(), L"");  // IPv6 is listed, never chosen
}

TEST_F(Enumeration, OnlyPreferredAddressesAreListed)
{
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD,
                       0,
                       {V4("10.0.0.1", IpDadStateTentative), V4("10.0.0.2", IpDadStateDuplicate),
                        V4("10.0.0.3", IpDadStateDeprecated), V4("10.0.0.4", IpDadStateInvalid),
                        V6(kLinkLocal6, IpDadStateTentative), V4("10.0.0.9")}}};
    EXPECT_EQ(Stack().GetLocalAddress(), L"10.0.0.9");
    EXPECT_EQ(List(), (std::vector<Listed>{{L"10.0.0.9", v4, L"255.255.255.0"}}));
}

TEST_F(Enumeration, LoopbackAndReceiveOnlyAdaptersAreSkipped)
{
    fake_.adapters = {{IF_TYPE_SOFTWARE_LOOPBACK, 0, {V4("127.0.0.1", IpDadStatePreferred, 8)}},
                      {IF_TYPE_ETHERNET_CSMACD, IP_ADAPTER_RECEIVE_ONLY, {V4("10.1.1.1"), V6(kLinkLocal6)}},
                      {IF_TYPE_ETHERNET_CSMACD, IP_ADAPTER_DDNS_ENABLED | IP_ADAPTER_DHCP_ENABLED, {V4("192.168.1.20")}}};
    EXPECT_EQ(List(), (std::vector<Listed>{{L"192.168.1.20", v4, L"255.255.255.0"}}));

    fake_.adapters.resize(2);
    EXPECT_EQ(Stack().GetLocalAddress(), L"");  // never 127.0.0.1
}

TEST_F(Enumeration, MaskFromPrefixLengthFromVersion6)
{
    fake_.version = {6, 0};
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V4("192.168.1.20", IpDadStatePreferred, 24),
                                                    V4("10.0.0.5", IpDadStatePreferred, 8),
                                                    V4("172.16.0.1", IpDadStatePreferred, 0),
                                                    V4("172.16.0.2", IpDadStatePreferred, 33)}}};
    EXPECT_EQ(List(), (std::vector<Listed>{{L"192.168.1.20", v4, L"255.255.255.0"},
                                           {L"10.0.0.5", v4, L"255.0.0.0"},
                                           {L"172.16.0.1", v4, L"0.0.0.0"},
                                           {L"172.16.0.2", v4, L""}}));  // conversion failed: no mask
    fake_.realMaskConversion = false;
    EXPECT_EQ(List(), (std::vector<Listed>{{L"192.168.1.20", v4, L""},
                                           {L"10.0.0.5", v4, L""},
                                           {L"172.16.0.1", v4, L""},
                                           {L"172.16.0.2", v4, L""}}));
    EXPECT_TRUE(fake_.addressTableSizes.empty());
}

TEST_F(Enumeration, MaskFromAddressTableBeforeVersion6)
{
    fake_.version = {5, 2};
    // The prefix lengths in the records are not read on these versions.
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V4("10.0.0.5", IpDadStatePreferred, 24),
                                                    V4("192.168.1.20", IpDadStatePreferred, 8),
                                                    V4("172.16.0.1", IpDadStatePreferred, 16)}}};
    fake_.addressTable = {{"192.168.1.20", "255.255.255.0"}, {"10.0.0.5", "255.0.0.0"}};
    EXPECT_EQ(List(), (std::vector<Listed>{{L"10.0.0.5", v4, L"255.0.0.0"},
                                           {L"192.168.1.20", v4, L"255.255.255.0"},
                                           {L"172.16.0.1", v4, L""}}));
    // Built once per enumeration: the size query with no buffer, then the fetch.
    EXPECT_EQ(fake_.addressTableSizes, (std::vector<ULONG>{0, 4 + 2 * sizeof(MIB_IPADDRROW)}));
    EXPECT_FALSE(fake_.bufferShorterThanSize);

    fake_.addressTableSizes.clear();
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V6(kLinkLocal6)}}};
    EXPECT_EQ(List().size(), 1u);
    EXPECT_TRUE(fake_.addressTableSizes.empty()) << "no IPv4 address, no table";

    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V4("10.0.0.5")}}};
    fake_.addressTableAnswers = {{ERROR_NOT_SUPPORTED, 0}};
    EXPECT_EQ(List(), (std::vector<Listed>{{L"10.0.0.5", v4, L""}}));
    fake_.addressTableAnswers = {{ERROR_ACCESS_DENIED, 0}};
    EXPECT_THROW(List(), EOSError);
}

TEST_F(Enumeration, BufferGrowsToTheReportedSizeAndTheCallIsRepeated)
{
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V4("10.0.0.5")}}};
    fake_.adapterAddressAnswers = {{ERROR_BUFFER_OVERFLOW, 20000}};
    EXPECT_EQ(Stack().GetLocalAddress(), L"10.0.0.5");
    EXPECT_EQ(fake_.adapterAddressSizes, (std::vector<ULONG>{15360, 20000}));
    EXPECT_FALSE(fake_.bufferShorterThanSize);

    // As often as the platform asks.
    fake_.adapterAddressSizes.clear();
    fake_.adapterAddressAnswers = {{ERROR_BUFFER_OVERFLOW, 16000}, {ERROR_BUFFER_OVERFLOW, 40000}};
    EXPECT_EQ(Stack().GetLocalAddress(), L"10.0.0.5");
    EXPECT_EQ(fake_.adapterAddressSizes, (std::vector<ULONG>{15360, 16000, 40000}));
    EXPECT_FALSE(fake_.bufferShorterThanSize);
}

TEST_F(Enumeration, PlatformResultsOfTheAdapterAddressesCall)
{
    fake_.infoAdapters = {{{{"10.9.0.1", "255.255.0.0"}}}};
    struct Case {
        ULONG result;
        ULONG size;
        bool fallsBack;
    };
    const Case cases[] = {
        {NO_ERROR, 0, false},                      // success with nothing
        {ERROR_NO_DATA, 15360, false},             // 232
        {ERROR_ADDRESS_NOT_ASSOCIATED, 15360, false},  // 1228
        {ERROR_NOT_SUPPORTED, 0, true},            // 50: the adapter-info path answers
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        fake_.adapterInfoSizes.clear();
        fake_.adapterAddressAnswers = {{c.result, c.size}};
        auto listed = List();
        if (c.fallsBack) {
            EXPECT_EQ(listed, (std::vector<Listed>{{L"10.9.0.1", v4, L"255.255.0.0"}}));
        } else {
            EXPECT_TRUE(listed.empty());
            EXPECT_TRUE(fake_.adapterInfoSizes.empty());
        }
    }
    for (ULONG code : {ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER, ERROR_NOT_ENOUGH_MEMORY}) {
        fake_.adapterAddressAnswers = {{code, 0}};
        ::SetLastError(0);
        try {
            Stack().GetLocalAddress();
            ADD_FAILURE() << "no exception for " << code;
        } catch (const EOSError& error) {
            EXPECT_EQ(error.ErrorCode, code);
            EXPECT_EQ(::GetLastError(), code);
            EXPECT_NE(error.Message().find(std::to_wstring(code)), std::wstring::npos) << ToUtf8(error.Message());
        }
    }
}

TEST_F(Enumeration, AdapterInfoPathSkipsEmptyAndUnidirectionalAddresses)
{
    fake_.adapterAddressAnswers = {{ERROR_NOT_SUPPORTED, 0}, {ERROR_NOT_SUPPORTED, 0}, {ERROR_NOT_SUPPORTED, 0}};
    fake_.infoAdapters = {{{{"0.0.0.0", "0.0.0.0"}}},
                          {{{"10.9.9.9", "255.0.0.0"}, {"10.0.0.5", "255.0.0.0"}}},
                          {{{"192.168.1.20", "255.255.255.0"}, {"", ""}}}};
    fake_.unidirectional = {"10.9.9.9"};
    fake_.version = {5, 1};
    EXPECT_EQ(List(), (std::vector<Listed>{{L"10.0.0.5", v4, L"255.0.0.0"},
                                           {L"192.168.1.20", v4, L"255.255.255.0"}}));
    EXPECT_EQ(fake_.unidirectionalSizes, (std::vector<ULONG>{15360}));

    // Before 5.1 there is no list of receive-only addresses to consult.
    fake_.unidirectionalSizes.clear();
    fake_.version = {5, 0};
    EXPECT_EQ(Stack().GetLocalAddress(), L"10.9.9.9");
    EXPECT_TRUE(fake_.unidirectionalSizes.empty());

    // A long list of receive-only addresses: the buffer grows once for it.
    fake_.version = {5, 1};
    fake_.unidirectionalAnswers = {{ERROR_MORE_DATA, 20000}};
    EXPECT_EQ(Stack().GetLocalAddress(), L"10.0.0.5");
    EXPECT_EQ(fake_.unidirectionalSizes, (std::vector<ULONG>{15360, 20000}));
    EXPECT_FALSE(fake_.bufferShorterThanSize);
}

TEST_F(Enumeration, PlatformResultsOfTheAdapterInfoCall)
{
    fake_.infoAdapters = {{{{"10.0.0.5", "255.0.0.0"}}}};
    auto viaAdapterInfo = [&](std::initializer_list<Answer> answers) {
        fake_.adapterAddressAnswers = {{ERROR_NOT_SUPPORTED, 0}};
        fake_.adapterInfoAnswers = answers;
        fake_.adapterInfoSizes.clear();
        return List();
    };
    EXPECT_EQ(viaAdapterInfo({{ERROR_BUFFER_OVERFLOW, 20000}}), (std::vector<Listed>{{L"10.0.0.5", v4, L"255.0.0.0"}}));
    EXPECT_EQ(fake_.adapterInfoSizes, (std::vector<ULONG>{15360, 20000}));
    EXPECT_FALSE(fake_.bufferShorterThanSize);
    EXPECT_TRUE(viaAdapterInfo({{NO_ERROR, 0}}).empty());
    EXPECT_TRUE(viaAdapterInfo({{ERROR_NOT_SUPPORTED, 0}}).empty());
    EXPECT_TRUE(viaAdapterInfo({{ERROR_NO_DATA, 0}}).empty());
    EXPECT_THROW(viaAdapterInfo({{ERROR_ACCESS_DENIED, 0}}), EOSError);
    fake_.unidirectionalAnswers = {{ERROR_ACCESS_DENIED, 0}};
    EXPECT_THROW(viaAdapterInfo({}), EOSError);
    fake_.unidirectionalAnswers = {{ERROR_NO_DATA, 0}};
    EXPECT_EQ(viaAdapterInfo({}).size(), 1u);
}

TEST_F(Enumeration, LocalAddressListsHoldOnlyIPv4)
{
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V6(kLinkLocal6), V4("10.0.0.5"), V4("10.0.0.6")}}};
    const auto& first = Stack().GetLocalAddresses();
    EXPECT_EQ(first, (std::vector<std::wstring>{L"10.0.0.5", L"10.0.0.6"}));
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V4("192.168.1.20")}}};
    const auto& second = Stack().GetLocalAddresses();
    EXPECT_EQ(&first, &second);  // the same list, refilled
    EXPECT_EQ(second, (std::vector<std::wstring>{L"192.168.1.20"}));

    std::vector<std::wstring> appended{L"keep"};
    Stack().AddLocalAddressesToList(appended);
    EXPECT_EQ(appended, (std::vector<std::wstring>{L"keep", L"192.168.1.20"}));
}

TEST_F(Enumeration, NoPathLeaksItsBuffers)
{
    // Each enumeration allocates at least one 15 KB buffer; a buffer lost on any path would
    // add tens of megabytes over these rounds.
    fake_.adapters = {{IF_TYPE_ETHERNET_CSMACD, 0, {V6(kLinkLocal6), V4("10.0.0.5"), V4("10.0.0.6")}}};
    fake_.infoAdapters = {{{{"10.0.0.5", "255.0.0.0"}}}};
    fake_.addressTable = {{"10.0.0.5", "255.0.0.0"}};
    fake_.unidirectional = {"10.9.9.9"};
    auto round = [&] {
        fake_.version = {6, 1};
        fake_.adapterAddressAnswers = {{ERROR_BUFFER_OVERFLOW, 20000}};
        Stack().GetLocalAddress();
        fake_.adapterAddressAnswers = {{ERROR_ACCESS_DENIED, 0}};
        EXPECT_THROW(Stack().GetLocalAddress(), EOSError);
        fake_.version = {5, 2};
        Stack().GetLocalAddress();
        fake_.addressTableAnswers = {{ERROR_INSUFFICIENT_BUFFER, 100}, {ERROR_ACCESS_DENIED, 0}};
        EXPECT_THROW(Stack().GetLocalAddress(), EOSError);
        fake_.adapterAddressAnswers = {{ERROR_NOT_SUPPORTED, 0}, {ERROR_NOT_SUPPORTED, 0}};
        fake_.adapterInfoAnswers = {{ERROR_BUFFER_OVERFLOW, 20000}};
        Stack().GetLocalAddress();
        fake_.unidirectionalAnswers = {{ERROR_MORE_DATA, 20000}, {ERROR_ACCESS_DENIED, 0}};
        EXPECT_THROW(Stack().GetLocalAddress(), EOSError);
        fake_.adapterAddressSizes.clear();
        fake_.adapterInfoSizes.clear();
        fake_.unidirectionalSizes.clear();
        fake_.addressTableSizes.clear();
    };
    for (int i = 0; i < 50; ++i) round();  // let the heap settle
    const long long before = testing::HeapBytesInUse();
    for (int i = 0; i < 500; ++i) round();
    const long long after = testing::HeapBytesInUse();
    EXPECT_LT(after, before + 64 * 1024) << "grew by " << (after - before) << " bytes";
    EXPECT_FALSE(fake_.bufferShorterThanSize);
}

}  // namespace
}  // namespace vantrel
