#pragma once

// The session's reliable-protocol links, one per machine: created when the first frame goes
// to or comes from a machine, ticked for their retransmissions, and declared dead when one
// cannot deliver. A link is never destroyed while it runs: one removed (its machine left, the
// session ended) is retired, and goes only once the event that removed it is over, so a
// delivery that makes the session drop the link's machine returns into a live object.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "directplay/reliable.h"

namespace directplay {

class ReliableLinks : public QObject {
    Q_OBJECT

public:
    struct Handlers {
        // A frame to put on the wire to the machine.
        std::function<void(std::int32_t systemId, const reliable::Bytes& frame)> transmit;
        // A whole message from the machine, with the last frame that carried it.
        std::function<void(std::int32_t systemId, const reliable::Frame& last,
                           reliable::Bytes message)>
            deliver;
        // The machine did not acknowledge a guaranteed frame within the link's bound.
        std::function<void(std::int32_t systemId)> dead;
    };

    ReliableLinks(Handlers handlers, QObject* parent);
    ~ReliableLinks() override;

    // The link to a machine, made on first use with the two machines' player indexes.
    reliable::Link& To(std::int32_t systemId, std::uint16_t localIndex, std::uint16_t remoteIndex);
    const reliable::Link* Find(std::int32_t systemId) const;
    // The machine's link goes (retired until the current event is over).
    void Remove(std::int32_t systemId);
    void Clear();
    // Nothing waiting or unacknowledged on any link.
    bool Settled() const;
    std::uint64_t DeadLinks() const { return m_deadLinks; }

private:
    void Tick();
    void Retire(std::unique_ptr<reliable::Link> link);

    Handlers m_handlers;
    std::map<std::int32_t, std::unique_ptr<reliable::Link>> m_links;
    std::vector<std::unique_ptr<reliable::Link>> m_retired;
    QTimer m_timer;
    std::uint64_t m_deadLinks = 0;
};

}  // namespace directplay
