#include "app/form10.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <functional>

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
    // Two columns: what is drawn on the left, the filter and the alert on the right.
    auto* columns = new QGridLayout(aidFrame);
    auto* drawnRows = new QFormLayout;
    auto* alertRows = new QFormLayout;
    columns->addLayout(drawnRows, 0, 0);
    columns->addLayout(alertRows, 0, 1);
    QFormLayout* aidRows = drawnRows;
    auto aid = [&](const char* name, const char* caption, bool& flag) {
        auto* box = platform::Named(new QCheckBox(QString::fromLatin1(caption)), name);
        box->setChecked(flag);
        box->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);  // as wide as its caption
        connect(box, &QCheckBox::toggled, this, [&flag](bool on) {
            flag = on;
            SaveAids();
        });
        aidRows->addRow(box);
        return box;
    };
    LabelAidProblem = platform::Named(new QLabel, "LabelAidProblem");
    LabelAidProblem->setStyleSheet(QStringLiteral("color: #c00000"));
    LabelAidProblem->setWordWrap(true);
    // A value that cannot be is refused: the box goes back to what it was and says why.
    using Refusal = std::function<QString(int)>;
    auto feet = [&](const char* name, const char* caption, int& value, int low, int high,
                    Refusal refuse = {}) {
        auto* spin = platform::Named(new QSpinBox, name);
        spin->setRange(low, high);
        spin->setSingleStep(100);
        spin->setValue(value);
        connect(spin, &QSpinBox::valueChanged, this, [this, spin, &value, refuse](int v) {
            if (const QString why = refuse ? refuse(v) : QString(); !why.isEmpty()) {
                const QSignalBlocker quiet(spin);
                spin->setValue(value);
                LabelAidProblem->setText(why);
                return;
            }
            LabelAidProblem->clear();
            value = v;
            SaveAids();
        });
        aidRows->addRow(QString::fromLatin1(caption), spin);
        return spin;
    };
    CheckWheel = aid("CheckWheel", "Wheel Zoom and Panning", aids.wheelAndPan);
    CheckRings = aid("CheckRings", "Range Rings", aids.rings);
    CheckTrails = aid("CheckTrails", "History Trails", aids.trails);
    aidRows = alertRows;
    CheckFilter = aid("CheckFilter", "Altitude Filter", aids.filter);
    FilterLow =
        feet("FilterLow", "Lowest altitude (ft):", aids.filterLowFt, -2000, 99900, [&aids](int v) {
            return v > aids.filterHighFt ? QStringLiteral(
                                               "The lowest altitude cannot be above the "
                                               "highest (%1 ft).")
                                               .arg(aids.filterHighFt)
                                         : QString();
        });
    FilterHigh = feet(
        "FilterHigh", "Highest altitude (ft):", aids.filterHighFt, -2000, 99900, [&aids](int v) {
            return v < aids.filterLowFt ? QStringLiteral(
                                              "The highest altitude cannot be below the "
                                              "lowest (%1 ft).")
                                              .arg(aids.filterLowFt)
                                        : QString();
        });
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
    AirborneHeight =
        feet("AirborneHeight", "Or above the nearest field (ft):", aids.airborneHeightFt, 0, 5000);
    LookAhead = feet("LookAhead", "Looking ahead (s):", aids.lookAheadSeconds, 0, 600);
    LookAhead->setSingleStep(10);
    aidRows = drawnRows;
    CheckDeclutter = aid("CheckDeclutter", "Uncluttered Data Blocks", aids.declutter);
    CheckSpeed = aid("CheckSpeed", "Speed and Trend Line", aids.speedLine);
    HistoryDots = feet("HistoryDots", "History dots:", aids.historyDots, 1, 20);
    HistoryDots->setSingleStep(1);
    HistorySeconds = feet("HistorySeconds", "Every (s):", aids.historySeconds, 1, 60);
    HistorySeconds->setSingleStep(1);
    CheckVectors = aid("CheckVectors", "Predicted Vectors", aids.vectors);
    VectorMinutes = platform::Named(new QComboBox, "VectorMinutes");
    const int minutes[] = {1, 2, 5};
    for (int m : minutes)
        VectorMinutes->addItem(QStringLiteral("%1 min").arg(m), m);
    VectorMinutes->setCurrentIndex(std::max(0, VectorMinutes->findData(aids.vectorMinutes)));
    connect(VectorMinutes, &QComboBox::currentIndexChanged, this, [this, &aids](int) {
        aids.vectorMinutes = VectorMinutes->currentData().toInt();
        SaveAids();
    });
    aidRows->addRow(QStringLiteral("Vector length:"), VectorMinutes);
    CheckCentrelines = aid("CheckCentrelines", "Runway Centrelines", aids.centrelines);
    CheckRangeBearing =
        aid("CheckRangeBearing", "Range and Bearing Lines (Shift + drag)", aids.rangeBearing);
    columns->addWidget(LabelAidProblem, 1, 0, 1, 2);

    // Coordination: taken up when the next session is joined.
    CoordinationSettings& coordination = Coordination();
    auto* coordFrame = platform::Named(new QGroupBox(QStringLiteral("Controllers")), "Frame3");
    auto* coordRows = new QFormLayout(coordFrame);
    CheckCoordinate = platform::Named(
        new QCheckBox(QStringLiteral("Coordinate with Other Controllers")), "CheckCoordinate");
    CheckCoordinate->setChecked(coordination.on);
    CheckCoordinate->setToolTip(
        QStringLiteral("Other Tarvolo controllers in the session see you and hand aircraft to "
                       "you; from the next join on."));
    connect(CheckCoordinate, &QCheckBox::toggled, this, [&coordination](bool on) {
        coordination.on = on;
        SaveCoordination();
    });
    coordRows->addRow(CheckCoordinate);
    auto text = [&](const char* name, const QString& value, const QString& pattern) {
        auto* edit = platform::Named(new QLineEdit(value), name);
        edit->setMaxLength(16);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
        return edit;
    };
    TextPosition = text("TextPosition", coordination.position, QStringLiteral("[A-Za-z0-9_]*"));
    TextFrequency = text("TextFrequency", coordination.frequency, QStringLiteral("[0-9.]*"));
    connect(TextPosition, &QLineEdit::textEdited, this, [this, &coordination](const QString& v) {
        if (v != v.toUpper()) {
            const int cursor = TextPosition->cursorPosition();
            TextPosition->setText(v.toUpper());  // positions are written in capitals
            TextPosition->setCursorPosition(cursor);
        }
        coordination.position = v.toUpper();
        SaveCoordination();
    });
    connect(TextFrequency, &QLineEdit::textEdited, this, [&coordination](const QString& v) {
        coordination.frequency = v;
        SaveCoordination();
    });
    coordRows->addRow(QStringLiteral("Position:"), TextPosition);
    coordRows->addRow(QStringLiteral("Frequency (MHz):"), TextFrequency);
    aidRows = coordRows;
    CheckOwners = aid("CheckOwners", "Owner in Data Blocks", aids.owners);
    CheckControllerAirports =
        aid("CheckControllerAirports", "Other Controllers' Airports", aids.controllerAirports);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;  // the display flags, and beside them the controllers
    top->addWidget(frame);
    top->addWidget(coordFrame, 1);
    layout->addLayout(top);
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
