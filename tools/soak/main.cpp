#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "tools/soak/soak.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(
        "A long run of a DirectPlay session: drive (simhost, peers joining and leaving, "
        "outages, a stranger, the host's departure), or one of its peers or its stranger.");
    args.addHelpOption();
    args.addPositionalArgument("mode", "drive | peer | stranger");
    args.addOptions({
        {"simhost", "drive: the simhost to run.", "path"},
        {"row", "drive: tcp, or reliable (10 % of the host's datagrams lost).", "row", "tcp"},
        {"seconds", "How long (drive: the whole row; peer, stranger: 0 until SIGTERM).", "s", "60"},
        {"residents", "drive: peers that stay throughout.", "n", "2"},
        {"seed", "drive: seed of the churn.", "n", "1"},
        {"logs", "drive: folder for every process's output.", "dir"},
        {"host", "peer: HOST:PORT answering enumeration.", "address"},
        {"name", "peer: its player's name.", "text", "Soak"},
        {"send-ms", "peer: one guaranteed message to all every so often.", "ms", "200"},
        {"outage-every", "peer: an outage this often (0: none).", "s", "0"},
        {"outage-at", "peer: the first outage.", "s", "30"},
        {"outage-ms", "peer: how long nothing passes.", "ms", "15000"},
        {"enum-port", "stranger: the host's enumeration port.", "port"},
        {"tcp-port", "stranger: the host's TCP port.", "port"},
    });
    args.process(app);
    const QString mode = args.positionalArguments().value(0);
    if (mode == "peer") {
        soak::PeerOptions o;
        o.host = args.value("host");
        o.name = args.value("name");
        o.seconds = args.value("seconds").toInt();
        o.sendEveryMs = std::max(10, args.value("send-ms").toInt());
        o.outageEverySeconds = args.value("outage-every").toInt();
        o.outageAtSeconds = args.value("outage-at").toInt();
        o.outageMs = args.value("outage-ms").toInt();
        return soak::RunPeer(o);
    }
    if (mode == "stranger") {
        soak::StrangerOptions o;
        o.enumPort = static_cast<std::uint16_t>(args.value("enum-port").toUInt());
        o.tcpPort = static_cast<std::uint16_t>(args.value("tcp-port").toUInt());
        o.seconds = args.value("seconds").toInt();
        return soak::RunStranger(o);
    }
    if (mode == "drive") {
        soak::DriveOptions o;
        o.simhost = args.value("simhost");
        o.self = QCoreApplication::applicationFilePath();
        o.row = args.value("row");
        o.seconds = std::max(45, args.value("seconds").toInt());
        o.residents = std::max(1, args.value("residents").toInt());
        o.seed = args.value("seed").toUInt();
        o.logs = args.value("logs");
        if (o.simhost.isEmpty() || (o.row != "tcp" && o.row != "reliable")) {
            std::fprintf(stderr, "tarvolo-soak drive: --simhost PATH and --row tcp|reliable\n");
            return 2;
        }
        return soak::RunDrive(o);
    }
    std::fprintf(stderr, "tarvolo-soak: drive | peer | stranger (--help)\n");
    return 2;
}
