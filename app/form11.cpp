#include "app/form11.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QVBoxLayout>

#include "platform/ui/widget_text.h"

namespace app {
namespace {

enum Column {
    kCallsign,
    kCategory,
    kModel,
    kAltitude,
    kHeading,
    kSpeed,
    kClimb,
    kDistance,
    kBearing,
    kHeard,
    kColumns,
    kOwner = kColumns,  // while coordinating
    kStrip,
    kAllColumns
};

constexpr int kOfferedRole = Qt::UserRole + 1;  // on the callsign cell: an offer to us

// A cell that sorts by its number, not its text.
class NumberItem : public QTableWidgetItem {
public:
    NumberItem(const QString& text, double value) : QTableWidgetItem(text) {
        setData(Qt::UserRole, value);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(Qt::UserRole).toDouble() < other.data(Qt::UserRole).toDouble();
    }
};

QTableWidgetItem* Number(const std::optional<double>& value, int decimals = 0) {
    if (!value)
        return new NumberItem(QStringLiteral("\u2013"), -1e12);  // not known
    return new NumberItem(QString::number(*value, 'f', decimals), *value);
}

}  // namespace

Form11::Form11(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Tarvolo v1.1 - Traffic List"));
    Grid1 = platform::Named(new QTableWidget(0, kColumns), "Grid1");
    Grid1->setHorizontalHeaderLabels({"Callsign", "Category", "Model", "Altitude (ft)", "Heading",
                                      "Speed (kt)", "Climb (ft/min)", "Distance (nm)", "Bearing",
                                      "Heard (s ago)"});
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSortingEnabled(true);
    Grid1->sortByColumn(kCallsign, Qt::AscendingOrder);  // A to Z
    Grid1->verticalHeader()->hide();
    Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Check1 = platform::Named(new QCheckBox(QStringLiteral("Record")), "Check1");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid1, 1);
    layout->addWidget(Check1, 0, Qt::AlignLeft);
    resize(820, 320);

    connect(Grid1, &QTableWidget::itemSelectionChanged, this,
            [this] { emit highlightChanged(SelectedCallsign()); });
    connect(Grid1, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        // The callsign as the table holds it, in the program's code page.
        const std::string callsign = platform::FromQt(Grid1->item(row, kCallsign)->text());
        for (const auto& entry : m_rows)
            if (entry.callsign == callsign && (entry.latitude != 0 || entry.longitude != 0))
                emit centreOn(entry.longitude, entry.latitude);
    });
    connect(Check1, &QCheckBox::toggled, this, &Form11::recordToggled);
    Grid1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Grid1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QTableWidgetItem* item = Grid1->itemAt(at);
        if (!m_coordinating || !item)
            return;
        emit menuAsked(Grid1->item(item->row(), kCallsign)->text(),
                       Grid1->viewport()->mapToGlobal(at));
    });
    m_blink.setInterval(500);
    connect(&m_blink, &QTimer::timeout, this, &Form11::Blink);
}

void Form11::SetCoordinating(bool on) {
    if (on == m_coordinating)
        return;
    m_coordinating = on;
    Grid1->setColumnCount(on ? kAllColumns : kColumns);
    if (on) {
        Grid1->setHorizontalHeaderItem(kOwner, new QTableWidgetItem(QStringLiteral("Owner")));
        Grid1->setHorizontalHeaderItem(kStrip, new QTableWidgetItem(QStringLiteral("Strip")));
    }
}

void Form11::Blink() {
    // An offer waiting for our answer: its row turns amber and back every half second.
    m_blinkOn = !m_blinkOn;
    bool any = false;
    for (int r = 0; r < Grid1->rowCount(); ++r) {
        const bool offered = Grid1->item(r, kCallsign)->data(kOfferedRole).toBool();
        any = any || offered;
        for (int c = 0; c < Grid1->columnCount(); ++c)
            if (QTableWidgetItem* item = Grid1->item(r, c))
                item->setBackground(offered && m_blinkOn ? QBrush(QColor(255, 176, 0)) : QBrush());
    }
    if (!any)
        m_blink.stop();
}

void Form11::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit highlightChanged(QString());
}

QString Form11::SelectedCallsign() const {
    const auto rows = Grid1->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return {};
    return Grid1->item(rows.front().row(), kCallsign)->text();
}

void Form11::Refresh(const std::vector<radar::TrafficListRow>& rows,
                     const CoordinationRows& coordination) {
    const QString selected = SelectedCallsign();
    m_rows = rows;
    const QSignalBlocker quiet(Grid1);
    Grid1->setSortingEnabled(false);
    Grid1->clearSelection();
    Grid1->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const radar::TrafficListRow& row = rows[static_cast<std::size_t>(r)];
        auto text = [](const std::string& s) { return new QTableWidgetItem(platform::ToQt(s)); };
        auto optional = [](const std::optional<int>& v) {
            return v ? std::optional<double>(*v) : std::nullopt;
        };
        QTableWidgetItem* items[kColumns] = {text(row.callsign),
                                             text(row.category),
                                             text(row.model),
                                             Number(row.altitude),
                                             Number(row.heading),
                                             Number(optional(row.groundSpeedKt)),
                                             Number(optional(row.verticalSpeedFpm)),
                                             Number(row.distanceNm, 1),
                                             Number(optional(row.bearing)),
                                             Number(row.silentSeconds)};
        for (int c = 0; c < kColumns; ++c) {
            if (row.silent)
                items[c]->setForeground(Qt::gray);
            Grid1->setItem(r, c, items[c]);
        }
        if (m_coordinating) {
            const auto it = coordination.find(row.callsign);
            const Coordination none;
            const Coordination& c = it == coordination.end() ? none : it->second;
            Grid1->setItem(r, kOwner, text(c.owner));
            Grid1->setItem(r, kStrip, text(c.strip));
            items[kCallsign]->setData(kOfferedRole, c.offeredToMe);
            if (c.offeredToMe && !m_blink.isActive())
                m_blink.start();
        }
    }
    Grid1->setSortingEnabled(true);
    m_blinkOn = !m_blinkOn;
    Blink();  // the new cells as the blink shows them now
    for (int r = 0; r < Grid1->rowCount(); ++r)
        if (Grid1->item(r, kCallsign)->text() == selected && !selected.isEmpty())
            Grid1->selectRow(r);
}

}  // namespace app
