#include <gtest/gtest.h>

#include <array>

#include "netwatch/IdAddressText.h"
#include "netwatch/IdLocalAddress.h"

namespace vantrel {
namespace {

struct IPv4Case {
    std::array<unsigned char, 4> bytes;
    const wchar_t* text;
};

TEST(AddressText, IPv4IsDottedDecimalWithoutLeadingZeros)
{
    const IPv4Case cases[] = {
        {{192, 168, 1, 20}, L"192.168.1.20"},
        {{0, 0, 0, 0}, L"0.0.0.0"},
        {{255, 255, 255, 255}, L"255.255.255.255"},
        {{10, 0, 0, 5}, L"10.0.0.5"},
        {{1, 2, 3, 4}, L"1.2.3.4"},  // byte order: first byte first
        {{127, 0, 0, 1}, L"127.0.0.1"},
        {{255, 255, 255, 0}, L"255.255.255.0"},
    };
    for (const auto& c : cases) EXPECT_EQ(IPv4ToText(c.bytes.data()), c.text);
}

struct IPv6Case {
    std::array<unsigned char, 16> bytes;
    const wchar_t* text;
};

TEST(AddressText, IPv6IsUpperCaseGroupsWithoutShortening)
{
    const IPv6Case cases[] = {
        {{0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x1C, 0x42, 0xFF, 0xFE, 0x00, 0x00, 0x08}, L"FE80:0:0:0:21C:42FF:FE00:8"},
        {{}, L"0:0:0:0:0:0:0:0"},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, L"0:0:0:0:0:0:0:1"},
        {{0x20, 0x01, 0x0D, 0xB8, 0xAB, 0xCD, 0x00, 0x12, 0x00, 0x0F, 0x01, 0x00, 0x10, 0x00, 0xFF, 0xFF},
         L"2001:DB8:ABCD:12:F:100:1000:FFFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(IPv6ToText(c.bytes.data()), c.text);
}

TEST(AddressText, FixedFieldStopsAtNulOrCapacity)
{
    const char full[16] = {'2', '5', '5', '.', '2', '5', '5', '.', '2', '5', '5', '.', '2', '5', '5', '9'};
    EXPECT_EQ(FixedFieldText(full, 16), L"255.255.255.2559");  // no NUL: capacity ends it
    const char shortText[16] = "10.0.0.5";
    EXPECT_EQ(FixedFieldText(shortText, 16), L"10.0.0.5");
    const char empty[16] = {};
    EXPECT_EQ(FixedFieldText(empty, 16), L"");
}

TEST(AddressText, VersionTestComparesMajorThenMinor)
{
    struct Case {
        TPlatformVersion version;
        std::uint32_t major, minor;
        bool expected;
    };
    const Case cases[] = {
        {{6, 0}, 6, 0, true},  {{5, 2}, 6, 0, false}, {{10, 0}, 6, 0, true}, {{5, 1}, 5, 1, true},
        {{5, 0}, 5, 1, false}, {{6, 0}, 5, 1, true},  {{4, 90}, 5, 1, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VersionAtLeast(c.version, c.major, c.minor), c.expected)
            << c.version.Major << "." << c.version.Minor << " >= " << c.major << "." << c.minor;
    }
}

TEST(AddressText, MaskTableFindsExactAddressOnly)
{
    TIdAddressMaskTable table;
    EXPECT_TRUE(table.Empty());
    table.Add(L"10.0.0.5", L"255.0.0.0");
    table.Add(L"192.168.1.20", L"255.255.255.0");
    table.Add(L"10.0.0.5", L"255.255.0.0");  // a later duplicate never wins
    EXPECT_EQ(table.MaskOf(L"192.168.1.20"), L"255.255.255.0");
    EXPECT_EQ(table.MaskOf(L"10.0.0.5"), L"255.0.0.0");
    EXPECT_EQ(table.MaskOf(L"10.0.0.50"), L"");
    EXPECT_EQ(table.MaskOf(L"10.0.0."), L"");
}

TEST(LocalAddressList, FirstIPv4WinsAndIPv6IsNeverChosen)
{
    TIdStackLocalAddressList list;
    EXPECT_EQ(FirstIPv4Address(list), L"");
    list.AddIPv6(L"FE80:0:0:0:21C:42FF:FE00:8");
    EXPECT_EQ(FirstIPv4Address(list), L"");
    list.AddIPv4(L"10.0.0.5", L"255.0.0.0");
    list.AddIPv4(L"192.168.1.20", L"");
    EXPECT_EQ(FirstIPv4Address(list), L"10.0.0.5");
    ASSERT_EQ(list.GetCount(), 3u);
    EXPECT_EQ(list[0].GetIPVersion(), TIdIPVersion::Id_IPv6);
    EXPECT_EQ(static_cast<const TIdStackLocalAddressIPv4&>(list[1]).GetSubNetMask(), L"255.0.0.0");
}

TEST(LocalAddressList, IndexOfIPIsExactAndOptionallyByVersion)
{
    TIdStackLocalAddressList list;
    list.AddIPv6(L"0:0:0:0:0:0:0:1");
    list.AddIPv4(L"10.0.0.5", L"");
    list.AddIPv4(L"10.0.0.5", L"255.0.0.0");
    EXPECT_EQ(list.IndexOfIP(L"10.0.0.5"), 1);
    EXPECT_EQ(list.IndexOfIP(L"10.0.0.50"), -1);
    EXPECT_EQ(list.IndexOfIP(L"0:0:0:0:0:0:0:1", TIdIPVersion::Id_IPv6), 0);
    EXPECT_EQ(list.IndexOfIP(L"0:0:0:0:0:0:0:1", TIdIPVersion::Id_IPv4), -1);
    EXPECT_EQ(list.IndexOfIP(L"10.0.0.5", TIdIPVersion::Id_IPv4), 1);
}

}  // namespace
}  // namespace vantrel
