#include "app/placeholder_window.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include "platform/ui/dialogs.h"

namespace app {

PlaceholderWindow::PlaceholderWindow(const QString& caption, const QString& text, QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(caption);
    Label1 = new QLabel(text, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    resize(420, 160);
}

void PlaceholderWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    platform::EndProgram();
}

}  // namespace app
