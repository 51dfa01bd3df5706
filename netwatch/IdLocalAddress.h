#pragma once
// The machine's own addresses as one enumeration found them, in the platform's order.
// No Windows header: the enumeration fills it, everything else only reads it.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

enum class TIdIPVersion { Id_IPv4, Id_IPv6 };

class TIdStackLocalAddressList;

class TIdStackLocalAddress {
public:
    virtual ~TIdStackLocalAddress() = default;
    TIdIPVersion GetIPVersion() const noexcept { return FIPVersion; }
    const std::wstring& GetIPAddress() const noexcept { return FIPAddress; }

protected:
    TIdStackLocalAddress(TIdIPVersion version, std::wstring address)
        : FIPVersion(version), FIPAddress(std::move(address))
    {
    }

private:
    TIdIPVersion FIPVersion;
    std::wstring FIPAddress;
};

class TIdStackLocalAddressIPv4 : public TIdStackLocalAddress {
public:
    // The mask in dotted form, or empty when the platform gave none.
    const std::wstring& GetSubNetMask() const noexcept { return FSubNetMask; }

private:
    friend class TIdStackLocalAddressList;
    TIdStackLocalAddressIPv4(std::wstring address, std::wstring subNetMask)
        : TIdStackLocalAddress(TIdIPVersion::Id_IPv4, std::move(address)), FSubNetMask(std::move(subNetMask))
    {
    }
    std::wstring FSubNetMask;
};

class TIdStackLocalAddressIPv6 : public TIdStackLocalAddress {
private:
    friend class TIdStackLocalAddressList;
    explicit TIdStackLocalAddressIPv6(std::wstring address)
        : TIdStackLocalAddress(TIdIPVersion::Id_IPv6, std::move(address))
    {
    }
};

// Items are made only by the list (AddIPv4, AddIPv6), which owns them.
class TIdStackLocalAddressList {
public:
    TIdStackLocalAddressList() = default;
    TIdStackLocalAddressList(const TIdStackLocalAddressList&) = delete;
    TIdStackLocalAddressList& operator=(const TIdStackLocalAddressList&) = delete;

    // Append an item; the list owns it. Returns the new item.
    TIdStackLocalAddressIPv4& AddIPv4(std::wstring address, std::wstring subNetMask);
    TIdStackLocalAddressIPv6& AddIPv6(std::wstring address);

    std::size_t GetCount() const noexcept { return items_.size(); }
    const TIdStackLocalAddress& GetAddress(std::size_t index) const { return *items_.at(index); }
    const TIdStackLocalAddress& operator[](std::size_t index) const { return GetAddress(index); }

    // Index of the first item whose address is exactly `address` (and, in the second form,
    // whose version is `version`), or -1.
    int IndexOfIP(const std::wstring& address) const noexcept;
    int IndexOfIP(const std::wstring& address, TIdIPVersion version) const noexcept;

private:
    std::vector<std::unique_ptr<TIdStackLocalAddress>> items_;
};

// The address the rest of the program calls "the local address": the first IPv4 item, or
// empty. There is deliberately no preference beyond order.
std::wstring FirstIPv4Address(const TIdStackLocalAddressList& list);

}  // namespace vantrel
