#pragma once

// One instance of each window, created on first reference and destroyed when closed; a later
// reference creates a fresh one. Windows of different subsystems hand over to each other by
// name through here, so no subsystem includes another's window classes.

#include <QString>
#include <functional>

class QWidget;

namespace platform {

using WindowFactory = std::function<QWidget*()>;

// Registers how the window of that name ("Form5") is created. A later registration replaces
// an earlier one (tests put stand-ins in place).
void RegisterWindow(const QString& name, WindowFactory factory);

// The live instance, creating it when there is none; nullptr for an unregistered name.
QWidget* Window(const QString& name);

// The live instance, or nullptr; never creates one.
QWidget* ExistingWindow(const QString& name);

// Shows the window non-modal (creating it as above) and returns it.
QWidget* ShowWindow(const QString& name);

// Forgets every registration; live windows are left as they are (tests).
void ClearWindowRegistry();

}  // namespace platform
