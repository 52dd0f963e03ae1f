#pragma once

// The widget edge: the program's texts are Windows-1252 bytes, the widgets' are Unicode; and
// every control carries its documented name as its object name, so tests find it.

#include <QObject>
#include <QString>
#include <string>

#include "platform/ansi.h"

namespace platform {

inline QString ToQt(const std::string& ansi) {
    return QString::fromStdString(AnsiToUtf8(ansi));
}

inline std::string FromQt(const QString& text) {
    return Utf8ToAnsi(text.toStdString());
}

template <typename T>
T* Named(T* control, const char* name) {
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

}  // namespace platform
