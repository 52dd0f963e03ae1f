// Writes seed inputs for the fuzz targets whose inputs no simulator folder holds: DirectPlay
// messages of every kind, simulator message queues and chat lines.
#include <filesystem>
#include <fstream>
#include <string>

#include "directplay/reliable.h"
#include "directplay/wire.h"
#include "link/coordination.h"
#include "link/link.h"
#include "model/settings_record.h"
#include "tools/simhost/mp_messages.h"

namespace wire = directplay::wire;
namespace rp = directplay::reliable;

namespace {

void Write(const std::filesystem::path& folder, const std::string& name,
           const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// [u8 sender][u16 length][bytes] for each message.
void Queue(std::vector<std::uint8_t>& out, std::uint8_t sender,
           const std::vector<std::uint8_t>& message) {
    out.push_back(sender);
    out.push_back(static_cast<std::uint8_t>(message.size()));
    out.push_back(static_cast<std::uint8_t>(message.size() >> 8));
    out.insert(out.end(), message.begin(), message.end());
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The database target's input: the two counts of the settings file, then the file.
void DatabaseSeed(const std::filesystem::path& root, const std::filesystem::path& work) {
    const auto settings = model::DecodeSettings(ReadAll(work / "atc_settings.tcs"));
    for (const char* file : {"world_airports.dat", "world_airspaces.lst"}) {
        std::vector<std::uint8_t> seed;
        for (std::int32_t count : {settings.airportCount, settings.airspaceFileCount})
            for (unsigned i = 0; i < 4; ++i)
                seed.push_back(
                    static_cast<std::uint8_t>(static_cast<std::uint32_t>(count) >> (8 * i)));
        const auto bytes = ReadAll(work / file);
        seed.insert(seed.end(), bytes.begin(), bytes.end());
        Write(root / "database", file, seed);
    }
}

}  // namespace

// make_seeds CORPUS [WORKDIR]: WORKDIR holds a built database for the database target.
int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const std::filesystem::path root = argv[1];
    if (argc > 2)
        DatabaseSeed(root, argv[2]);
    const wire::SockAddr from{0, 2300};
    wire::PlayerInfo player;
    player.flags = 0x8;
    player.id = 0x1234;
    player.systemPlayerId = 0x1230;
    player.shortName = u"N123AB";
    player.longName = u"AI";
    player.hasAddresses = true;
    player.stream = {0x7F000001, 2300};
    player.datagram = {0x7F000001, 2350};
    wire::PlayerCreate create{0, player.id, player, u"", 7};
    wire::SuperEnumPlayersReply super{{}, u"Sunday Flight", {player, player}};
    const auto dp = root / "directplay";
    Write(dp, "enum",
          wire::EncodeFrame(from, wire::Command::EnumSessions, 14,
                            wire::EncodeEnumSessions({{}, 1, u"pw"})));
    Write(dp, "enum-reply",
          wire::EncodeFrame(from, wire::Command::EnumSessionsReply, 14,
                            wire::EncodeEnumSessionsReply({{}, u"Sunday Flight"})));
    Write(dp, "request-id",
          wire::EncodeFrame(from, wire::Command::RequestPlayerId, 14,
                            wire::EncodeRequestPlayerId(9)));
    Write(dp, "request-reply",
          wire::EncodeFrame(from, wire::Command::RequestPlayerReply, 14,
                            wire::EncodeRequestPlayerReply({5, 0})));
    Write(dp, "add-forward-request",
          wire::EncodeFrame(from, wire::Command::AddForwardRequest, 14,
                            wire::EncodeAddForwardRequest(create)));
    Write(dp, "add-forward",
          wire::EncodeFrame(from, wire::Command::AddForward, 14, wire::EncodeAddForward(create)));
    Write(
        dp, "create-player",
        wire::EncodeFrame(from, wire::Command::CreatePlayer, 14, wire::EncodeCreatePlayer(create)));
    Write(dp, "super-enum",
          wire::EncodeFrame(from, wire::Command::SuperEnumPlayersReply, 14,
                            wire::EncodeSuperEnumPlayersReply(super)));
    Write(dp, "ping", wire::EncodeFrame(from, wire::Command::Ping, 14, wire::EncodePing({5, 99})));
    Write(dp, "player-data",
          wire::EncodeFrame(from, wire::Command::PlayerDataChanged, 14,
                            wire::EncodePlayerDataChanged({5, {'T', 'A', 'R', 'V', 1}})));
    Write(dp, "player-message",
          wire::EncodePlayerMessage(from, 14, {5, 0, mplink::ChatMessage("hello")}, false));
    Write(dp, "wrapped",
          wire::EncodePlayerMessage(from, 14, {0, 0, {'p', 'l', 'a', 'y', 1, 2}}, true));
    Write(dp, "i-am-name-server",
          wire::EncodeFrame(from, wire::Command::IAmNameServer, 14,
                            wire::EncodeIAmNameServer({3, 5, 7, true, {0, 2300}, {0, 2350}})));
    // Reliable-protocol frames, one after another each behind its length byte.
    std::vector<std::uint8_t> frames;
    auto frame = [&](std::uint8_t flags, std::uint8_t seq, std::vector<std::uint8_t> data) {
        rp::Frame f;
        f.fromIndex = 2;
        f.toIndex = 0x4000;
        f.flags = flags;
        f.messageId = seq;
        f.sequence = seq;
        f.data = std::move(data);
        const auto bytes = rp::EncodeFrame(f);
        frames.push_back(static_cast<std::uint8_t>(bytes.size()));
        frames.insert(frames.end(), bytes.begin(), bytes.end());
    };
    using namespace rp::flag;
    frame(kCmd | kSta | kEom | kRly, 1, {1, 2, 3});
    frame(kCmd | kSta | kRly, 2, {4});
    frame(kCmd | kEom | kRly | kSak, 3, {5});
    frame(kAck, 1, {});
    frame(kCmd | kSta | kEom, 5, {6});
    Write(dp, "reliable-frames", frames);

    // The session target: a byte choosing the world (0: over TCP, 1: the reliable protocol with
    // migration), then the same messages without their prefix, as records of a kind byte (0:
    // the host by TCP, 1: a stranger by TCP, 2: the host by datagram) and a 16-bit length.
    std::vector<std::uint8_t> records{0};
    auto record = [&](std::uint8_t kind, const std::vector<std::uint8_t>& frame) {
        const std::size_t length = frame.size() - wire::kPrefixSize;
        records.push_back(kind);
        records.push_back(static_cast<std::uint8_t>(length));
        records.push_back(static_cast<std::uint8_t>(length >> 8));
        records.insert(records.end(), frame.begin() + wire::kPrefixSize, frame.end());
    };
    for (std::uint8_t kind : {std::uint8_t{0}, std::uint8_t{1}}) {
        record(kind, wire::EncodeFrame(from, wire::Command::CreatePlayer, 14,
                                       wire::EncodeCreatePlayer(create)));
        record(kind, wire::EncodeFrame(from, wire::Command::AddForward, 14,
                                       wire::EncodeAddForward(create)));
        record(kind, wire::EncodeFrame(from, wire::Command::DeletePlayer, 14,
                                       wire::EncodeDeletePlayer(5)));
        record(kind,
               wire::EncodePlayerMessage(from, 14, {5, 0, mplink::ChatMessage("hello")}, false));
    }
    record(2, wire::EncodeFrame(from, wire::Command::Ping, 14, wire::EncodePing({5, 99})));
    Write(root / "session", "records", records);

    // The session's life, in both worlds: a machine announced, the loop run, a guaranteed
    // message sent, reliable frames from the host, the machine claiming to be host, a player
    // deleted, the host leaving.
    auto action = [](std::vector<std::uint8_t>& out, std::uint8_t kind,
                     const std::vector<std::uint8_t>& bytes) {
        out.push_back(kind);
        out.push_back(static_cast<std::uint8_t>(bytes.size()));
        out.push_back(static_cast<std::uint8_t>(bytes.size() >> 8));
        out.insert(out.end(), bytes.begin(), bytes.end());
    };
    for (std::uint8_t world : {std::uint8_t{0}, std::uint8_t{1}}) {
        std::vector<std::uint8_t> life{world};
        action(life, 0x80, {0x03, 0x00, 0xA5, 0x80, 0x2A, 0x09, 0, 0});  // 0x80A50003, port 2346
        action(life, 0x86, {});
        action(life, 0x85, {0x01, 0x10, 0, 0, 7, 0, 0, 0});
        action(life, 0x84, {kCmd | kSta | kEom | kRly, 1, 1, 0, 0, 0, 0, 0, 1, 2, 3});
        action(life, 0x84, {kAck, 1, 1, 0, 0, 0, 0, 0});
        action(life, 0x82, {0x03, 0x00, 0xA5, 0x80, 0x2A, 0x09, 0, 0});
        action(life, 0x86, {});
        action(life, 0x81, {0x03, 0x00, 0xA5, 0x80});
        action(life, 0x83, {});
        action(life, 0x86, {});
        Write(root / "session", world ? "life-reliable" : "life-tcp", life);
    }

    simhost::AircraftState state{47.449, -122.309, 1200, 160};
    std::vector<std::uint8_t> queue;
    Queue(queue, 3, mplink::PlayerHereMessage(3));
    Queue(queue, 3, simhost::EncodePosition(state, 1, 1));
    Queue(queue, 4, mplink::PlayerHereMessage(4));
    Queue(queue, 4, simhost::EncodePositionLong(state, 1, 1));
    Queue(queue, 3, simhost::EncodeAircraftInfo(1, "B737"));
    Queue(queue, 4, simhost::EncodeChat("Ready for departure"));
    Queue(queue, 3, mplink::EmptyMessage(mplink::MP_ROLL_CALL));
    Queue(queue, 3, mplink::EmptyMessage(mplink::MP_ALIVE));
    Queue(queue, 3, mplink::EmptyMessage(mplink::MP_REMOVED));
    Write(root / "messages", "session", queue);
    {
        // Controllers coordinating: announcements, a claim, an offer with its strip, answers.
        std::vector<std::uint8_t> controllers;
        const auto send = [&](std::uint8_t from, coord::Kind kind, const char* callsign,
                              const char* position) {
            coord::Message m;
            m.kind = kind;
            m.stamp = 1000 + from;
            m.callsign = callsign;
            m.position = position;
            m.strip = {"4000", "160", "16L", "4521", "ILS"};
            Queue(controllers, from, coord::Encode(m));
        };
        send(2, coord::Kind::Announce, "", "TVO_TWR");
        send(4, coord::Kind::Announce, "", "TVO_APP");
        send(4, coord::Kind::Claim, "P3", "");
        send(2, coord::Kind::Claim, "P3", "");
        send(4, coord::Kind::Offer, "P3", "TVO_TWR");
        send(2, coord::Kind::Accept, "P3", "");
        send(2, coord::Kind::PointOut, "P4", "TVO_APP");
        send(3, coord::Kind::Claim, "P4", "");  // unmarked
        Write(root / "messages", "controllers", controllers);
    }
    Write(root / "chat", "line", simhost::EncodeChat("Tower, N1 ready"));
    {
        // A recording of every record kind.
        const std::string text =
            "TARVOLO-RECORDING\t2\nAIRPORT\t4\tTarvolo International\nSTART\t1796634000000\t-12\n"
            "M\t5\t7\t0\t=N1\t031000000400000007000000\nN\t7\t=N1\nT\t1000\nR\t1500\n"
            "C\t1600\t=ATC: hello%09there\nA\t1700\t9\t=Renton Valley\nW\t1800\tlater\n"
            "M\t1900\t0\t0\t?\t0500000007000000\nT\t2000\n";
        Write(root / "recording", "every-kind",
              std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    Write(root / "chat", "sent", mplink::ChatMessage("Hi"));
    return 0;
}
