#include "store/LibraryLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace store {

QString defaultLibraryPath()
{
    const QString portable = QDir(QCoreApplication::applicationDirPath()).filePath(LibraryFileName);
    if (QFileInfo::exists(portable))
        return portable;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(LibraryFileName);
}

} // namespace store
