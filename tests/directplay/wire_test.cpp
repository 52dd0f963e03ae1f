// The DirectPlay codecs against the published examples and the layouts Windows uses, and
// against hostile input: every decoder must refuse what does not fit instead of reading on.

#include <gtest/gtest.h>

#include <string>

#include "directplay/directplay.h"
#include "directplay/wire.h"

namespace dp = directplay;
namespace wire = directplay::wire;

namespace {

std::uint32_t U32(const wire::Bytes& b, std::size_t at) {
    return wire::LoadU32(b.data() + at);
}
std::uint16_t U16(const wire::Bytes& b, std::size_t at) {
    return wire::LoadU16(b.data() + at);
}

wire::Guid ExampleApplication() {
    // Section 4 prints the raw bytes of the GUID.
    return {0xA0, 0x52, 0xA5, 0x0B, 0xFF, 0xE0, 0xCF, 0x11,
            0x9C, 0x4E, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E};
}

const wire::SockAddr kJoiner{0, 2300};

wire::PlayerInfo SystemPlayer(std::int32_t id) {
    wire::PlayerInfo p;
    p.flags = wire::player_flag::kSystem | wire::player_flag::kLocal;
    p.id = id;
    p.systemPlayerId = id;
    p.hasAddresses = true;
    p.stream = {0, 2300};
    p.datagram = {0, 2350};
    return p;
}

TEST(DirectPlayWire, EnumSessionsMatchesTheExampleWithPassword) {
    const auto frame =
        wire::EncodeFrame(kJoiner, wire::Command::EnumSessions, 14,
                          wire::EncodeEnumSessions({ExampleApplication(), 0x2, u"Password"}));
    ASSERT_EQ(frame.size(), 70u);
    EXPECT_EQ(U32(frame, 0), 0xFAB00000u | 70u);
    EXPECT_EQ(U16(frame, 4), 2);  // AF_INET, little-endian
    EXPECT_EQ(frame[6], 0x08);    // port 2300, network order
    EXPECT_EQ(frame[7], 0xFC);
    EXPECT_EQ(std::string(frame.begin() + 20, frame.begin() + 24), "play");
    EXPECT_EQ(U16(frame, 24), 0x0002);  // command before version
    EXPECT_EQ(U16(frame, 26), 14);
    EXPECT_EQ(U32(frame, 44), 32u);  // password offset from the signature
    EXPECT_EQ(U32(frame, 48), 2u);
    auto back = wire::DecodeFrame(frame);
    ASSERT_TRUE(back && back->isSystem);
    auto request = wire::DecodeEnumSessions(back->body);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->application, ExampleApplication());
    EXPECT_EQ(request->password, u"Password");
}

TEST(DirectPlayWire, EnumSessionsWithoutPasswordIs52Bytes) {
    const auto frame = wire::EncodeFrame(kJoiner, wire::Command::EnumSessions, 14,
                                         wire::EncodeEnumSessions({{}, 0x11, u""}));
    EXPECT_EQ(frame.size(), 52u);
    EXPECT_EQ(U32(frame, 44), 0u);
    EXPECT_EQ(U32(frame, 48), 0x11u);  // asynchronous flag passed as given
}

TEST(DirectPlayWire, EnumSessionsReplyMatchesTheExample) {
    wire::SessionDesc desc;
    desc.flags = 0x404;
    desc.application = ExampleApplication();
    desc.maxPlayers = 1000;
    desc.currentPlayers = 1;
    desc.reserved1 = 0x1E52A0A1;
    desc.user = {0, 2, 3, 4};
    const auto frame = wire::EncodeFrame({0, 2300}, wire::Command::EnumSessionsReply, 14,
                                         wire::EncodeEnumSessionsReply({desc, u"LOTHAIR"}));
    ASSERT_EQ(frame.size(), 128u);
    EXPECT_EQ(U32(frame, 28), 80u);       // DPSESSIONDESC2 size
    EXPECT_EQ(U32(frame, 28 + 80), 92u);  // name offset
    auto back = wire::DecodeFrame(frame);
    ASSERT_TRUE(back);
    auto reply = wire::DecodeEnumSessionsReply(back->body);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->desc, desc);
    EXPECT_EQ(reply->name, u"LOTHAIR");
}

