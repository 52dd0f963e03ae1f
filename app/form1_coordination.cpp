// The main window's side of controllers coordinating: the coordinator runs in the message
// loop, its news go to the controllers' channel beside the chat log, the Traffic List's Owner
// and Strip columns, the Controllers window and the scope; the Traffic List's and the scope's
// menus turn what the controller chooses into claims, offers and answers.

#include <QDateTime>

#include "app/aid_settings.h"
#include "app/form1.h"
#include "app/form12.h"
#include "directplay/directplay.h"
#include "directplay/errors.h"
#include "model/airfields.h"
#include "model/shared_state.h"
#include "platform/ui/widget_text.h"
#include "platform/ui/windows.h"
#include "radar/traffic_list.h"

namespace app {
namespace {

constexpr double kPointOutSeconds = 30;  // a point-out stays on the scope so long

std::string StripLine(const coord::Strip& strip) {
    std::string line;
    const auto add = [&](const char* label, const std::string& value) {
        if (value.empty())
            return;
        if (!line.empty())
            line += ' ';
        line.append(label).append(value);
    };
    add("A", strip.altitude);
    add("H", strip.heading);
    add("R", strip.runway);
    add("S", strip.squawk);
    add("", strip.remarks);
    return line;
}

}  // namespace

std::int64_t Form1::WallMs() const {
    return QDateTime::currentMSecsSinceEpoch();
}

bool Form1::StillCoordinating() {
    if (m_coordinator && m_coordSession &&
        (m_coordPlay.expired() || m_coordPlay.lock() != model::g_directPlay))
        StopCoordinating();  // the session it talked through is gone
    return m_coordinator != nullptr;
}

void Form1::Coordinate(const mplink::TickResult& tick) {
    if (!StillCoordinating()) {
        // Coordinating needs the setting and a player that carries the mark since its join.
        if (!Coordination().Usable() || !model::g_sessionJoined || !model::g_directPlay)
            return;
        try {
            if (!coord::IsMarked(model::g_directPlay->GetPlayerData(model::g_localPlayerId)))
                return;
        } catch (const directplay::DirectPlayError&) {
            return;
        }
        m_coordSession = std::make_unique<coord::DirectPlaySession>(*model::g_directPlay,
                                                                    model::g_localPlayerId);
        m_coordPlay = model::g_directPlay;
        m_coordinator = std::make_unique<coord::Coordinator>(
            m_coordSession.get(), model::g_localPlayerId,
            coord::Identity{platform::FromQt(Coordination().position),
                            platform::FromQt(Coordination().frequency), model::g_airport.ident},
            WallMs());
    }
    m_coordinator->SetAirport(model::g_airport.ident, WallMs());
    Coordinated(m_coordinator->Tick(tick.coordination, tick.departed, WallMs()));
    for (const auto& applied : m_coordinator->TakeApplied())
        if (m_recorder.IsOpen())
            m_recorder.Coordination(m_recordClock.elapsed(), applied);
}

void Form1::ReplayCoordination(const mplink::RecordedTick& recorded,
                               const mplink::TickResult& tick) {
    if (!m_coordinator && recorded.coordination.empty())
        return;
    if (!m_coordinator)
        m_coordinator = std::make_unique<coord::Coordinator>(
            nullptr, m_replay->Header().localPlayer.value_or(0), coord::Identity{}, 0);
    const std::int64_t now = m_replay->Header().startUnixMs.value_or(0) + recorded.ms;
    Coordinated(m_coordinator->Replay(recorded.coordination, tick.departed, now));
}

void Form1::Coordinated(const coord::Events& events) {
    const coord::Coordinator& c = *m_coordinator;
    for (const coord::Board::Line& line : events.lines) {
        const std::string from = c.PositionOf(line.from);
        if (line.kind == coord::Kind::PointOut) {
            AppendAtc(from + " points out " + line.callsign + ": " + line.text);
            m_pointOuts.push_back(
                {line.callsign, from + ": " + line.text, m_now + kPointOutSeconds});
        } else {
            AppendAtc(from + (line.toPosition.empty() ? ": " : " (to you): ") + line.text);
        }
    }
    for (const coord::Board::Offer& offer : events.offered) {
        const std::string strip = StripLine(offer.strip);
        AppendAtc(c.PositionOf(offer.from) + " offers " + offer.callsign + " to you" +
                  (strip.empty() ? std::string() : " (" + strip + ")"));
    }
    for (const coord::Events::Handed& handed : events.accepted) {
        AppendAtc(handed.position + " accepted " + handed.callsign);
        // The contact line for the pilot waits in the chat line: Send tells the pilot.
        if (!m_replay && Text3->text().isEmpty()) {
            Text3->setText(platform::ToQt(handed.callsign + " contact " + handed.position +
                                          (handed.frequency.empty() ? "" : " ") +
                                          handed.frequency));
            Text3->setFocus();
        }
    }
    for (const coord::Board::Offer& offer : events.refused)
        AppendAtc(c.PositionOf(offer.to) + " refused " + offer.callsign);
    for (const coord::Board::Offer& offer : events.lapsed)
        if (offer.from == c.Me() || offer.to == c.Me())
            AppendAtc("The offer of " + offer.callsign + " lapsed");
    for (const std::string& callsign : events.freed)
        AppendAtc(callsign + " is unowned: its controller left");
    for (const coord::Events::Clash& clash : events.clashes)
        AppendAtc("Another controller (" + clash.nickname + ") also calls itself " +
                  c.Self().position +
                  ": the others may not list you. Choose another position in Options and join "
                  "again.");
    if (!m_replaySeeking)
        ShowCoordination();
}

void Form1::StopCoordinating() {
    m_coordinator.reset();
    m_coordSession.reset();
    m_coordPlay.reset();
    m_pointOuts.clear();
    if (!m_replaySeeking)
        ShowCoordination();
}

Form11::CoordinationRows Form1::CoordinationRows() const {
    Form11::CoordinationRows rows;
    if (!m_coordinator)
        return rows;
    for (const auto& [callsign, ownership] : m_coordinator->Board().OwnersList())
        rows[callsign] = {m_coordinator->PositionOf(ownership.owner), StripLine(ownership.strip),
                          false};
    for (const auto& offer : m_coordinator->Board().Offers())
        if (offer.to == m_coordinator->Me())
            rows[offer.callsign].offeredToMe = true;
    return rows;
}

// Every view of the board as it is now: the channel's controls, the Controllers window, the
// Traffic List's columns, the scope.
void Form1::ShowCoordination() {
    const bool on = m_coordinator != nullptr;
    FrameAtc->setVisible(on);
    ToolbarButton(7)->setVisible(on);
    TextAtc->setEnabled(on && !m_replay);
    CommandAtc->setEnabled(on && !m_replay);
    std::vector<Form12::Row> controllers;
    QStringList positions{QStringLiteral("All Controllers")};
    if (on) {
        for (const auto& [player, controller] : m_coordinator->Board().Controllers()) {
            if (player == m_coordinator->Me())
                continue;
            positions << platform::ToQt(controller.position);
            controllers.push_back({controller.position, m_coordinator->NicknameOf(player),
                                   controller.frequency, controller.airport,
                                   platform::FromQt(QDateTime::fromMSecsSinceEpoch(controller.since)
                                                        .toString(QStringLiteral("HH:mm")))});
        }
    }
    QStringList shown;
    for (int i = 0; i < ComboAtc->count(); ++i)
        shown << ComboAtc->itemText(i);
    if (shown != positions) {
        const QString chosen = ComboAtc->currentText();
        const QSignalBlocker quiet(ComboAtc);
        ComboAtc->clear();
        ComboAtc->addItems(positions);
        ComboAtc->setCurrentIndex(std::max(0, ComboAtc->findText(chosen)));
    }
    if (auto* window = qobject_cast<Form12*>(m_controllers.data()))
        window->Refresh(controllers);
    if (auto* list = qobject_cast<Form11*>(m_trafficList.data())) {
        list->SetCoordinating(on);
        list->Refresh(radar::BuildTrafficList(model::g_traffic, model::g_trafficCount, m_history,
                                              model::g_airport, m_now),
                      CoordinationRows());
    }
}

void Form1::AppendAtc(const std::string& line) {
    RichTextAtc->appendPlainText(platform::ToQt(line));
}

void Form1::Done(coord::Outcome outcome, const std::string& what, const std::string& why) {
    if (outcome != coord::Outcome::Done)
        AppendAtc("Cannot " + what + (why.empty() ? std::string() : ": " + why));
    ShowCoordination();
    Repaint();
}

void Form1::SendAtc() {
    const std::string text = platform::FromQt(TextAtc->text().trimmed());
    if (m_replay || text.empty() || !StillCoordinating())
        return;
    const std::string to =
        ComboAtc->currentIndex() > 0 ? platform::FromQt(ComboAtc->currentText()) : std::string();
    std::string why;
    const coord::Outcome outcome = m_coordinator->Chat(to, text, WallMs(), why);
    if (outcome == coord::Outcome::Done) {
        AppendAtc(m_coordinator->Self().position + (to.empty() ? "" : " (to " + to + ")") + ": " +
                  text);
        TextAtc->clear();
    }
    Done(outcome, "send", why);
}

std::unique_ptr<QMenu> Form1::CoordinationMenu(const std::string& callsign) {
    if (m_replay || !StillCoordinating())
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("MenuCoordination"));
    coord::Coordinator& c = *m_coordinator;
    const auto owner = c.Board().Owner(callsign);
    const bool mine = owner && *owner == c.Me();
    const auto add = [&](QMenu* into, const QString& name, const QString& caption, bool enabled,
                         auto run) {
        QAction* action = into->addAction(caption);
        action->setObjectName(name);
        action->setEnabled(enabled);
        // The session may have ended while the menu was open.
        connect(action, &QAction::triggered, this, [this, run] {
            if (StillCoordinating())
                run();
        });
    };
    const QString shown = platform::ToQt(callsign);
    menu->setTitle(shown);
    add(menu.get(), "ActionClaim", "Claim " + shown, !owner, [this, callsign] {
        std::string why;
        Done(m_coordinator->Claim(callsign, WallMs(), why), "claim " + callsign, why);
    });
    add(menu.get(), "ActionRelease", "Release " + shown, mine, [this, callsign] {
        std::string why;
        Done(m_coordinator->Release(callsign, WallMs(), why), "release " + callsign, why);
    });
    QMenu* offer = menu->addMenu(QStringLiteral("Offer To"));
    offer->setObjectName(QStringLiteral("MenuOffer"));
    QMenu* point = menu->addMenu(QStringLiteral("Point Out To"));
    point->setObjectName(QStringLiteral("MenuPointOut"));
    point->setToolTip(QStringLiteral("The text typed in the controllers' line goes with it."));
    for (const auto& [player, controller] : c.Board().Controllers()) {
        if (player == c.Me())
            continue;
        const std::string position = controller.position;
        add(offer, "Offer " + platform::ToQt(position), platform::ToQt(position), mine,
            [this, callsign, position] {
                std::string why;
                Done(m_coordinator->Offer(callsign, position, WallMs(), why),
                     "offer " + callsign + " to " + position, why);
            });
        add(point, "Point " + platform::ToQt(position), platform::ToQt(position), true,
            [this, callsign, position] {
                std::string why;
                const std::string text = platform::FromQt(TextAtc->text().trimmed());
                const coord::Outcome outcome =
                    m_coordinator->PointOut(callsign, position, text, WallMs(), why);
                if (outcome == coord::Outcome::Done) {
                    AppendAtc("You point out " + callsign + " to " + position +
                              (text.empty() ? "" : ": " + text));
                    TextAtc->clear();
                }
                Done(outcome, "point out " + callsign, why);
            });
    }
    offer->setEnabled(mine && !offer->isEmpty());
    point->setEnabled(!point->isEmpty());
    const bool offered = c.OfferedToMe(callsign);
    add(menu.get(), "ActionAccept", "Accept " + shown, offered, [this, callsign] {
        std::string why;
        Done(m_coordinator->Accept(callsign, WallMs(), why), "accept " + callsign, why);
    });
    add(menu.get(), "ActionRefuse", "Refuse " + shown, offered, [this, callsign] {
        std::string why;
        Done(m_coordinator->Refuse(callsign, WallMs(), why), "refuse " + callsign, why);
    });
    add(menu.get(), "ActionStrip", QStringLiteral("Edit Strip..."), mine,
        [this, callsign] { EditStrip(callsign); });
    return menu;
}

