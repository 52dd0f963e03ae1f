#pragma once

// tarvolo-soak: hours of a DirectPlay session's life in minutes. A driver runs simhost,
// resident peers that stay throughout (with outages of 15 s in which nothing passes), peers
// that join and leave at random (two at once now and then, some vanishing without a word), a
// stranger on 127.0.0.2 forging frames and datagrams, and at the end the host's own departure
// with migration. Every peer sends a numbered stream of guaranteed messages to all and counts
// what it receives of the others', so a loss or a duplicate is seen. Every process is judged
// by its exit status and its standard error (sanitizer reports), and the memory of the long-
// lived ones is sampled.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace soak {

inline constexpr int kNotJoined = 4;
inline constexpr int kSessionLost = 3;

struct PeerOptions {
    QString host;  // HOST:PORT answering enumeration
    QString name;
    int seconds = 0;  // 0: until SIGTERM
    int sendEveryMs = 200;
    int outageEverySeconds = 0;  // 0: none
    int outageAtSeconds = 0;
    int outageMs = 15000;
};

struct StrangerOptions {
    std::uint16_t enumPort = 0;
    std::uint16_t tcpPort = 0;
    int seconds = 0;
    int everyMs = 200;
};

struct DriveOptions {
    QString simhost;
    QString self;         // this program, for the peers and the stranger
    QString row = "tcp";  // tcp | reliable (with 10 % of the host's datagrams lost)
    int seconds = 60;
    int residents = 2;
    std::uint32_t seed = 1;
    QString logs;  // a folder for every process's output ("" : none kept)
};

// A field of /proc/PID/status in kB (VmRSS:, VmHWM:); -1 when it cannot be read. pid 0: this
// process.
long StatusKb(long long pid, const char* field);

int RunPeer(const PeerOptions& options);
int RunStranger(const StrangerOptions& options);
// Prints a line per row and returns 0 when the row met every target.
int RunDrive(const DriveOptions& options);

}  // namespace soak