TEST(DirectPlayWire, JoiningMessagesHaveTheSizesWindowsUses) {
    wire::PlayerCreate request;
    request.playerId = 0x1234;
    request.player = SystemPlayer(0x1234);
    request.player.flags = 0x9;
    request.tickCount = 0x1E52A0A1;
    const auto addForwardRequest = wire::EncodeFrame(kJoiner, wire::Command::AddForwardRequest, 14,
                                                     wire::EncodeAddForwardRequest(request));
    ASSERT_EQ(addForwardRequest.size(), 134u);
    EXPECT_EQ(U32(addForwardRequest, 28), 0u);       // IDTo
    EXPECT_EQ(U32(addForwardRequest, 32), 0x1234u);  // the system player
    EXPECT_EQ(U32(addForwardRequest, 40), 28u);      // create offset
    EXPECT_EQ(U32(addForwardRequest, 44), 108u);     // password offset
    EXPECT_EQ(U32(addForwardRequest, 48), 80u);      // packed player size
    EXPECT_EQ(U32(addForwardRequest, 52), 0x9u);
    EXPECT_EQ(U32(addForwardRequest, 48 + 36), 48u);  // fixed size
    EXPECT_EQ(U16(addForwardRequest, 128), 0);        // empty password
    EXPECT_EQ(U32(addForwardRequest, 130), 0x1E52A0A1u);

    request.player.flags = 0x5;
    EXPECT_EQ(
        wire::EncodeFrame(kJoiner, wire::Command::AddForward, 14, wire::EncodeAddForward(request))
            .size(),
        128u);
    EXPECT_EQ(
        wire::EncodeFrame(kJoiner, wire::Command::AddForwardAck, 14, wire::EncodeId(5)).size(),
        32u);
    EXPECT_EQ(wire::EncodeFrame(kJoiner, wire::Command::RequestPlayerId, 14,
                                wire::EncodeRequestPlayerId(0x9))
                  .size(),
              32u);
    EXPECT_EQ(wire::EncodeFrame(kJoiner, wire::Command::RequestPlayerReply, 14,
                                wire::EncodeRequestPlayerReply({7, 0}))
                  .size(),
              132u);
    EXPECT_EQ(wire::EncodeFrame(kJoiner, wire::Command::Ping, 14, wire::EncodePing({1, 2})).size(),
              36u);
    EXPECT_EQ(wire::EncodeFrame(kJoiner, wire::Command::YouAreDead, 14, {}).size(), 28u);
    EXPECT_EQ(
        wire::EncodeFrame(kJoiner, wire::Command::DeletePlayer, 14, wire::EncodeDeletePlayer(9))
            .size(),
        48u);

    wire::PlayerCreate create;
    create.playerId = 77;
    create.player.flags = 0x8;
    create.player.id = 77;
    create.player.shortName = u"ATC";
    const auto body = wire::EncodeCreatePlayer(create);
    ASSERT_GE(body.size(), 6u);
    EXPECT_EQ(wire::Bytes(body.end() - 6, body.end()), wire::Bytes(6, 0));
    EXPECT_EQ(body.size(), 20 + 48 + 8 + 6u);
}

TEST(DirectPlayWire, SuperEnumPlayersReplyLayoutAndRoundTrip) {
    wire::SuperEnumPlayersReply reply;
    reply.desc.maxPlayers = 16;
    reply.desc.reserved1 = 0x00AB0000;
    reply.name = u"Sunday Flight";
    wire::PlayerInfo host = SystemPlayer(3);
    host.flags = 0xF;
    host.version = 14;
    wire::PlayerInfo ai;
    ai.flags = 0x8;
    ai.id = 11;
    ai.systemPlayerId = 3;
    ai.shortName = u"N123AB";
    ai.longName = u"AI";
    ai.hasAddresses = true;
    ai.stream = {0x7F000001, 2300};
    ai.datagram = {0x7F000001, 2350};
    reply.players = {host, ai};
    const auto body = wire::EncodeSuperEnumPlayersReply(reply);
    EXPECT_EQ(U32(body, 16), 36u);   // description offset
    EXPECT_EQ(U32(body, 20), 116u);  // name offset
    const std::size_t packed = U32(body, 8) - 8;
    EXPECT_EQ(U32(body, packed), 16u);
    EXPECT_EQ((U32(body, packed + 12) >> 2) & 3, 1u);  // one-byte provider-data length
    auto back = wire::DecodeSuperEnumPlayersReply(body);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, reply.name);
    ASSERT_EQ(back->players.size(), 2u);
    EXPECT_EQ(back->players[1].shortName, u"N123AB");
    EXPECT_EQ(back->players[1].systemPlayerId, 3);
    EXPECT_EQ(back->players[1].stream, ai.stream);
    EXPECT_EQ(back->players[0].version, 14u);
}

