#pragma once

// The subcommands of tarvolo-tool; each takes its own arguments and returns the exit code.

#include <QStringList>

namespace tools {

int Generate(const QStringList& args);
int Build(const QStringList& args);
int Dump(const QStringList& args);
int Magvar(const QStringList& args);
int Load(const QStringList& args);
int Render(const QStringList& args);
int Watch(const QStringList& args);
int Replay(const QStringList& args);

// Reads the database of DIR as the Airport Area does and runs GET AIRPORT for one index, as
// `load` and `render` need it; 0, or 1 with the problems written to the error stream.
int LoadScene(const QString& dir, qlonglong index, const QString& simFolder);

}  // namespace tools
