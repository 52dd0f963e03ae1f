#pragma once

// The controller aids as the user last set them, kept in Tarvolo's own settings file in the
// user's configuration folder (an INI file through QSettings), apart from atc_settings.tcs.

#include <QString>

#include "radar/aids.h"

namespace app {

// Read from the file on first use; the Options window changes them and saves.
radar::AidSettings& Aids();
void SaveAids();
// Reads the file again (tests, after pointing QSettings elsewhere).
void ReloadAids();

// Coordinating with the other controllers of a session: off unless the user turns it on and
// names a position; taken up at the next join.
struct CoordinationSettings {
    bool on = false;
    QString position;  // e.g. TVO_TWR
    QString frequency;
    bool Usable() const { return on && !position.isEmpty(); }
};
CoordinationSettings& Coordination();
void SaveCoordination();

}  // namespace app
