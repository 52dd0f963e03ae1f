#pragma once

// The dialog layer: every modal message, the OK/Cancel question and the end of the program go
// through here, so tests can script the answers and observe what the user would have seen.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

namespace platform {

enum class MessageIcon { Information, Exclamation, None };

// Stands in for the real message boxes while installed (tests).
class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    virtual void Message(MessageIcon icon, const QString& title, const QString& text) = 0;
    virtual bool OkCancel(MessageIcon icon, const QString& title, const QString& text) = 0;
    virtual void EndProgram() = 0;
    // The item chosen from `items` (the current one offered first); none when cancelled.
    virtual std::optional<int> Choose(const QString& title, const QString& text,
                                      const QStringList& items, int current) {
        (void)title;
        (void)text;
        (void)items;
        return current;
    }
};

// Installs a handler (nullptr: the real dialogs again); the caller keeps ownership.
void SetDialogHandler(DialogHandler* handler);

// A modal message box; returns when the user has dismissed it.
void ShowMessage(QWidget* parent, MessageIcon icon, const QString& title, const QString& text);

// True for OK, false for Cancel or a dismissed box. The question shows no icon unless given one.
bool AskOkCancel(QWidget* parent, const QString& title, const QString& text,
                 MessageIcon icon = MessageIcon::None);

// A choice from a list, `current` selected at first; none when the user cancels.
std::optional<int> ChooseItem(QWidget* parent, const QString& title, const QString& text,
                              const QStringList& items, int current);

// Ends the program: every window closes and the event loop stops. The caller returns right
// after, doing nothing more.
void EndProgram();

}  // namespace platform
