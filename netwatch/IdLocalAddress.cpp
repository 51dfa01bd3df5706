#include "netwatch/IdLocalAddress.h"

namespace vantrel {

TIdStackLocalAddressIPv4& TIdStackLocalAddressList::AddIPv4(std::wstring address, std::wstring subNetMask)
{
    auto* item = new TIdStackLocalAddressIPv4(std::move(address), std::move(subNetMask));
    items_.emplace_back(item);
    return *item;
}

TIdStackLocalAddressIPv6& TIdStackLocalAddressList::AddIPv6(std::wstring address)
{
    auto* item = new TIdStackLocalAddressIPv6(std::move(address));
    items_.emplace_back(item);
    return *item;
}

int TIdStackLocalAddressList::IndexOfIP(const std::wstring& address) const noexcept
{
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->GetIPAddress() == address) return static_cast<int>(i);
    }
    return -1;
}

int TIdStackLocalAddressList::IndexOfIP(const std::wstring& address, TIdIPVersion version) const noexcept
{
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i]->GetIPVersion() == version && items_[i]->GetIPAddress() == address) return static_cast<int>(i);
    }
    return -1;
}

std::wstring FirstIPv4Address(const TIdStackLocalAddressList& list)
{
    for (std::size_t i = 0; i < list.GetCount(); ++i) {
        if (list[i].GetIPVersion() == TIdIPVersion::Id_IPv4) return list[i].GetIPAddress();
    }
    return {};
}

}  // namespace vantrel
