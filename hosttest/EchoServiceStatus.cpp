#include "hosttest/EchoServiceStatus.h"

namespace vantrel::icmp {

namespace {

constexpr std::int32_t kIpHeaderSize = 20;
constexpr std::int32_t kIcmpHeaderSize = 8;
// The least an ICMP error carries: its own headers, then the quoted IPv4 header and the first
// 8 bytes of our request. The service hands over none of it, so this is the count it stands for.
constexpr std::int32_t kIcmpErrorSize = kIpHeaderSize + kIcmpHeaderSize + kIpHeaderSize + kIcmpHeaderSize;

ServiceStatus Error(std::uint8_t type, std::uint8_t code)
{
    return {ServiceOutcome::IcmpError, type, code};
}

}  // namespace

ServiceStatus ClassifyServiceStatus(std::uint32_t status) noexcept
{
    switch (status) {
    case service::kSuccess: return {ServiceOutcome::Echo, kEchoReply, 0};
    case service::kRequestTimedOut: return {ServiceOutcome::TimeOut, 0, 0};
    case service::kDestinationNetUnreachable: return Error(kDestinationUnreachable, 0);
    case service::kDestinationHostUnreachable: return Error(kDestinationUnreachable, 1);
    case service::kDestinationProtocolUnreachable: return Error(kDestinationUnreachable, 2);
    case service::kDestinationPortUnreachable: return Error(kDestinationUnreachable, 3);
    // The service reports "fragmentation needed" and "source route failed" as these two.
    case service::kPacketTooBig: return Error(kDestinationUnreachable, 4);
    case service::kBadRoute: return Error(kDestinationUnreachable, 5);
    case service::kTtlExpiredInTransit: return Error(kTimeExceeded, 0);
    case service::kTtlExpiredInReassembly: return Error(kTimeExceeded, 1);
    case service::kParameterProblem: return Error(kParameterProblem, 0);
    case service::kSourceQuench: return Error(kSourceQuench, 0);
    // Refusals of the request itself, before anything was sent, and anything undocumented.
    case service::kBufferTooSmall:
    case service::kNoResources:
    case service::kBadOption:
    case service::kHardwareError:
    case service::kBadRequest:
    case service::kOptionTooBig:
    case service::kBadDestination:
    case service::kGeneralFailure:
    default: return {ServiceOutcome::Failure, 0, 0};
    }
}

bool ApplyServiceReply(TReplyStatus& status, std::wstring& replyData, const ServiceReply& reply,
                       std::uint16_t sequence, std::uint32_t roundTrip)
{
    const ServiceStatus kind = ClassifyServiceStatus(reply.status);
    switch (kind.outcome) {
    case ServiceOutcome::Failure:
        status.ReplyStatusType = TReplyStatusTypes::rsError;
        return false;
    case ServiceOutcome::TimeOut:
        ApplyTimeOut(status, sequence, roundTrip);
        return true;
    case ServiceOutcome::Echo:
        replyData.assign(reply.data.begin(), reply.data.end());
        status.BytesReceived = kIpHeaderSize + reply.optionsSize + kIcmpHeaderSize +
                               static_cast<std::int32_t>(reply.data.size());
        break;
    case ServiceOutcome::IcmpError:
        status.BytesReceived = kIcmpErrorSize + reply.optionsSize;
        break;
    }
    status.FromIpAddress = FormatIPv4(reply.from);
    status.ToIpAddress = FormatIPv4(reply.to);
    status.MsgType = kind.type;
    status.MsgCode = kind.code;
    status.SequenceId = sequence;
    status.MsRoundTripTime = roundTrip;
    status.TimeToLive = reply.timeToLive;
    status.ReplyStatusType = *ReplyStatusTypeOf(kind.type);
    // The service does not say which octet a parameter problem points at.
    status.Msg = ReplyMessage(kind.type, kind.code, 0);
    return true;
}

}  // namespace vantrel::icmp
