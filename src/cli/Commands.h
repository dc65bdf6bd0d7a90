#pragma once
// The commands themselves, each given its words already checked against its entry in the command
// table (CommandLine.cpp): only its own options, and as many other words as it takes.
#include "cli/CommandLine.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace store {
class Library;
}

namespace cli {

// Ends the command with a status of its own; the message goes to standard error.
struct Failure {
    Status status;
    QString message;
};

[[noreturn]] inline void refuse(const QString &message) { throw Failure{Refused, message}; }
[[noreturn]] inline void badUsage(const QString &message) { throw Failure{BadUsage, message}; }

// A command's words as the parser read them.
struct Arguments {
    QString location; // --library
    bool json = false;
    QString command;
    QStringList positional;
    QSet<QString> flags;
    QHash<QString, QString> values;
};

// Opens into library what the main program would open: --library as a file name, file: URI or
// team library URI, else the default. Refuses what is not a library.
void openLibrary(store::Library &library, const QString &requested, bool write);

// Gives an empty team database the library's tables, after the user's yes (or --yes).
int init(store::Library &library, const Arguments &a);
// Snippets (Commands.cpp).
int list(store::Library &library, const Arguments &a);
int show(store::Library &library, const Arguments &a);
int searchCommand(store::Library &library, const Arguments &a);
int add(store::Library &library, const Arguments &a);
int exportCommand(store::Library &library, const Arguments &a);
int exportAll(store::Library &library, const Arguments &a);
// The trash and the history (TrashCommands.cpp).
int trash(store::Library &library, const Arguments &a);
int history(store::Library &library, const Arguments &a);
// Update packages (PackageCommands.cpp).
int package(store::Library &library, const Arguments &a);
// Snippets from other programs (ImportCommands.cpp).
int importCommand(store::Library &library, const Arguments &a);
int copyCommand(store::Library &library, const Arguments &a);

} // namespace cli
