#pragma once
// The credits file beside the library: shown by the about box, appended to by every applied
// update package.
#include <QByteArray>
#include <QString>

namespace about {

// "Cred.txt": one name for the reader and the writers, since file names may tell case apart.
QString creditsFileName();
QString creditsPath(const QString &libraryFolder);

// Text of a credits file. Old entries are in the Arabic Windows code page, newer ones may be
// UTF-8, and both can meet in one file: a file that is not UTF-8 throughout is decoded line by line.
QString decodeCredits(const QByteArray &bytes);

// Makes the picture and credits shipped with the program reachable under ":/about".
void loadResources();

// The program's own credits, shipped with it.
QByteArray defaultCredits();

// Writes the program's credits beside the library when there is no credits file yet;
// an existing file is never touched. Throws platform::FileError when it could not be written.
void installDefaultCredits(const QString &libraryFolder);

} // namespace about
