#pragma once

// The subcommands of tarvolo-tool; each takes its own arguments and returns the exit code.

#include <QStringList>

namespace tools {

int Generate(const QStringList& args);
int Build(const QStringList& args);
int Dump(const QStringList& args);
int Magvar(const QStringList& args);
int Load(const QStringList& args);

}  // namespace tools
