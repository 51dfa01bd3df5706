#include "hosttest/ReplyLine.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vantrel {
namespace {

TEST(HostTestReplyLine, OneLinePerKindOfAnswer)
{
    struct Case {
        TReplyStatusTypes type;
        std::uint32_t roundTrip;
        const wchar_t* from;
        const wchar_t* msg;
        const wchar_t* line;
    };
    const Case cases[] = {
        {TReplyStatusTypes::rsEcho, 0, L"127.0.0.1", L"Echo", L"Time=0ms"},
        {TReplyStatusTypes::rsEcho, 31, L"198.18.1.2", L"Echo", L"Time=31ms"},
        {TReplyStatusTypes::rsEcho, 4999, L"198.18.1.2", L"Echo", L"Time=4999ms"},
        // A time-out is no round trip, whatever time was waited.
        {TReplyStatusTypes::rsTimeOut, 5000, L"0.0.0.0", L"Timeout", L"Request timed out."},
        {TReplyStatusTypes::rsTimeOut, 0, L"0.0.0.0", L"Timeout", L"Request timed out."},
        // Error answers name the router that sent them and what it said.
        {TReplyStatusTypes::rsErrorUnreachable, 2, L"198.18.3.2", L"host unreachable;",
         L"Reply from 198.18.3.2: host unreachable;"},
        {TReplyStatusTypes::rsErrorUnreachable, 2, L"198.18.3.1", L"net unreachable;",
         L"Reply from 198.18.3.1: net unreachable;"},
        {TReplyStatusTypes::rsErrorTTLExceeded, 7, L"198.18.4.1", L"time to live exceeded in transit",
         L"Reply from 198.18.4.1: time to live exceeded in transit"},
        {TReplyStatusTypes::rsSourceQuench, 1, L"198.18.4.1", L"Source Quench Message",
         L"Reply from 198.18.4.1: Source Quench Message"},
        {TReplyStatusTypes::rsRedirect, 1, L"198.18.4.1", L"Redirect datagrams for the Host.",
         L"Reply from 198.18.4.1: Redirect datagrams for the Host."},
        {TReplyStatusTypes::rsErrorParameter, 1, L"198.18.4.1", L"Parameter Problem (offset 20)",
         L"Reply from 198.18.4.1: Parameter Problem (offset 20)"},
    };
    for (const Case& c : cases) {
        TReplyStatus status;
        status.ReplyStatusType = c.type;
        status.MsRoundTripTime = c.roundTrip;
        status.FromIpAddress = c.from;
        status.Msg = c.msg;
        EXPECT_EQ(ReplyLine(status), c.line);
    }
}

}  // namespace
}  // namespace vantrel
