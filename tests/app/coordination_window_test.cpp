// The main window as a controller coordinating with a headless one (watch --position) in a
// simhost session: the controllers' list and channel, handoffs both ways answered from the
// Traffic List's menu, the contact line for the pilot, a point-out, the other controller
// leaving; and with coordination off, nothing of it.

#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/aid_settings.h"
#include "app/form1.h"
#include "app/form11.h"
#include "app/form12.h"
#include "directplay/directplay.h"
#include "link/coordination.h"
#include "link/link.h"
#include "model/shared_state.h"
#include "platform/ui/windows.h"
#include "radar/view.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/simhost_process.h"
#include "tests/support/window_cleanup.h"

using testing_support::ChildProcess;
using testing_support::SimHostProcess;

class CoordinationWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void aWindowAndAHeadlessControllerHandAircraftBackAndForth();
    void withCoordinationOffNothingNewIsSentOrShown();

private:
    // The Traffic List's cell of `callsign` in the column headed `column`.
    static QTableWidgetItem* Cell(app::Form11* list, const QString& callsign,
                                  const QString& column);
    // Runs the action named `name` of the aircraft's menu; false when it is not enabled.
    static bool Choose(app::Form1* form, const QString& callsign, const QString& name);

    testing_support::ScriptedDialogs* m_dialogs = nullptr;
    QTemporaryDir m_settings;
};

void CoordinationWindowTest::init() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
    app::ReloadAids();
    model::ResetSharedState();
    m_dialogs = new testing_support::ScriptedDialogs;
    platform::RegisterWindow(QStringLiteral("Form2"), [] { return new QWidget; });
    platform::RegisterWindow(QStringLiteral("Form11"), [] { return new app::Form11; });
    platform::RegisterWindow(QStringLiteral("Form12"), [] { return new app::Form12; });
    platform::RegisterWindow(QStringLiteral("Form13"), [] { return new app::Form13; });
    testing_support::UseLoopbackDirectPlay();
    model::g_airport.name = "Tarvolo International";
    model::g_airport.ident = "KTVO";
    model::g_airport.latitude = 47.4490;
    model::g_airport.longitude = -122.3090;
}

void CoordinationWindowTest::cleanup() {
    app::Coordination() = {};
    app::Aids() = radar::AidSettings{};
    testing_support::CloseEveryWindow();
    mplink::ReleaseDirectPlay();
    delete m_dialogs;
    model::ResetSharedState();
}

app::Form1* Open() {
    return testing_support::OpenNew<app::Form1>();
}

QTableWidgetItem* CoordinationWindowTest::Cell(app::Form11* list, const QString& callsign,
                                               const QString& column) {
    int c = 0;
    while (c < list->Grid1->columnCount() && list->Grid1->horizontalHeaderItem(c)->text() != column)
        ++c;
    for (int r = 0; r < list->Grid1->rowCount(); ++r)
        if (list->Grid1->item(r, 0) && list->Grid1->item(r, 0)->text() == callsign)
            return c < list->Grid1->columnCount() ? list->Grid1->item(r, c) : nullptr;
    return nullptr;
}

