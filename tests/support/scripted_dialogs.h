#pragma once

// Stands in for the message boxes in window tests: records every message, answers the
// OK/Cancel questions from a script and notes the end of the program instead of ending.

#include <QList>
#include <QString>
#include <functional>

#include "platform/ui/dialogs.h"

namespace testing_support {

struct ShownMessage {
    platform::MessageIcon icon;
    QString title;
    QString text;
};

class ScriptedDialogs : public platform::DialogHandler {
public:
    ScriptedDialogs() { platform::SetDialogHandler(this); }
    ~ScriptedDialogs() override { platform::SetDialogHandler(nullptr); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void Message(platform::MessageIcon icon, const QString& title, const QString& text) override {
        messages.append({icon, title, text});
        if (onMessage)
            onMessage();
    }

    bool OkCancel(platform::MessageIcon icon, const QString& title, const QString& text) override {
        questions.append({icon, title, text});
        return answers.isEmpty() ? false : answers.takeFirst();
    }

    void EndProgram() override { ++endCount; }

    std::optional<int> Choose(const QString& title, const QString& text, const QStringList& items,
                              int current) override {
        choices.append({platform::MessageIcon::None, title, text});
        offered = items;
        offeredCurrent = current;
        return choiceAnswers.isEmpty() ? std::optional<int>(current) : choiceAnswers.takeFirst();
    }

    QList<ShownMessage> messages;
    QList<ShownMessage> questions;
    QList<bool> answers;  // the next OK/Cancel answers, true for OK
    int endCount = 0;
    QList<ShownMessage> choices;
    QStringList offered;                      // the items of the last choice
    int offeredCurrent = -1;                  // and the one selected at first
    QList<std::optional<int>> choiceAnswers;  // the next choices (none: cancelled)
    std::function<void()> onMessage;          // runs while the message would be on screen
};

}  // namespace testing_support
