#include "app/form10.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "app/aid_settings.h"
#include "loader/form5.h"
#include "model/shared_state.h"
#include "platform/ui/widget_text.h"

namespace app {

Form10::Form10(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Tarvolo v1.1 - Options"));
    auto* frame = new QGroupBox(QStringLiteral("Display Options"));
    auto* boxes = new QVBoxLayout(frame);
    // Each box shows its flag at load; a click sets the flag from the box at once, and the
    // next repaint and pointer move follow it.
    auto add = [&](const char* name, const char* caption, bool& flag) {
        auto* box = platform::Named(new QCheckBox(QString::fromLatin1(caption)), name);
        box->setChecked(flag);
        connect(box, &QCheckBox::clicked, this, [&flag, box] {
            if (box->checkState() == Qt::Checked)
                flag = true;
            else if (box->checkState() == Qt::Unchecked)
                flag = false;
        });
        boxes->addWidget(box, 0, Qt::AlignLeft);  // as wide as its caption, however wide the window
        return box;
    };
    Check1 = add("Check1", "Display Airspaces", model::g_showAirspaces);
    Check11 = add("Check11", "Display Airport Name", model::g_showAirportName);
    Check10 = add("Check10", "Display Gates/Parkings", model::g_showParkings);
    Check9 = add("Check9", "Display Taxiways IDs", model::g_showTaxiwayIds);
    Check8 = add("Check8", "Display Taxiways", model::g_showTaxiways);
    Check2 = add("Check2", "Display ILS", model::g_showILS);
    Command1 = platform::Named(new QPushButton(QStringLiteral("OK")), "Command1");

    // The aids change at once like the display flags, and are saved as they change.
    radar::AidSettings& aids = Aids();
    auto* aidFrame = platform::Named(new QGroupBox(QStringLiteral("Controller Aids")), "Frame2");
    auto* aidRows = new QFormLayout(aidFrame);
    auto aid = [&](const char* name, const char* caption, bool& flag) {
        auto* box = platform::Named(new QCheckBox(QString::fromLatin1(caption)), name);
        box->setChecked(flag);
        connect(box, &QCheckBox::toggled, this, [&flag](bool on) {
            flag = on;
            SaveAids();
        });
        aidRows->addRow(box);
        return box;
    };
    auto feet = [&](const char* name, const char* caption, int& value, int low, int high) {
        auto* spin = platform::Named(new QSpinBox, name);
        spin->setRange(low, high);
        spin->setSingleStep(100);
        spin->setValue(value);
        connect(spin, &QSpinBox::valueChanged, this, [&value](int v) {
            value = v;
            SaveAids();
        });
        aidRows->addRow(QString::fromLatin1(caption), spin);
        return spin;
    };
    CheckWheel = aid("CheckWheel", "Wheel Zoom and Panning", aids.wheelAndPan);
    CheckRings = aid("CheckRings", "Range Rings", aids.rings);
    CheckTrails = aid("CheckTrails", "History Trails", aids.trails);
    CheckFilter = aid("CheckFilter", "Altitude Filter", aids.filter);
    FilterLow = feet("FilterLow", "Lowest altitude (ft):", aids.filterLowFt, -2000, 99900);
    FilterHigh = feet("FilterHigh", "Highest altitude (ft):", aids.filterHighFt, -2000, 99900);
    CheckConflict = aid("CheckConflict", "Conflict Alert", aids.conflicts);
    ConflictLateral = platform::Named(new QDoubleSpinBox, "ConflictLateral");
    ConflictLateral->setRange(0.5, 20);
    ConflictLateral->setSingleStep(0.5);
    ConflictLateral->setDecimals(1);
    ConflictLateral->setValue(aids.conflictLateralNm);
    connect(ConflictLateral, &QDoubleSpinBox::valueChanged, this, [&aids](double v) {
        aids.conflictLateralNm = v;
        SaveAids();
    });
    aidRows->addRow(QStringLiteral("Closer than (nm):"), ConflictLateral);
    ConflictVertical =
        feet("ConflictVertical", "And within (ft):", aids.conflictVerticalFt, 100, 10000);
    AirborneSpeed = feet("AirborneSpeed", "Airborne above (kt):", aids.airborneSpeedKt, 0, 500);
    AirborneSpeed->setSingleStep(5);
    CheckDeclutter = aid("CheckDeclutter", "Uncluttered Data Blocks", aids.declutter);
    CheckSpeed = aid("CheckSpeed", "Speed and Trend Line", aids.speedLine);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(aidFrame);
    layout->addWidget(Command1, 0, Qt::AlignRight);
    connect(Command1, &QPushButton::clicked, this, [this] {
        loader::ReleaseMainWindow();
        m_released = true;
        close();
    });
}

void Form10::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!m_released && model::g_connected)
        loader::ReleaseMainWindow();
}

}  // namespace app
