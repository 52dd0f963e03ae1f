#pragma once

// What the session tests share: options on the loopback with ports chosen at run time and a
// mask that makes every ID negative, a host and joiners of this layer, and waits for what
// arrives.

#include <gtest/gtest.h>

#include <QTest>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "directplay/directplay.h"

namespace session_support {

namespace dp = directplay;

inline dp::SessionOptions TestOptions() {
    dp::SessionOptions options;
    options.enumPort = 0;
    options.bindAddress = QHostAddress(QHostAddress::LocalHost);
    options.enumTimeoutMs = 400;
    options.requestTimeoutMs = 3000;
    options.nameTableTimeoutMs = 1000;
    options.idMask = 0xC3A50000;  // every ID negative, as with a Windows host's random mask
    return options;
}

inline dp::wire::Bytes Bytes(std::initializer_list<std::int32_t> words) {
    dp::DirectPlayMessage m;
    for (auto w : words)
        m.WriteLong(w);
    return m.Bytes();
}

struct Hosted {
    std::shared_ptr<dp::DirectPlay4> play;
    std::int32_t player = 0;
    std::uint16_t enumPort = 0;
};

inline Hosted StartHost(std::uint32_t flags = 0, std::int32_t maxPlayers = 8,
                        dp::SessionOptions options = TestOptions()) {
    Hosted h;
    h.play = dp::DirectX7(options).DirectPlayCreate("");
    auto desc = h.play->CreateSessionData();
    desc->SetSessionName("Sunday Flight");
    desc->SetMaxPlayers(maxPlayers);
    desc->SetFlags(flags);
    h.play->Open(*desc, dp::kOpenCreate);
    h.player = h.play->CreatePlayer("FS Host", "Host", 0, 0);
    h.enumPort = h.play->Engine().EnumPort();
    return h;
}

inline std::shared_ptr<dp::SessionList> Enumerate(dp::DirectPlay4& joiner, std::uint16_t port) {
    joiner.InitializeConnection(dp::ConnectionAddress::TcpIp("127.0.0.1:" + std::to_string(port)));
    auto desc = joiner.CreateSessionData();
    desc->SetGuidApplication("");
    desc->SetSessionPassword("");
    return joiner.GetDPEnumSessions(*desc, 0, dp::kEnumAvailable);
}

struct Joined {
    std::shared_ptr<dp::DirectPlay4> play;
    std::int32_t player = 0;
};

inline Joined Join(std::uint16_t enumPort, const std::string& nickname,
                   dp::SessionOptions options = TestOptions()) {
    Joined j;
    j.play = dp::DirectX7(options).DirectPlayCreate("");
    auto sessions = Enumerate(*j.play, enumPort);
    if (sessions->GetCount() < 1)
        throw std::runtime_error("no session found");
    j.play->Open(*sessions->GetItem(1), dp::kOpenJoin);
    j.player = j.play->CreatePlayer(nickname, "Player", 0, 0);
    return j;
}

// Takes messages until one from a player (not a notice) arrives; returns it or nothing.
inline std::optional<std::pair<std::int32_t, dp::wire::Bytes>> NextFromPlayer(dp::DirectPlay4& play,
                                                                              std::int32_t local) {
    std::optional<std::pair<std::int32_t, dp::wire::Bytes>> found;
    (void)QTest::qWaitFor([&] {
        while (play.GetMessageCount(local) > 0) {
            std::int32_t from = 0, to = 0;
            auto m = play.Receive(from, to, dp::kReceiveAll);
            if (from != 0) {
                found = std::make_pair(from, m->Bytes());
                return true;
            }
        }
        return false;
    });
    return found;
}

inline bool HasPlayer(dp::DirectPlay4& play, std::int32_t id) {
    try {
        play.GetPlayerFriendlyName(id);
        return true;
    } catch (const dp::DirectPlayError&) {
        return false;
    }
}

inline bool SawNotice(dp::DirectPlay4& play, std::int32_t local, std::uint32_t type) {
    return QTest::qWaitFor([&] {
        while (play.GetMessageCount(local) > 0) {
            std::int32_t from = 0, to = 0;
            auto m = play.Receive(from, to, dp::kReceiveAll);
            if (from == 0 && static_cast<std::uint32_t>(m->ReadLong()) == type)
                return true;
        }
        return false;
    });
}

// Whether two machines still talk: a guaranteed message each way arrives.
template <typename Host, typename Joiner>
void ExpectTalking(Host& host, Joiner& joiner) {
    host.play->Send(host.player, joiner.player, dp::kSendGuaranteed,
                    dp::DirectPlayMessage(Bytes({4100, 1})));
    auto heard = NextFromPlayer(*joiner.play, joiner.player);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->first, host.player);
    joiner.play->Send(joiner.player, host.player, dp::kSendGuaranteed,
                      dp::DirectPlayMessage(Bytes({4100, 2})));
    heard = NextFromPlayer(*host.play, host.player);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->first, joiner.player);
}

}  // namespace session_support
