// Every DirectPlay message a joiner or a host decodes: the frame, then the body as each
// command's decoder reads it, the player-message payload both ways, and the TCP framer fed
// the same bytes in pieces; and the reliable protocol's frames, cut from the input one after
// another and fed to a link, which must never hold more than its bounds.
#include <cstddef>
#include <cstdint>

#include "directplay/reliable.h"
#include "directplay/wire.h"

namespace wire = directplay::wire;
namespace rp = directplay::reliable;

namespace {

void FeedReliableLink(std::span<const std::uint8_t> bytes) {
    std::size_t delivered = 0;
    rp::Link link(
        1, 2, [](const rp::Bytes&) {},
        [&](const rp::Frame&, rp::Bytes message) {
            ++delivered;
            if (message.size() > 300 * rp::kMaxFrameData)
                __builtin_trap();
        });
    (void)link.Send(1, 2, rp::Bytes(3000, 7), true, 0);
    std::int64_t now = 0;
    // Each frame: a length byte, then that many bytes.
    while (!bytes.empty()) {
        const std::size_t length = bytes[0] < bytes.size() ? bytes[0] : bytes.size() - 1;
        if (auto frame = rp::DecodeFrame(bytes.subspan(1, length)))
            link.OnFrame(*frame, now);
        bytes = bytes.subspan(1 + length);
        now += 7;
        link.Tick(now);
        if (link.Outstanding() > rp::kWindow)
            __builtin_trap();
    }
    (void)delivered;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (auto frame = wire::DecodeFrame(bytes)) {
        const auto& body = frame->body;
        (void)wire::DecodeEnumSessions(body);
        (void)wire::DecodeEnumSessionsReply(body);
        (void)wire::DecodeRequestPlayerId(body);
        (void)wire::DecodeRequestPlayerReply(body);
        (void)wire::DecodePlayerCreate(body, true);
        (void)wire::DecodePlayerCreate(body, false);
        (void)wire::DecodeDeletePlayer(body);
        if (const auto change = wire::DecodePlayerDataChanged(body)) {
            // What is read writes back to the same bytes it was read from.
            if (wire::DecodePlayerDataChanged(wire::EncodePlayerDataChanged(*change)) != change)
                __builtin_trap();
        }
        (void)wire::DecodeId(body);
        (void)wire::DecodeSuperEnumPlayersReply(body);
        (void)wire::DecodePing(body);
        (void)wire::DecodePlayerPayload(body, false);
        (void)wire::DecodePlayerPayload(body, true);
    }
    (void)wire::DecodeSessionDesc(bytes);
    (void)wire::DecodePackedPlayer(bytes);
    std::size_t used = 0;
    if (wire::DecodeSuperPackedPlayer(bytes, used) && used > size)
        __builtin_trap();
    if (auto frame = rp::DecodeFrame(bytes)) {
        if (frame->IsData() && frame->data.size() + 4 > size)
            __builtin_trap();
    }
    FeedReliableLink(bytes);
    wire::StreamFramer framer;
    for (std::size_t at = 0; at < size; at += 7) {
        framer.Append(bytes.subspan(at, size - at < 7 ? size - at : 7));
        while (auto next = framer.Next()) {
            if (next->size() < wire::kPrefixSize)
                __builtin_trap();
        }
    }
    return 0;
}
