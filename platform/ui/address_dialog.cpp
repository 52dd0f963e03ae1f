#include "platform/ui/address_dialog.h"

#include <QInputDialog>

#include "directplay/directplay.h"

namespace platform {

void InstallAddressDialog() {
    directplay::SetAddressPrompt([]() -> std::optional<std::string> {
        bool ok = false;
        const QString text = QInputDialog::getText(
            nullptr, QStringLiteral("Internet TCP/IP Connection For DirectPlay"),
            QString::fromLatin1(directplay::kAddressPromptText), QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return text.trimmed().toStdString();
    });
}

}  // namespace platform
