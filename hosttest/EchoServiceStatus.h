#pragma once
// What the platform's ICMP echo service reports, turned into the result the raw-socket path
// gives for the same outcome. The service is the way out for a user who may not open a raw
// socket; the host test window must not be able to tell which of the two answered.
//
// The service reports a status number of its own (the IP_STATUS_BASE table) instead of the
// ICMP type and code. Each ICMP error it can report is mapped back to the type and code that
// carry it on the wire, so that the status kind and the text come from the same tables as on
// the raw path. No Windows header: the status values are written out as numbers.

#include "hosttest/IcmpCodec.h"
#include "hosttest/ReplyStatus.h"

#include <cstdint>
#include <span>
#include <string>

namespace vantrel::icmp {

namespace service {
inline constexpr std::uint32_t kSuccess = 0;
inline constexpr std::uint32_t kBase = 11000;
inline constexpr std::uint32_t kBufferTooSmall = kBase + 1;
inline constexpr std::uint32_t kDestinationNetUnreachable = kBase + 2;
inline constexpr std::uint32_t kDestinationHostUnreachable = kBase + 3;
inline constexpr std::uint32_t kDestinationProtocolUnreachable = kBase + 4;
inline constexpr std::uint32_t kDestinationPortUnreachable = kBase + 5;
inline constexpr std::uint32_t kNoResources = kBase + 6;
inline constexpr std::uint32_t kBadOption = kBase + 7;
inline constexpr std::uint32_t kHardwareError = kBase + 8;
inline constexpr std::uint32_t kPacketTooBig = kBase + 9;
inline constexpr std::uint32_t kRequestTimedOut = kBase + 10;
inline constexpr std::uint32_t kBadRequest = kBase + 11;
inline constexpr std::uint32_t kBadRoute = kBase + 12;
inline constexpr std::uint32_t kTtlExpiredInTransit = kBase + 13;
inline constexpr std::uint32_t kTtlExpiredInReassembly = kBase + 14;
inline constexpr std::uint32_t kParameterProblem = kBase + 15;
inline constexpr std::uint32_t kSourceQuench = kBase + 16;
inline constexpr std::uint32_t kOptionTooBig = kBase + 17;
inline constexpr std::uint32_t kBadDestination = kBase + 18;
inline constexpr std::uint32_t kGeneralFailure = kBase + 50;
}  // namespace service

enum class ServiceOutcome {
    Echo,       // the host answered
    TimeOut,    // nothing came back within the time-out
    IcmpError,  // a router or the host answered with an ICMP error
    Failure,    // the request could not be made: the ping fails
};

struct ServiceStatus {
    ServiceOutcome outcome = ServiceOutcome::Failure;
    std::uint8_t type = 0;  // the ICMP type and code that carry the outcome on the wire
    std::uint8_t code = 0;
};

// Every status the service documents for a reply; anything else is a failure.
ServiceStatus ClassifyServiceStatus(std::uint32_t status) noexcept;

// One exchange as the service reported it: the reply's fields, or for a failed call the last
// error as `status` and whatever the reply buffer held.
struct ServiceReply {
    std::uint32_t status = 0;
    IPv4Address from{};            // the replying host, or the router that reported the error
    IPv4Address to{};              // our own address on the way to the host
    std::uint8_t timeToLive = 0;
    std::uint8_t optionsSize = 0;  // bytes of IPv4 options in the reply
    std::span<const std::uint8_t> data;  // the echoed request data (stamp and payload)
};

// Writes the exchange into the client's record as the raw path would have written the same
// outcome: the same kind, type, code and text, with `roundTrip` as our own measurement.
// `replyData` receives the echoed bytes of an echo. Returns false for a failure, which the
// caller raises; the record then holds rsError, as a failed decode leaves it.
bool ApplyServiceReply(TReplyStatus& status, std::wstring& replyData, const ServiceReply& reply,
                       std::uint16_t sequence, std::uint32_t roundTrip);

}  // namespace vantrel::icmp
