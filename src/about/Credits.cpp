#include "about/Credits.h"

#include "platform/Error.h"
#include "platform/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>

// Resources of a static library are only linked in when something asks for them.
static void initAboutResources() { Q_INIT_RESOURCE(about); }

namespace about {

void loadResources() { initAboutResources(); }

QString creditsFileName() { return QStringLiteral("Cred.txt"); }

QString creditsPath(const QString &libraryFolder) { return QDir(libraryFolder).filePath(creditsFileName()); }

QString decodeCredits(const QByteArray &bytes)
{
    const bool utf16 = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString whole = utf8.decode(bytes);
    if (utf16 || !utf8.hasError())
        return platform::decodeText(bytes);
    Q_UNUSED(whole);

    QString text;
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += platform::decodeText(lines.at(i));
    }
    return text;
}

QByteArray defaultCredits()
{
    loadResources();
    QFile file(QStringLiteral(":/about/Cred.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void installDefaultCredits(const QString &libraryFolder)
{
    const QString path = creditsPath(libraryFolder);
    if (QFileInfo::exists(path))
        return;
    QSaveFile file(path);
    const QByteArray credits = defaultCredits();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw platform::FileError(QStringLiteral("تعذر إنشاء ملف الشكر والتقدير: ") + file.errorString());
    if (file.write(credits) != credits.size() || !file.commit())
        throw platform::FileError(QStringLiteral("تعذر كتابة ملف الشكر والتقدير: ") + file.errorString());
}

} // namespace about
