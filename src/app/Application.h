#pragma once
#include "platform/Error.h"

#include <QList>
#include <QString>
#include <QStringList>

class QAction;

namespace browser {
class FrmMain;
}

namespace store {
class Library;
}

namespace app {

// Connects every subsystem's commands to the main window's menu items and toolbar.
void installCommands(browser::FrmMain &main);

// Opens the library at path, creating it with the starter snippets when it does not exist.
// A Jet library is converted first, after the user agreed. Returns the path opened (the
// converted library's); throws StoreError with an Arabic message naming the file and the reason.
// With readOnly the file is never written; without it, a file that cannot be written opens
// read-only all the same (Library::isReadOnly tells which).
// A team library's URI opens that PostgreSQL database; an empty one gets the library's tables
// after the user agreed (asked through the message box); the path returned is the URI without a
// password.
QString openLibrary(store::Library &library, const QString &path, bool readOnly = false);

// For a read-only library: the notice in the title and the status bar ("readOnlyNotice"), and
// every command that writes disabled.
void showReadOnly(browser::FrmMain &main);
// The commands that write to the library, which a read-only library disables.
QList<QAction *> writeCommands(browser::FrmMain &main);
inline const QString ReadOnlyTitleSuffix = QStringLiteral(" (للقراءة فقط)");

// Starts the check of the open library beside the window (and the daily backup when it passes);
// a damaged library is told through the main window.
void checkLibraryInBackground(browser::FrmMain &main);

// Brings the window (and a dialog open over it) to the front.
void bringToFront(browser::FrmMain &main);

// What a start was asked to open: the library's location (the default library when none was
// named) and an update package to apply to it (empty: none).
struct StartFiles {
    QString library;
    QString package;
};

// Arguments that ask for two libraries or two packages at once.
class StartError : public platform::Error
{
public:
    using Error::Error;
};

// From --library's value (libraryOption false: not given) and the file arguments: a .cup file is
// an update package, anything else a library, as --library takes it. Paths come back absolute.
StartFiles startFiles(bool libraryOption, const QString &library, const QStringList &files);

// Brings the window forward and runs the apply command on the package at path there, once no
// dialog is open over the window; a read-only library says so instead.
void openPackage(browser::FrmMain &main, const QString &path);
// For a package a later start handed over: openPackage when the window still shows the library
// its single-instance channel serves. A window that went over to a team library still answers
// for the file it started on, and a package meant for that file must not land elsewhere: it is
// refused with a note.
void receivePackage(browser::FrmMain &main, const QString &servedLibrary, const QString &package);

// The whole program: arguments, library, main window, event loop.
int run(int argc, char **argv);

} // namespace app
