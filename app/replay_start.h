#pragma once

// `tarvolo --replay FILE`: the main window on the recorded airport of this folder's database,
// replaying the recording instead of joining a session.

#include <QString>
#include <optional>

namespace app {

// Opens the main window replaying the recording; otherwise says why it cannot (a file that is
// no recording, no database here, an airport the database does not hold).
std::optional<QString> OpenReplay(const QString& path);

}  // namespace app