TEST(DirectPlayWire, PackedPlayerRoundTrips) {
    wire::PlayerInfo p = SystemPlayer(42);
    p.flags = 0x8;
    p.systemPlayerId = 41;
    p.shortName = u"Sk\u00e9 Flyer";
    p.longName = u"Player";
    p.playerData = {1, 2, 3};
    auto back = wire::DecodePackedPlayer(wire::EncodePackedPlayer(p));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, p);
}

// Every decoder, fed every prefix of a valid message, either decodes or refuses; the
// sanitizers watch for reads past the end.
TEST(DirectPlayWire, EveryCutOfEveryMessageIsRefusedOrDecoded) {
    wire::PlayerCreate create;
    create.playerId = 5;
    create.player = SystemPlayer(5);
    create.player.shortName = u"Name";
    wire::SuperEnumPlayersReply super;
    super.name = u"S";
    super.players = {create.player, create.player};
    const std::vector<std::pair<std::string, wire::Bytes>> bodies = {
        {"enum", wire::EncodeEnumSessions({{}, 1, u"pw"})},
        {"enum reply", wire::EncodeEnumSessionsReply({{}, u"Session"})},
        {"create", wire::EncodeCreatePlayer(create)},
        {"add forward request", wire::EncodeAddForwardRequest(create)},
        {"super enum", wire::EncodeSuperEnumPlayersReply(super)},
        {"player reply", wire::EncodeRequestPlayerReply({1, 0})},
    };
    for (const auto& [name, body] : bodies) {
        SCOPED_TRACE(name);
        for (std::size_t cut = 0; cut < body.size(); ++cut) {
            const wire::Bytes part(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(cut));
            (void)wire::DecodeEnumSessions(part);
            (void)wire::DecodeEnumSessionsReply(part);
            (void)wire::DecodePlayerCreate(part, true);
            (void)wire::DecodeSuperEnumPlayersReply(part);
            (void)wire::DecodeRequestPlayerReply(part);
            (void)wire::DecodeFrame(part);
        }
        if (name == "super enum") {
            EXPECT_FALSE(wire::DecodeSuperEnumPlayersReply(wire::Bytes(
                body.begin(), body.begin() + static_cast<std::ptrdiff_t>(body.size() - 1))));
        }
    }
}

struct HostileCase {
    const char* name;
    std::function<void(wire::Bytes&)> damage;
};

