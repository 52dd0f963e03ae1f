#include "app/form7.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/form8.h"
#include "loader/form5.h"
#include "model/shared_state.h"
#include "platform/ui/widget_text.h"

namespace app {

Form7::Form7(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("About Tarvolo v1.1"));
    Label1 = platform::Named(new QLabel(QStringLiteral("TARVOLO VERSION 1.1")), "Label1");
    QFont title = Label1->font();
    title.setBold(true);
    title.setPointSize(title.pointSize() + 4);
    Label1->setFont(title);
    Picture1 = platform::Named(new QLabel, "Picture1");
    Picture1->setPixmap(Form8::RadarScopePicture().scaledToHeight(150, Qt::SmoothTransformation));
    Frame1 = platform::Named(new QGroupBox(QStringLiteral("CREDITS")), "Frame1");
    auto* credits = new QVBoxLayout(Frame1);
    for (const char* line :
         {"A radar display for Flight Simulator 2002 multiplayer sessions.",
          "Airport diagrams, airspaces and traffic from the simulator's own scenery.",
          "Written by the Tarvolo developers with Qt.",
          "Thanks to the pilots and controllers who fly with it."}) {
        auto* label = new QLabel(QString::fromLatin1(line));
        label->setWordWrap(true);
        credits->addWidget(label);
    }
    Command1 = platform::Named(new QPushButton(QStringLiteral("OK")), "Command1");
    auto* body = new QHBoxLayout;
    body->addWidget(Picture1);
    body->addWidget(Frame1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1, 0, Qt::AlignHCenter);
    layout->addLayout(body);
    layout->addWidget(Command1, 0, Qt::AlignRight);
    connect(Command1, &QPushButton::clicked, this, [this] {
        loader::ReleaseMainWindow();
        m_released = true;
        close();
    });
}

void Form7::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!m_released && model::g_connected)
        loader::ReleaseMainWindow();
}

}  // namespace app
