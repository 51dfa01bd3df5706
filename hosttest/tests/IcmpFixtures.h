#pragma once
// Byte fixtures of ICMP over IPv4 as a raw socket delivers them: the IPv4 header first.
// Written out field by field, independently of the codec under test.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel::icmp::fixtures {

using Bytes = std::vector<std::uint8_t>;

// An IPv4 header with `optionWords` 32-bit words of options (NOP options), then `body`.
inline Bytes Ipv4(std::uint8_t protocol, std::vector<std::uint8_t> from, std::vector<std::uint8_t> to,
                  const Bytes& body, std::uint8_t optionWords = 0, std::uint8_t ttl = 64)
{
    std::size_t headerLength = 20 + optionWords * 4u;
    std::size_t total = headerLength + body.size();
    Bytes out = {static_cast<std::uint8_t>(0x40 | (5 + optionWords)), 0,
                 static_cast<std::uint8_t>(total >> 8), static_cast<std::uint8_t>(total & 0xFF),
                 0x12, 0x34, 0x40, 0, ttl, protocol, 0, 0};
    out.insert(out.end(), from.begin(), from.end());
    out.insert(out.end(), to.begin(), to.end());
    out.insert(out.end(), optionWords * 4u, std::uint8_t{1});  // NOP
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// An echo message of `type` (0 reply, 8 request), identifier and sequence LSB first, an
// 8-byte stamp and `payload`. The checksum is left 0: the client does not verify it.
inline Bytes Echo(std::uint8_t type, std::uint16_t identifier, std::uint16_t sequence, const Bytes& payload = {})
{
    Bytes out = {type,
                 0,
                 0,
                 0,
                 static_cast<std::uint8_t>(identifier & 0xFF),
                 static_cast<std::uint8_t>(identifier >> 8),
                 static_cast<std::uint8_t>(sequence & 0xFF),
                 static_cast<std::uint8_t>(sequence >> 8),
                 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// An ICMP error message quoting `quoted` (an IPv4 datagram). `rest` is the second word of the
// ICMP header: the gateway of a redirect, the pointer of a parameter problem.
inline Bytes Error(std::uint8_t type, std::uint8_t code, const Bytes& quoted,
                   std::vector<std::uint8_t> rest = {0, 0, 0, 0})
{
    Bytes out = {type, code, 0, 0};
    out.insert(out.end(), rest.begin(), rest.end());
    out.insert(out.end(), quoted.begin(), quoted.end());
    return out;
}

}  // namespace vantrel::icmp::fixtures
