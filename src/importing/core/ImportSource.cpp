#include "importing/core/ImportSource.h"

#include "importing/core/ImportError.h"
#include "importing/core/Readers.h"
#include "importing/core/SourceFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace importing::core {

namespace {

// Enough of a JSON file to see which program wrote it, without reading a large one whole.
QString startOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeSourceText(file.read(64 * 1024)).value_or(QString());
}

std::optional<Format> detectFile(const QFileInfo &info)
{
    const QString path = info.filePath();
    const QString suffix = info.suffix().toLower();
    if (isSqliteFile(path)) {
        if (isCherryTreeDatabase(path))
            return Format::CherryTree;
        if (isMassCodeDatabase(path))
            return Format::MassCode;
        return std::nullopt;
    }
    if (suffix == QLatin1String("code-snippets"))
        return Format::VsCode;
    if (suffix != QLatin1String("json"))
        return std::nullopt;
    const QString start = startOf(path);
    if (looksLikeSnippetsLabJson(start))
        return Format::SnippetsLab;
    if (looksLikeMassCodeJson(start))
        return Format::MassCode;
    if (start.contains(QLatin1String("\"body\"")))
        return Format::VsCode;
    return std::nullopt;
}

} // namespace

std::optional<Format> detectFormat(const QString &path)
{
    const QFileInfo info(path);
    if (info.isFile())
        return detectFile(info);
    if (!info.isDir())
        return std::nullopt;
    if (isMassCodeVault(path))
        return Format::MassCode;
    // A folder of VS Code snippet files (as VS Code keeps them: nothing else beside them); any
    // other folder is read file by file.
    const QFileInfoList entries = QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    bool onlySnippetFiles = !entries.isEmpty();
    bool anySnippets = false;
    for (const QFileInfo &entry : entries) {
        const QString suffix = entry.suffix().toLower();
        if (!entry.isFile() || (suffix != QLatin1String("json") && suffix != QLatin1String("code-snippets"))) {
            onlySnippetFiles = false;
            break;
        }
        anySnippets = anySnippets || suffix == QLatin1String("code-snippets")
                      || startOf(entry.filePath()).contains(QLatin1String("\"body\""));
    }
    return onlySnippetFiles && anySnippets ? Format::VsCode : Format::Folder;
}

QString formatName(Format format)
{
    switch (format) {
    case Format::Folder:
        return QStringLiteral("folder");
    case Format::VsCode:
        return QStringLiteral("vscode");
    case Format::MassCode:
        return QStringLiteral("masscode");
    case Format::SnippetsLab:
        return QStringLiteral("snippetslab");
    case Format::CherryTree:
        return QStringLiteral("cherrytree");
    }
    return {};
}

std::optional<Format> formatFromName(const QString &name)
{
    for (Format f : {Format::Folder, Format::VsCode, Format::MassCode, Format::SnippetsLab, Format::CherryTree}) {
        if (formatName(f).compare(name, Qt::CaseInsensitive) == 0)
            return f;
    }
    return std::nullopt;
}

void readSource(const QString &path, Format format, ItemSink &sink)
{
    if (!QFileInfo::exists(path))
        throw ImportError(QStringLiteral("%1 غير موجود").arg(shown(path)));
    switch (format) {
    case Format::Folder:
        readFolder(path, sink);
        return;
    case Format::VsCode:
        readVsCode(path, sink);
        return;
    case Format::MassCode:
        readMassCode(path, sink);
        return;
    case Format::SnippetsLab:
        readSnippetsLab(path, sink);
        return;
    case Format::CherryTree:
        readCherryTree(path, sink);
        return;
    }
}

} // namespace importing::core
