#include "platform/ui/dialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QWidget>

namespace platform {
namespace {

DialogHandler* installedHandler = nullptr;

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void SetDialogHandler(DialogHandler* handler) {
    installedHandler = handler;
}

void ShowMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text) {
    if (installedHandler) {
        installedHandler->Message(icon, title, text);
        return;
    }
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool AskOkCancel(QWidget* parent, const QString& title, const QString& text, MessageIcon icon) {
    if (installedHandler) {
        return installedHandler->OkCancel(icon, title, text);
    }
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    return box.exec() == QMessageBox::Ok;
}

std::optional<int> ChooseItem(QWidget* parent, const QString& title, const QString& text,
                              const QStringList& items, int current) {
    if (installedHandler)
        return installedHandler->Choose(title, text, items, current);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(parent, title, text, items, current, false, &ok);
    if (!ok)
        return std::nullopt;
    const auto index = items.indexOf(chosen);
    return index < 0 ? std::nullopt : std::optional<int>(static_cast<int>(index));
}

void EndProgram() {
    if (installedHandler) {
        installedHandler->EndProgram();
        return;
    }
    // Like the original End: no window gets a close event, so nothing else runs.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        window->hide();
    }
    QCoreApplication::exit(0);
}

}  // namespace platform
