#include "cli/Commands.h"

#include "cli/Output.h"
#include "exchange/core/Package.h"
#include "platform/Error.h"
#include "store/Backup.h"
#include "store/Library.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace cli {

namespace {

// Today as the package dialog dates a package: year, month and day joined by the locale's separator.
QString todayText()
{
    QChar sep = QLatin1Char('/');
    for (const QChar c : QLocale::system().dateFormat(QLocale::ShortFormat)) {
        if (!c.isLetter() && c.category() != QChar::Other_Format && !c.isSpace() && c != QLatin1Char('\'')) {
            sep = c;
            break;
        }
    }
    const QDate today = QDate::currentDate();
    const auto pad = [](int n, int width) { return QString::number(n).rightJustified(width, QLatin1Char('0')); };
    return pad(today.year(), 4) + sep + pad(today.month(), 2) + sep + pad(today.day(), 2);
}

int packageCreate(store::Library &library, const Arguments &a, const QString &file)
{
    if (a.flags.contains(QStringLiteral("dry-run")))
        badUsage(say(QStringLiteral("package create has no --dry-run"),
                     QStringLiteral("الأمر package create ليس له الخيار --dry-run")));
    if (a.flags.contains(QStringLiteral("skip-duplicates")))
        badUsage(say(QStringLiteral("package create has no --skip-duplicates"),
                     QStringLiteral("الأمر package create ليس له الخيار --skip-duplicates")));
    if (!a.values.contains(QStringLiteral("name")))
        badUsage(say(QStringLiteral("package create needs --name"),
                     QStringLiteral("الأمر package create يحتاج إلى --name")));
    const QString path = QFileInfo(file).absoluteFilePath();
    // The window asks before it replaces a file; here nothing that exists is replaced.
    if (QFileInfo::exists(path))
        refuse(say(QStringLiteral("%1 exists already"), QStringLiteral("الملف %1 موجود من قبل"))
                   .arg(QDir::toNativeSeparators(path)));
    const QString name = a.values.value(QStringLiteral("name"));
    const QString notes = a.values.value(QStringLiteral("notes"));
    const QString date = todayText();
    openLibrary(library, a.location, true);
    exchange::checkPackageable(library, name, date, notes);
    QString text;
    for (const QString &title : exchange::createPackage(library, path, name, date, notes))
        text += oneLine(title) + QLatin1Char('\n');
    out(text);
    return Done;
}

int packageApply(store::Library &library, const Arguments &a, const QString &file)
{
    if (a.values.contains(QStringLiteral("name")) || a.values.contains(QStringLiteral("notes")))
        badUsage(say(QStringLiteral("package apply takes no --name or --notes"),
                     QStringLiteral("الأمر package apply لا يأخذ --name ولا --notes")));
    const bool dryRun = a.flags.contains(QStringLiteral("dry-run"));
    const bool skipDuplicates = a.flags.contains(QStringLiteral("skip-duplicates"));
    // The package is checked in full before the library is opened for writing.
    const exchange::PackageFile package(file);
    openLibrary(library, a.location, !dryRun);
    const exchange::PackageHeader &header = package.header();
    if (dryRun) {
        const exchange::ApplyPreview preview = exchange::previewApply(library, package);
        QString text = say(QStringLiteral("name: "), QStringLiteral("الاسم: ")) + oneLine(header.name.toString())
                       + QLatin1Char('\n') + say(QStringLiteral("date: "), QStringLiteral("التاريخ: "))
                       + oneLine(header.date.toString()) + QLatin1Char('\n')
                       + say(QStringLiteral("notes: "), QStringLiteral("ملاحظات: ")) + oneLine(header.notes.toString())
                       + QLatin1Char('\n');
        const qint64 toAdd = skipDuplicates ? preview.snippets - preview.duplicates : preview.snippets;
        text += say(QStringLiteral("snippets to add: %1"), QStringLiteral("الأكواد التي ستضاف: %1")).arg(toAdd)
                + QLatin1Char('\n')
                + say(QStringLiteral("duplicates: %1"), QStringLiteral("المكررة: %1")).arg(preview.duplicates)
                + QLatin1Char('\n');
        for (const QString &category : preview.newCategories)
            text += say(QStringLiteral("new category: "), QStringLiteral("فئة جديدة: ")) + oneLine(category)
                    + QLatin1Char('\n');
        for (const QString &title : package.titles())
            text += QLatin1Char('\t') + oneLine(title) + QLatin1Char('\n');
        out(text);
        return Done;
    }
    int added = 0;
    try {
        // As in the window: no apply without a copy of the library to go back to.
        store::keepBackup(library, store::BackupReason::Package);
        Progress progress(say(QStringLiteral("applying"), QStringLiteral("جارٍ إضافة الأكواد")));
        added = exchange::applyPackage(
            library, package, [&](qint64 done, qint64 total) { progress.show(done, total); }, skipDuplicates);
    } catch (const platform::Error &e) {
        refuse(QStringLiteral("تعذر إضافة محتويات ملف التحديث، ولم تتغير قاعدة البيانات: ") + e.message());
    }
    try {
        exchange::appendCredits(library, header);
    } catch (const platform::Error &e) {
        // The snippets are in: only the record of where they came from is missing.
        error(QStringLiteral("تمت إضافة الأكواد، لكن تعذر تسجيل بيانات ملف التحديث في الملف ") + exchange::creditsPath(library)
              + QStringLiteral(": ") + e.message());
    }
    out(say(QStringLiteral("added %1 snippets\n"), QStringLiteral("تمت إضافة %1 كود\n")).arg(added));
    return Done;
}

} // namespace

int package(store::Library &library, const Arguments &a)
{
    if (a.positional[0] == QLatin1String("create"))
        return packageCreate(library, a, a.positional[1]);
    if (a.positional[0] == QLatin1String("apply"))
        return packageApply(library, a, a.positional[1]);
    badUsage(say(QStringLiteral("package takes create or apply, not %1"),
                 QStringLiteral("الأمر package يأخذ create أو apply، لا %1"))
                 .arg(a.positional[0]));
}

} // namespace cli
