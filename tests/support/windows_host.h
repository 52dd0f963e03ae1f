#pragma once

// A session host written from the protocol documents with raw sockets, doing what a Windows
// host does and nothing of our session layer's own: IDs masked with a secret Reserved1, the
// dialect it is told, the name table it is given, and scripted extras at the points where a
// Windows host may send them (a CREATEPLAYER before the name table, a reply nobody asked
// for). Every frame it receives is kept for the test to inspect.

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <functional>
#include <memory>
#include <vector>

#include "directplay/wire.h"

namespace testing_support {

class WindowsHost {
public:
    using Bytes = directplay::wire::Bytes;
    using Command = directplay::wire::Command;

    explicit WindowsHost(std::uint32_t mask, std::uint16_t version = 14) : m_version(version) {
        namespace wire = directplay::wire;
        m_desc.flags = wire::session_flag::kKeepAlive;
        m_desc.maxPlayers = 10;
        m_desc.reserved1 = mask;
        for (std::size_t i = 0; i < m_desc.instance.size(); ++i)
            m_desc.instance[i] = static_cast<std::uint8_t>(0xA0 + i);
        m_enum.bind(QHostAddress::LocalHost, 0);
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_enum, &QUdpSocket::readyRead, [this] { OnEnum(); });
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { OnConnection(); });
        systemId = Id(1);
        hostPlayerId = Id(2);
    }

    // IDs as Windows makes them: index and uniqueness, XORed with the mask.
    std::int32_t Id(std::uint32_t index) const {
        return static_cast<std::int32_t>(((index << 16) | index) ^ m_desc.reserved1);
    }
    std::uint16_t EnumPort() const { return m_enum.localPort(); }
    directplay::wire::SessionDesc& Desc() { return m_desc; }

    // The name table beyond the host's own two players, and what the host does before it.
    std::vector<directplay::wire::PlayerInfo> extraPlayers;
    std::function<void()> beforeNameTable;

    std::int32_t systemId = 0;
    std::int32_t hostPlayerId = 0;
    std::int32_t joinerSystemId = 0;
    std::vector<directplay::wire::Frame> received;

    void Send(Command command, const Bytes& body) {
        Write(directplay::wire::EncodeFrame(Own(), command, m_version, body));
    }
    void SendPlayerMessage(std::int32_t from, std::int32_t to, const Bytes& data) {
        Write(directplay::wire::EncodePlayerMessage(Own(), m_version, {from, to, data}, false));
    }
    // From now on nothing sent to the host is read: its system's buffers fill up.
    void StopReading() {
        for (QTcpSocket* socket : m_accepted) {
            QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
            socket->setReadBufferSize(1);
        }
    }
    // Reads what has arrived, waiting up to `timeoutMs` on the sockets alone: no event loop
    // runs, so nothing the other side has not yet handed to the system arrives.
    void ReadNow(int timeoutMs) {
        for (QTcpSocket* socket : m_accepted)
            socket->waitForReadyRead(timeoutMs);
    }
    int Count(Command command) const {
        int n = 0;
        for (const auto& f : received)
            n += f.isSystem && f.command == command;
        return n;
    }
    bool Got(Command command) const {
        for (const auto& f : received)
            if (f.isSystem && f.command == command)
                return true;
        return false;
    }

private:
    directplay::wire::SockAddr Own() const { return {0, m_server.serverPort()}; }

    void Write(const Bytes& frame) {
        if (m_out)
            m_out->write(reinterpret_cast<const char*>(frame.data()),
                         static_cast<qint64>(frame.size()));
    }

    void OnEnum() {
        namespace wire = directplay::wire;
        while (m_enum.hasPendingDatagrams()) {
            const QNetworkDatagram d = m_enum.receiveDatagram();
            const QByteArray data = d.data();
            auto frame = wire::DecodeFrame({reinterpret_cast<const std::uint8_t*>(data.constData()),
                                            static_cast<std::size_t>(data.size())});
            if (!frame || frame->command != Command::EnumSessions)
                continue;
            m_joinerPort = frame->sender.port;
            Connect();
            m_desc.currentPlayers = 1 + static_cast<std::uint32_t>(extraPlayers.size());
            Send(Command::EnumSessionsReply, wire::EncodeEnumSessionsReply({m_desc, u"Sunday"}));
        }
    }

    void Connect() {
        if (m_out)
            return;
        m_out = std::make_unique<QTcpSocket>();
        m_out->connectToHost(QHostAddress::LocalHost, m_joinerPort);
    }

    void OnConnection() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            m_accepted.push_back(socket);
            auto framer = std::make_shared<directplay::wire::StreamFramer>();
            QObject::connect(socket, &QTcpSocket::readyRead, [this, socket, framer] {
                const QByteArray bytes = socket->readAll();
                framer->Append({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                static_cast<std::size_t>(bytes.size())});
                while (auto raw = framer->Next())
                    if (auto frame = directplay::wire::DecodeFrame(*raw))
                        OnFrame(*frame);
            });
        }
    }

    void OnFrame(const directplay::wire::Frame& frame) {
        namespace wire = directplay::wire;
        received.push_back(frame);
        if (!frame.isSystem)
            return;
        if (frame.command == Command::RequestPlayerId) {
            const auto flags = wire::DecodeRequestPlayerId(frame.body);
            const bool system = flags && (*flags & wire::player_flag::kSystem);
            wire::RequestPlayerReply reply;
            reply.id = Id(m_nextIndex++);
            if (system)
                joinerSystemId = reply.id;
            Send(Command::RequestPlayerReply, wire::EncodeRequestPlayerReply(reply));
        } else if (frame.command == Command::AddForwardRequest) {
            if (beforeNameTable)
                beforeNameTable();
            wire::SuperEnumPlayersReply table;
            table.desc = m_desc;
            table.name = u"Sunday";
            wire::PlayerInfo host;
            host.flags = wire::player_flag::kSystem | wire::player_flag::kNameServer |
                         wire::player_flag::kInGroup | wire::player_flag::kLocal;
            host.id = systemId;
            host.systemPlayerId = systemId;
            host.hasAddresses = true;
            host.stream = {0, m_server.serverPort()};
            host.datagram = {0, 0};
            wire::PlayerInfo pilot;
            pilot.flags = wire::player_flag::kLocal;
            pilot.id = hostPlayerId;
            pilot.systemPlayerId = systemId;
            pilot.shortName = u"FS Host";
            if (auto request = wire::DecodePlayerCreate(frame.body, true)) {
                wire::PlayerInfo joiner = request->player;
                joiner.id = request->playerId;
                joiner.systemPlayerId = request->playerId;
                joiner.flags = 0x5;  // the joiner's own system player, as Windows lists it
                table.players.push_back(joiner);
            }
            table.players.push_back(host);
            table.players.push_back(pilot);
            for (const auto& p : extraPlayers)
                table.players.push_back(p);
            Send(Command::SuperEnumPlayersReply, wire::EncodeSuperEnumPlayersReply(table));
        }
    }

    std::uint16_t m_version;
    directplay::wire::SessionDesc m_desc;
    QUdpSocket m_enum;
    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_out;
    std::vector<QTcpSocket*> m_accepted;  // children of the server
    std::uint16_t m_joinerPort = 0;
    std::uint32_t m_nextIndex = 3;
};

}  // namespace testing_support
