#pragma once
// The commands of mirn-batch: parsing, the help text and running one command.
#include <QString>
#include <QStringList>

namespace mirn {

namespace batch {

// kCancelled: the user stopped the work (Ctrl+C) and nothing of it was stored.
enum Exit { kDone = 0, kRefused = 1, kUsage = 2, kNoConnection = 3, kCancelled = 130 };

// The help text (Russian): every command, the options, the import file's header and an
// example file.
QString helpText();

// The support log the program writes (named in the messages of database failures).
void setLogPath(const QString& path);

// Runs the command line (arguments()[0] is the program); returns the exit status.
int run(const QStringList& arguments);

}  // namespace batch

}  // namespace mirn