void Form1::EditStrip(const std::string& callsign) {
    const coord::Board::Ownership* owned =
        m_coordinator ? m_coordinator->Board().OwnershipOf(callsign) : nullptr;
    auto* window = qobject_cast<Form13*>(platform::ShowWindow(QStringLiteral("Form13")));
    if (!owned || !window)
        return;
    const coord::Strip& s = owned->strip;
    window->Edit(platform::ToQt(callsign),
                 {platform::ToQt(s.altitude), platform::ToQt(s.heading), platform::ToQt(s.runway),
                  platform::ToQt(s.squawk), platform::ToQt(s.remarks)});
    disconnect(window, &Form13::stripChosen, this, nullptr);
    connect(window, &Form13::stripChosen, this,
            [this](const QString& chosen, const QStringList& fields) {
                if (!m_coordinator || fields.size() != 5)
                    return;
                const coord::Strip strip{platform::FromQt(fields[0]), platform::FromQt(fields[1]),
                                         platform::FromQt(fields[2]), platform::FromQt(fields[3]),
                                         platform::FromQt(fields[4])};
                std::string why;
                const std::string whose = platform::FromQt(chosen);
                Done(m_coordinator->SetStrip(whose, strip, WallMs(), why),
                     "change the strip of " + whose, why);
            });
}

void Form1::ShowControllers() {
    auto* window = qobject_cast<Form12*>(platform::ShowWindow(QStringLiteral("Form12")));
    if (!window)
        return;
    m_controllers = window;
    ShowCoordination();
}

}  // namespace app
