// Feeds arbitrary bytes to the datagram decoder, as anyone on the network could.
// The sanitizers report any read outside the datagram; the checks below catch an answer the
// decoder could not have justified from the bytes it was given.

#include "hosttest/IcmpCodec.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrel::icmp;
    // The identifier and sequence the decoder looks for are the ones the corpus was made with,
    // so that the fuzzer starts from datagrams that do answer.
    constexpr std::uint16_t kIdentifier = 0xBEEF;
    constexpr std::uint16_t kSequence = 3489;

    // A copy of exactly `size` bytes: a read past the end lands outside the allocation.
    std::vector<std::uint8_t> datagram(data, data + size);
    Datagram d = DecodeDatagram(datagram, kIdentifier, kSequence);
    if (d.verdict != Verdict::Answer) return 0;

    // An answer needs at least an IPv4 header and an ICMP header, and carries our sequence.
    std::size_t header = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
    if (header < 20 || size < header + 8 || d.sequence != kSequence) std::abort();
    if (!ReplyStatusTypeOf(d.type)) std::abort();
    if (d.replyData && d.replyData->size() != size - header - 8) std::abort();

    vantrel::TReplyStatus status;
    ApplyAnswer(status, d, static_cast<std::int32_t>(size), 1);
    return 0;
}
