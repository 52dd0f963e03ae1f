// Every DirectPlay message a joiner or a host decodes: the frame, then the body as each
// command's decoder reads it, the player-message payload both ways, and the TCP framer fed
// the same bytes in pieces.
#include <cstddef>
#include <cstdint>

#include "platform/directplay/wire.h"

namespace wire = platform::directplay::wire;

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
        (void)wire::DecodeId(body);
        (void)wire::DecodeSuperEnumPlayersReply(body);
        (void)wire::DecodePing(body);
        (void)wire::DecodePlayerPayload(body, false);
        (void)wire::DecodePlayerPayload(body, true);
    }
    (void)wire::DecodeSessionDesc(bytes);
    (void)wire::DecodePackedPlayer(bytes);
    std::size_t used = 0;
    if (wire::DecodeSuperPackedPlayer(bytes, used) && used > size) __builtin_trap();
    wire::StreamFramer framer;
    for (std::size_t at = 0; at < size; at += 7) {
        framer.Append(bytes.subspan(at, size - at < 7 ? size - at : 7));
        while (auto next = framer.Next()) {
            if (next->size() < wire::kPrefixSize) __builtin_trap();
        }
    }
    return 0;
}
