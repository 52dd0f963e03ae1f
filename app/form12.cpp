#include "app/form12.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/ui/widget_text.h"

namespace app {

Form12::Form12(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Tarvolo v1.1 - Controllers"));
    Grid1 = platform::Named(new QTableWidget(0, 5), "Grid1");
    Grid1->setHorizontalHeaderLabels({"Position", "Nickname", "Frequency", "Airport", "On Since"});
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->verticalHeader()->hide();
    Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid1);
    resize(480, 200);
}

void Form12::Refresh(const std::vector<Row>& rows) {
    Grid1->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const Row& row = rows[static_cast<std::size_t>(r)];
        const std::string* cells[] = {&row.position, &row.nickname, &row.frequency, &row.airport,
                                      &row.since};
        for (int c = 0; c < 5; ++c)
            Grid1->setItem(r, c, new QTableWidgetItem(platform::ToQt(*cells[c])));
    }
}

Form13::Form13(QWidget* parent) : QWidget(parent) {
    auto* rows = new QFormLayout;
    const char* captions[] = {"Altitude:", "Heading:", "Runway:", "Squawk:", "Remarks:"};
    QLineEdit** edits[] = {&Text1, &Text2, &Text3, &Text4, &Text5};
    for (int i = 0; i < 5; ++i) {
        *edits[i] = new QLineEdit;
        (*edits[i])->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        (*edits[i])->setMaxLength(i == 4 ? 80 : 8);
        rows->addRow(QString::fromLatin1(captions[i]), *edits[i]);
    }
    Command1 = platform::Named(new QPushButton(QStringLiteral("OK")), "Command1");
    Command2 = platform::Named(new QPushButton(QStringLiteral("Cancel")), "Command2");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(rows);
    layout->addLayout(buttons);
    connect(Command1, &QPushButton::clicked, this, [this] {
        emit stripChosen(m_callsign, {Text1->text(), Text2->text(), Text3->text(), Text4->text(),
                                      Text5->text()});
        close();
    });
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
}

void Form13::Edit(const QString& callsign, const QStringList& fields) {
    m_callsign = callsign;
    setWindowTitle(QStringLiteral("Tarvolo v1.1 - Strip ") + callsign);
    QLineEdit* edits[] = {Text1, Text2, Text3, Text4, Text5};
    for (int i = 0; i < 5; ++i)
        edits[i]->setText(i < fields.size() ? fields[i] : QString());
}

}  // namespace app
