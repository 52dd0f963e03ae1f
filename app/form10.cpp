#include "app/form10.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QVBoxLayout>

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
        boxes->addWidget(box);
        return box;
    };
    Check1 = add("Check1", "Display Airspaces", model::g_showAirspaces);
    Check11 = add("Check11", "Display Airport Name", model::g_showAirportName);
    Check10 = add("Check10", "Display Gates/Parkings", model::g_showParkings);
    Check9 = add("Check9", "Display Taxiways IDs", model::g_showTaxiwayIds);
    Check8 = add("Check8", "Display Taxiways", model::g_showTaxiways);
    Check2 = add("Check2", "Display ILS", model::g_showILS);
    Command1 = platform::Named(new QPushButton(QStringLiteral("OK")), "Command1");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
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
