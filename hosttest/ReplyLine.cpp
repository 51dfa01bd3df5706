#include "hosttest/ReplyLine.h"

namespace vantrel {

std::wstring ReplyLine(const TReplyStatus& status)
{
    switch (status.ReplyStatusType) {
    case TReplyStatusTypes::rsEcho:
        return L"Time=" + std::to_wstring(static_cast<int>(status.MsRoundTripTime)) + L"ms";
    case TReplyStatusTypes::rsTimeOut:
        // A time-out is not a round trip: say so rather than print the time waited.
        return L"Request timed out.";
    default:
        return L"Reply from " + status.FromIpAddress + L": " + status.Msg;
    }
}

}  // namespace vantrel
