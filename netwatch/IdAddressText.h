#pragma once
// Text forms of addresses as the rest of the program shows them, and the small helpers the
// enumeration needs to read the platform's records. No Windows header: the rules are tested
// natively, under the sanitizers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/PlatformVersion.h"

namespace vantrel {

// Four bytes in network order, each in decimal without leading zeros: "192.168.1.20".
std::wstring IPv4ToText(const unsigned char* fourBytes);

// Sixteen bytes in network order as eight upper-case hexadecimal groups without leading
// zeros, joined by ":". Runs of zero groups are written out ("FE80:0:0:0:21C:42FF:FE00:8"),
// never shortened to "::", so every address has exactly one spelling.
std::wstring IPv6ToText(const unsigned char* sixteenBytes);

// A fixed-size text field of a platform record (such as IP_ADDR_STRING's 16 characters):
// the characters up to the first NUL, at most `capacity` of them.
std::wstring FixedFieldText(const char* field, std::size_t capacity);

// Subnet masks of the old platforms come from a separate address table; the enumeration
// builds it at most once and looks each IPv4 address up in it.
class TIdAddressMaskTable {
public:
    void Add(std::wstring address, std::wstring mask);
    // The mask recorded for the first row with exactly this address, or empty.
    std::wstring MaskOf(const std::wstring& address) const;
    bool Empty() const noexcept { return rows_.empty(); }

private:
    std::vector<std::pair<std::wstring, std::wstring>> rows_;
};

}  // namespace vantrel