TEST(DirectPlayWire, HostileCountsAndOffsetsAreRefused) {
    wire::SuperEnumPlayersReply super;
    super.players = {SystemPlayer(1)};
    const wire::Bytes good = wire::EncodeSuperEnumPlayersReply(super);
    auto put = [](wire::Bytes& b, std::size_t at, std::uint32_t v) {
        for (unsigned i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const std::vector<HostileCase> cases = {
        {"player count of four billion", [&](wire::Bytes& b) { put(b, 0, 0xFFFFFFFF); }},
        {"description before the signature", [&](wire::Bytes& b) { put(b, 16, 4); }},
        {"description beyond the end", [&](wire::Bytes& b) { put(b, 16, 0x7FFFFFF0); }},
        {"packed players beyond the end", [&](wire::Bytes& b) { put(b, 8, 0xFFFFFF00); }},
        {"name without terminator",
         [&](wire::Bytes& b) {
             b.resize(36 - 8 + 80 + 2);
             b.back() = 'x';
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wire::Bytes bad = good;
        c.damage(bad);
        EXPECT_FALSE(wire::DecodeSuperEnumPlayersReply(bad));
    }

    wire::Bytes packed = wire::EncodePackedPlayer(SystemPlayer(1));
    put(packed, 12, 0x7FFFFFFE);  // short-name length far beyond the bytes
    EXPECT_FALSE(wire::DecodePackedPlayer(packed));
    packed = wire::EncodePackedPlayer(SystemPlayer(1));
    put(packed, 28, 0x40000000);  // group members beyond the bytes
    EXPECT_FALSE(wire::DecodePackedPlayer(packed));
}

TEST(DirectPlayWire, StreamFramerSplitsAndRefusesGarbage) {
    const auto a = wire::EncodeFrame(kJoiner, wire::Command::Ping, 14, wire::EncodePing({1, 2}));
    const auto b = wire::EncodePlayerMessage(kJoiner, 14, {1, 0, {9, 8, 7}}, false);
    wire::Bytes stream = a;
    stream.insert(stream.end(), b.begin(), b.end());
    wire::StreamFramer framer;
    std::vector<wire::Bytes> frames;
    for (std::uint8_t byte : stream) {
        framer.Append({&byte, 1});
        while (auto f = framer.Next())
            frames.push_back(*f);
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], a);
    EXPECT_EQ(frames[1], b);

    const std::vector<std::pair<const char*, wire::Bytes>> garbage = {
        {"not a DirectPlay token", {0x47, 0x45, 0x54, 0x20, 0x2F}},
        {"size below the prefix", {0x04, 0x00, 0xB0, 0xFA}},
    };
    for (const auto& [name, bytes] : garbage) {
        SCOPED_TRACE(name);
        wire::StreamFramer broken;
        broken.Append(bytes);
        EXPECT_FALSE(broken.Next());
        EXPECT_TRUE(broken.Broken());
    }
}

TEST(DirectPlayWire, PlayerMessagesAreHeaderlessUnlessTheyLookLikeOne) {
    const wire::PlayerMessage plain{0x10, 0, {1, 2, 3}};
    const auto raw = wire::EncodePlayerMessage(kJoiner, 14, plain, false);
    EXPECT_EQ(raw.size(), 20u + 8 + 3);
    auto frame = wire::DecodeFrame(raw);
    ASSERT_TRUE(frame && !frame->isSystem);
    auto back = wire::DecodePlayerPayload(frame->body, false);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->from, 0x10);
    EXPECT_EQ(back->data, plain.data);

    // In a session without IDs a payload starting with "play" would read as a header.
    const wire::PlayerMessage tricky{0, 0, {'p', 'l', 'a', 'y', 1}};
    const auto wrapped = wire::EncodePlayerMessage(kJoiner, 14, tricky, true);
    frame = wire::DecodeFrame(wrapped);
    ASSERT_TRUE(frame && frame->isSystem);
    EXPECT_EQ(frame->command, wire::Command::PlayerWrapper);
    back = wire::DecodePlayerPayload(frame->body, true);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->data, tricky.data);
}

TEST(DirectPlayWire, GuidsHostsAndNames) {
    auto guid = dp::ParseGuid("{0BA552A0-E0FF-11CF-9C4E-00A0C905425E}");
    ASSERT_TRUE(guid);
    EXPECT_EQ(*guid, ExampleApplication());
    EXPECT_EQ(*dp::ParseGuid(""), wire::Guid{});
    EXPECT_FALSE(dp::ParseGuid("{not-a-guid}"));

    struct Row {
        const char* text;
        bool ok;
        const char* host;
        std::uint16_t port;
    };
    const Row rows[] = {
        {"", true, "", 47624},
        {"192.168.1.20", true, "192.168.1.20", 47624},
        {"fs-pc:2400", true, "fs-pc", 2400},
        {"[::1]:5000", true, "::1", 5000},
        {"host:0", false, "", 0},
        {"host:70000", false, "", 0},
        {"host:", false, "", 0},
        {" 10.0.0.2 ", true, "10.0.0.2", 47624},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        auto parsed = dp::ParseHostAndPort(row.text);
        ASSERT_EQ(parsed.has_value(), row.ok);
        if (!row.ok)
            continue;
        EXPECT_EQ(parsed->host, row.host);
        EXPECT_EQ(parsed->port, row.port);
    }
    EXPECT_EQ(wire::Utf16ToAnsi(wire::AnsiToUtf16("Z\xFCrich")), "Z\xFCrich");
    EXPECT_EQ(wire::Utf16ToAnsi(u"\u4E2D"), "?");
}

}  // namespace