bool CoordinationWindowTest::Choose(app::Form1* form, const QString& callsign,
                                    const QString& name) {
    const auto menu = form->CoordinationMenu(callsign.toStdString());
    if (!menu)
        return false;
    auto* action = menu->findChild<QAction*>(name);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

void CoordinationWindowTest::aWindowAndAHeadlessControllerHandAircraftBackAndForth() {
    app::Coordination() = {true, QStringLiteral("TVO_TWR"), QStringLiteral("118.70")};
    SimHostProcess host({"--aircraft", "2", "--id-mask", "0x9E370000"});
    const QStringList callsigns = host.Callsigns(2);
    QCOMPARE(callsigns.size(), 2);
    const QString arrival = callsigns[0];
    const QString other = callsigns[1];
    QVERIFY(testing_support::JoinSession(host, coord::PlayerMark()));
    auto* form = Open();
    form->ToolbarButton(6)->trigger();
    auto* list = qobject_cast<app::Form11*>(platform::ShowWindow(QStringLiteral("Form11")));
    QVERIFY(list);

    // Approach comes on, claims the arrival, fills its strip and offers it to the tower.
    ChildProcess approach;
    approach.Start(TARVOLO_TOOL_PATH,
                   {"watch", host.Address(), "--nickname", "Approach Ann", "--seconds", "120",
                    "--position", "TVO_APP", "--frequency", "119.20", "--commands", "-"});
    approach.Write(
        ("claim " + arrival + "\nstrip " + arrival + " altitude=4000 runway=16L\noffer " + arrival +
         " TVO_TWR\natc tower, it is yours\npoint " + other + " TVO_TWR traffic for you\n")
            .toLatin1());
    QVERIFY(QTest::qWaitFor([&] { return form->FrameAtc->isVisible(); }, 20000));
    QVERIFY(form->ToolbarButton(7)->isVisible());
    QVERIFY(QTest::qWaitFor([&] { return form->ComboAtc->findText("TVO_APP") > 0; }, 20000));
    form->ToolbarButton(7)->trigger();
    auto* controllers = qobject_cast<app::Form12*>(platform::ShowWindow(QStringLiteral("Form12")));
    QVERIFY(controllers);
    QCOMPARE(controllers->Grid1->rowCount(), 1);
    QCOMPARE(controllers->Grid1->item(0, 0)->text(), QStringLiteral("TVO_APP"));
    QCOMPARE(controllers->Grid1->item(0, 1)->text(), QStringLiteral("Approach Ann"));
    QCOMPARE(controllers->Grid1->item(0, 2)->text(), QStringLiteral("119.20"));

    // The offer: announced in the channel with its strip, the row blinking, answerable.
    QVERIFY(QTest::qWaitFor(
        [&] { return form->RichTextAtc->toPlainText().contains("TVO_APP offers " + arrival); },
        30000));
    QVERIFY(form->RichTextAtc->toPlainText().contains("(A4000 R16L)"));
    QVERIFY(QTest::qWaitFor(
        [&] {
            QTableWidgetItem* cell = Cell(list, arrival, "Owner");
            return cell && cell->text() == "TVO_APP" &&
                   cell->background().color() == QColor(255, 176, 0);
        },
        5000));
    QCOMPARE(Cell(list, arrival, "Strip")->text(), QStringLiteral("A4000 R16L"));
    QVERIFY(!Choose(form, arrival, "ActionClaim"));  // owned by approach
    QVERIFY(Choose(form, arrival, "ActionAccept"));
    QCOMPARE(Cell(list, arrival, "Owner")->text(), QStringLiteral("TVO_TWR"));
    QVERIFY(QTest::qWaitFor(
        [&] { return form->RichTextAtc->toPlainText().contains("TVO_APP: tower, it is yours"); },
        20000));
    QVERIFY(QTest::qWaitFor(
        [&] {
            return form->RichTextAtc->toPlainText().contains("TVO_APP points out " + other +
                                                             ": traffic for you");
        },
        20000));

    // On the scope the right button opens the same menu on a target, and centres elsewhere.
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (int i = 1; i <= model::g_trafficCount; ++i)
                if (model::g_traffic[static_cast<std::size_t>(i)].name == arrival.toStdString())
                    return model::g_traffic[static_cast<std::size_t>(i)].latitude != 0;
            return false;
        },
        10000));
    form->Center_Airport(model::g_airport.longitude, model::g_airport.latitude);
    for (int i = 1; i <= model::g_trafficCount; ++i) {
        const auto& row = model::g_traffic[static_cast<std::size_t>(i)];
        if (row.name != arrival.toStdString())
            continue;
        form->Center_Airport(row.longitude, row.latitude);  // on the scope, whatever its range
        const radar::Pixel at = radar::Geo_To_Pixel(form->View(), row.latitude, row.longitude);
        const double left = form->View().m_viewLeft;
        QTest::mousePress(form->Picture1, Qt::RightButton, {}, QPoint(at.x, at.y));
        QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, 5000));
        QCOMPARE(QApplication::activePopupWidget()->objectName(),
                 QStringLiteral("MenuCoordination"));
        QApplication::activePopupWidget()->close();
        QCOMPARE(form->View().m_viewLeft, left);  // not centred
    }
    QTest::mousePress(form->Picture1, Qt::RightButton, {}, QPoint(5, 5));
    QVERIFY(!QApplication::activePopupWidget());

    // Back to approach: offered from the menu, accepted there, the contact line proposed.
    QVERIFY(Choose(form, arrival, "Offer TVO_APP"));
    approach.Write(("accept " + arrival + "\n").toLatin1());
    QVERIFY(QTest::qWaitFor(
        [&] { return form->RichTextAtc->toPlainText().contains("TVO_APP accepted " + arrival); },
        30000));
    QCOMPARE(form->Text3->text(), arrival + " contact TVO_APP 119.20");
    QVERIFY(!host.LogHas("contact TVO_APP", 0));  // nothing goes before the user sends it
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QVERIFY(host.LogHas("CHAT in ATC Controller: " + arrival + " contact TVO_APP 119.20"));

    // The controllers' channel to one position.
    form->ComboAtc->setCurrentText(QStringLiteral("TVO_APP"));
    form->TextAtc->setText(QStringLiteral("thanks"));
    QTest::mouseClick(form->CommandAtc, Qt::LeftButton);
    QVERIFY(form->TextAtc->text().isEmpty());
    QVERIFY(form->RichTextAtc->toPlainText().contains("TVO_TWR (to TVO_APP): thanks"));
    QVERIFY(QTest::qWaitFor([&] { return approach.Out().contains("TVO_TWR: thanks"); }, 20000));

    // Approach leaves with the aircraft it owns: unowned everywhere.
    approach.Stop();
    QVERIFY(QTest::qWaitFor(
        [&] {
            return form->RichTextAtc->toPlainText().contains(arrival +
                                                             " is unowned: its controller left");
        },
        40000));
    QCOMPARE(form->ComboAtc->count(), 1);
    QCOMPARE(controllers->Grid1->rowCount(), 0);
    QVERIFY(Cell(list, arrival, "Owner")->text().isEmpty());
    // The simulator's players heard nothing they do not know.
    QVERIFY(!host.LogHas(QStringLiteral("MESSAGE %1 ").arg(coord::kMessageType), 0));

    // A menu left open while the session ends does nothing when chosen.
    auto menu = form->CoordinationMenu(arrival.toStdString());
    QVERIFY(menu);
    QTest::mouseClick(form->Command3, Qt::LeftButton);  // "> Disconnect"
    QVERIFY(!form->Coordinator());
    menu->findChild<QAction*>("ActionClaim")->trigger();
    menu.reset();
}

