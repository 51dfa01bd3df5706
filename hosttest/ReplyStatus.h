#pragma once
// The result of one ICMP echo exchange. No Windows header: the datagram codec fills it and
// builds natively.

#include <cstdint>
#include <string>

namespace vantrel {

enum class TReplyStatusTypes : std::uint8_t {
    rsEcho,
    rsError,
    rsTimeOut,
    rsErrorUnreachable,
    rsErrorTTLExceeded,
    rsErrorPacketTooBig,
    rsErrorParameter,
    rsErrorDatagramConversion,
    rsErrorSecurityFailure,
    rsSourceQuench,
    rsRedirect,
    rsTimeStamp,
    rsInfoRequest,
    rsAddressMaskRequest,
    rsTraceRoute,
    rsMobileHostReg,
    rsMobileHostRedir,
    rsIPv6WhereAreYou,
    rsIPv6IAmHere,
    rsSKIP,
};

// One record per client, reused by every exchange; an exchange overwrites only what it
// learns, so a field it does not touch keeps the previous exchange's value.
struct TReplyStatus {
    std::int32_t BytesReceived = 0;
    std::wstring FromIpAddress;
    std::wstring ToIpAddress;
    std::uint8_t MsgType = 0;
    std::uint8_t MsgCode = 0;
    std::uint16_t SequenceId = 0;
    std::uint32_t MsRoundTripTime = 0;
    std::uint8_t TimeToLive = 0;
    TReplyStatusTypes ReplyStatusType = TReplyStatusTypes::rsEcho;
    std::int32_t PacketNumber = 0;
    std::wstring HostName;
    std::wstring Msg;
    std::wstring RedirectTo;
};

}  // namespace vantrel
