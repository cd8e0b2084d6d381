#pragma once
// What happens before the first window: the command line, the support log.
#include "domain/connection.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace mirn {

namespace startup {

// "1.0.0 (сборка 20240210.74079)"
QString versionText();

// Reads the command line (argument 0 is the program). Returns -1 to go on with the
// positional values in *out; otherwise the exit code, after printing the help or
// the version (0) or the error and usage (2).
int parseCommandLine(const QStringList& args, connection::CommandLine* out);

// $XDG_STATE_HOME/mirn/mirn.log (default ~/.local/state/mirn/mirn.log).
QString logFilePath(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

// Sends every Qt message (qInfo, qWarning, … of every category) to the rotating
// support log as well as to standard error. Safe to call more than once.
void installLog(const QString& path = logFilePath());
// Writes what is buffered (every line is written at once; kept for safety at exit).
void flushLog();

}  // namespace startup

}  // namespace mirn