void CoordinationWindowTest::withCoordinationOffNothingNewIsSentOrShown() {
    struct Row {
        const char* name;
        app::CoordinationSettings settings;
    };
    // Off; on without a position; on, but the player joined unmarked (set after the join).
    for (const Row& row :
         {Row{"off", {false, "TVO_TWR", "118.70"}}, Row{"no position", {true, "", "118.70"}},
          Row{"joined unmarked", {true, "TVO_TWR", "118.70"}}}) {
        app::Coordination() = row.settings;
        SimHostProcess host({"--aircraft", "1"});
        QVERIFY2(testing_support::JoinSession(host), row.name);
        auto* form = Open();
        form->ToolbarButton(6)->trigger();
        auto* list = qobject_cast<app::Form11*>(platform::ShowWindow(QStringLiteral("Form11")));
        QVERIFY(QTest::qWaitFor([] { return model::g_trafficCount >= 2; }, 10000));
        QVERIFY2(!form->Coordinator(), row.name);
        QVERIFY2(!form->FrameAtc->isVisible(), row.name);
        QVERIFY2(!form->ToolbarButton(7)->isVisible(), row.name);
        QCOMPARE(list->Grid1->columnCount(), 10);
        const QStringList callsigns = host.Callsigns(1);
        QCOMPARE(callsigns.size(), 1);
        QVERIFY(!form->CoordinationMenu(callsigns[0].toStdString()));
        QVERIFY(model::g_directPlay->GetPlayerData(model::g_localPlayerId).empty());
        testing_support::CloseEveryWindow();
        mplink::ReleaseDirectPlay();
        model::ResetSharedState();
        testing_support::UseLoopbackDirectPlay();
    }
}

QTEST_MAIN(CoordinationWindowTest)
#include "coordination_window_test.moc"
