// The enumeration against the real platform: under Wine it must find what the host itself
// reports, and never the loopback address.

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

#include "app/Exceptions.h"
#include "netwatch/IdComponent.h"
#include "netwatch/IdStack.h"

namespace vantrel {
namespace {

TEST(RealEnumeration, FindsAnAddressOfThisMachineAndNeverLoopback)
{
    // The CTest entry passes the host's IPv4 addresses (`ip -4 addr`), loopback included.
    const char* hostView = std::getenv("VANTREL_HOST_IPV4");
    if (!hostView) GTEST_SKIP() << "needs VANTREL_HOST_IPV4 from the CTest entry";
    std::set<std::wstring> hostAddresses;
    std::istringstream words(hostView);
    for (std::string word; words >> word;) {
        if (word.rfind("127.", 0) != 0) hostAddresses.insert(FromUtf8(word));
    }

    TIdComponent component;
    TIdStack& stack = *TIdStack::GetSharedStack();
    const std::wstring local = stack.GetLocalAddress();
    if (hostAddresses.empty()) {
        EXPECT_EQ(local, L"");
    } else {
        EXPECT_EQ(hostAddresses.count(local), 1u) << "found \"" << ToUtf8(local) << "\", host has " << hostView;
    }

    TIdStackLocalAddressList list;
    stack.GetLocalAddressList(list);
    for (std::size_t i = 0; i < list.GetCount(); ++i) {
        EXPECT_NE(list[i].GetIPAddress().rfind(L"127.", 0), 0u) << ToUtf8(list[i].GetIPAddress());
        EXPECT_NE(list[i].GetIPAddress(), L"0:0:0:0:0:0:0:1");
    }
    for (const auto& address : hostAddresses) {
        EXPECT_GE(list.IndexOfIP(address, TIdIPVersion::Id_IPv4), 0) << "not listed: " << ToUtf8(address);
    }
}

}  // namespace
}  // namespace vantrel
