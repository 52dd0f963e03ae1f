#include "directplay/reliable_links.h"

#include "directplay/session_internal.h"

namespace directplay {

ReliableLinks::ReliableLinks(Handlers handlers, QObject* parent)
    : QObject(parent), m_handlers(std::move(handlers)) {
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &ReliableLinks::Tick);
}

ReliableLinks::~ReliableLinks() = default;

reliable::Link& ReliableLinks::To(std::int32_t systemId, std::uint16_t localIndex,
                                  std::uint16_t remoteIndex) {
    auto& link = m_links[systemId];
    if (!link) {
        link = std::make_unique<reliable::Link>(
            localIndex, remoteIndex,
            [this, systemId](const reliable::Bytes& frame) {
                m_handlers.transmit(systemId, frame);
            },
            [this, systemId](const reliable::Frame& last, reliable::Bytes message) {
                m_handlers.deliver(systemId, last, std::move(message));
            });
        if (!m_timer.isActive())
            m_timer.start();
    }
    return *link;
}

const reliable::Link* ReliableLinks::Find(std::int32_t systemId) const {
    auto it = m_links.find(systemId);
    return it == m_links.end() ? nullptr : it->second.get();
}

void ReliableLinks::Retire(std::unique_ptr<reliable::Link> link) {
    if (m_retired.empty())
        QMetaObject::invokeMethod(
            this, [this] { m_retired.clear(); }, Qt::QueuedConnection);
    m_retired.push_back(std::move(link));
}

void ReliableLinks::Remove(std::int32_t systemId) {
    auto it = m_links.find(systemId);
    if (it == m_links.end())
        return;
    Retire(std::move(it->second));
    m_links.erase(it);
}

void ReliableLinks::Clear() {
    for (auto& [id, link] : m_links)
        Retire(std::move(link));
    m_links.clear();
    m_timer.stop();
}

bool ReliableLinks::Settled() const {
    for (const auto& [id, link] : m_links)
        if (!link->Dead() && (link->Outstanding() != 0 || link->Waiting() != 0))
            return false;
    return true;
}

void ReliableLinks::Tick() {
    const std::int64_t now = session_internal::NowMs();
    std::vector<std::int32_t> dead;
    for (auto& [systemId, link] : m_links) {
        link->Tick(now);
        if (link->Dead())
            dead.push_back(systemId);
    }
    for (std::int32_t systemId : dead) {
        Remove(systemId);
        ++m_deadLinks;
        m_handlers.dead(systemId);
    }
    if (m_links.empty())
        m_timer.stop();
}

}  // namespace directplay
