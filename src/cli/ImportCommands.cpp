#include "cli/Commands.h"

#include "cli/Output.h"
#include "importing/core/Apply.h"
#include "importing/core/LibrarySource.h"
#include "store/LibraryLocation.h"
#include "platform/Error.h"
#include "store/Library.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {

namespace {

using namespace importing::core;

QJsonObject previewJson(const QString &source, const QString &format, DuplicateChoice choice, const ImportPreview &p)
{
    QJsonArray categories;
    for (const CategoryPreview &c : p.categories)
        categories.append(QJsonObject{{QStringLiteral("name"), c.name},
                                      {QStringLiteral("new"), c.isNew},
                                      {QStringLiteral("items"), c.items},
                                      {QStringLiteral("duplicates"), c.duplicates}});
    QJsonArray skipped;
    for (const SkippedItem &s : p.skipped)
        skipped.append(QJsonObject{{QStringLiteral("origin"), s.origin}, {QStringLiteral("reason"), s.reason}});
    return {{QStringLiteral("source"), source},
            {QStringLiteral("format"), format},
            {QStringLiteral("duplicateChoice"), choiceName(choice)},
            {QStringLiteral("categories"), categories},
            {QStringLiteral("items"), p.items},
            {QStringLiteral("duplicates"), p.duplicates},
            {QStringLiteral("duplicatesInLibrary"), p.duplicatesInLibrary},
            {QStringLiteral("toAdd"), p.toAdd},
            {QStringLiteral("toReplace"), p.toReplace},
            {QStringLiteral("skippedCount"), p.skippedCount},
            {QStringLiteral("skipped"), skipped}};
}

QString previewText(const QString &source, const QString &format, const ImportPreview &p)
{
    QString text = say(QStringLiteral("source: %1 (%2)\n"), QStringLiteral("المصدر: %1 (%2)\n"))
                       .arg(oneLine(source), format);
    for (const CategoryPreview &c : p.categories)
        text += oneLine(c.name) + QLatin1Char('\t')
                + (c.isNew ? say(QStringLiteral("new"), QStringLiteral("جديدة")) : say(QStringLiteral("existing"), QStringLiteral("موجودة")))
                + QLatin1Char('\t') + say(QStringLiteral("%1 items, %2 duplicates"), QStringLiteral("%1 عنصر، %2 مكرر"))
                                          .arg(c.items)
                                          .arg(c.duplicates)
                + QLatin1Char('\n');
    text += say(QStringLiteral("to add: %1, to replace: %2, duplicates: %3, skipped: %4\n"),
                QStringLiteral("ستضاف: %1، سيستبدل: %2، المكررة: %3، المتروكة: %4\n"))
                .arg(p.toAdd)
                .arg(p.toReplace)
                .arg(p.duplicates)
                .arg(p.skippedCount);
    for (const SkippedItem &s : p.skipped)
        text += say(QStringLiteral("skipped: "), QStringLiteral("متروك: ")) + oneLine(s.origin) + QLatin1Char('\t')
                + oneLine(s.reason) + QLatin1Char('\n');
    return text;
}

} // namespace

static void printResult(const ImportResult &result, bool json);

int importCommand(store::Library &library, const Arguments &a)
{
    const QString path = QFileInfo(a.positional[0]).absoluteFilePath();
    std::optional<Format> format;
    if (a.values.contains(QStringLiteral("from"))) {
        format = formatFromName(a.values.value(QStringLiteral("from")));
        if (!format)
            badUsage(say(QStringLiteral("--from takes folder, vscode, masscode, snippetslab or cherrytree"),
                         QStringLiteral("الخيار --from يأخذ folder أو vscode أو masscode أو snippetslab أو cherrytree")));
    }
    const std::optional<DuplicateChoice> choice =
        choiceFromName(a.values.value(QStringLiteral("duplicates"), choiceName(DuplicateChoice::Skip)));
    if (!choice)
        badUsage(say(QStringLiteral("--duplicates takes skip, keep or replace"),
                     QStringLiteral("الخيار --duplicates يأخذ skip أو keep أو replace")));
    if (!QFileInfo::exists(path))
        refuse(say(QStringLiteral("no file or folder at %1"), QStringLiteral("لا يوجد ملف أو مجلد في %1"))
                   .arg(QDir::toNativeSeparators(path)));
    if (!format)
        format = detectFormat(path);
    if (!format)
        refuse(say(QStringLiteral("cannot tell what program %1 comes from: name it with --from"),
                   QStringLiteral("تعذر معرفة البرنامج الذي جاء منه %1: اذكره بالخيار --from"))
                   .arg(QDir::toNativeSeparators(path)));
    const bool dryRun = a.flags.contains(QStringLiteral("dry-run"));
    openLibrary(library, a.location, !dryRun);
    const Source source = sourceAt(path, *format);
    if (dryRun) {
        const ImportPreview preview = previewImport(library, source, *choice);
        if (a.json)
            outBytes(QJsonDocument(previewJson(path, formatName(*format), *choice, preview))
                         .toJson(QJsonDocument::Indented));
        else
            out(previewText(QDir::toNativeSeparators(path), formatName(*format), preview));
        return Done;
    }
    ImportResult result;
    try {
        result = applyImport(library, source, *choice);
    } catch (const platform::Error &e) {
        refuse(QStringLiteral("تعذر الاستيراد، ولم تتغير مكتبة الأكواد: ") + e.message());
    }
    printResult(result, a.json);
    return Done;
}

int copyCommand(store::Library &library, const Arguments &a)
{
    const QString from = a.values.value(QStringLiteral("from"));
    if (from.isEmpty())
        badUsage(say(QStringLiteral("copy needs --from LOCATION"), QStringLiteral("الأمر copy يحتاج إلى --from والمكتبة")));
    const QString to = a.values.value(QStringLiteral("to"), a.location);
    QList<qint32> ids;
    for (const QString &word : a.positional) {
        bool ok = false;
        const qint32 id = word.toInt(&ok);
        if (!ok || id <= 0)
            badUsage(say(QStringLiteral("%1 is not a snippet id"), QStringLiteral("%1 ليس رقم كود")).arg(word));
        ids.append(id);
    }
    const std::optional<DuplicateChoice> choice =
        choiceFromName(a.values.value(QStringLiteral("duplicates"), choiceName(DuplicateChoice::Skip)));
    if (!choice)
        badUsage(say(QStringLiteral("--duplicates takes skip, keep or replace"),
                     QStringLiteral("الخيار --duplicates يأخذ skip أو keep أو replace")));
    const bool dryRun = a.flags.contains(QStringLiteral("dry-run"));
    store::Library source;
    openLibrary(source, from, false);
    openLibrary(library, to, !dryRun);
    if (store::sameLibrary(source.path(), library.path()))
        refuse(say(QStringLiteral("--from and --to name the same library"),
                   QStringLiteral("الخياران --from و--to يسميان المكتبة نفسها")));
    const Source snippets = librarySource(source, ids);
    if (dryRun) {
        const ImportPreview preview = previewImport(library, snippets, *choice);
        if (a.json)
            outBytes(QJsonDocument(previewJson(source.path(), QStringLiteral("library"), *choice, preview))
                         .toJson(QJsonDocument::Indented));
        else
            out(previewText(source.path(), QStringLiteral("library"), preview));
        return Done;
    }
    ImportResult result;
    try {
        result = applyImport(library, snippets, *choice);
    } catch (const platform::Error &e) {
        refuse(QStringLiteral("تعذر النسخ، ولم تتغير المكتبة التي يُنسخ إليها: ") + e.message());
    }
    printResult(result, a.json);
    return Done;
}

static void printResult(const ImportResult &result, bool json)
{
    if (json) {
        outBytes(QJsonDocument(QJsonObject{{QStringLiteral("added"), result.added},
                                           {QStringLiteral("replaced"), result.replaced},
                                           {QStringLiteral("duplicatesSkipped"), result.duplicatesSkipped},
                                           {QStringLiteral("skipped"), result.skipped},
                                           {QStringLiteral("newCategories"), QJsonArray::fromStringList(result.newCategories)},
                                           {QStringLiteral("backup"), result.backup}})
                     .toJson(QJsonDocument::Indented));
    } else {
        out(say(QStringLiteral("added %1, replaced %2, duplicates skipped %3, items skipped %4\n"),
                QStringLiteral("أضيف %1، استبدل %2، تركت مكررات %3، تركت عناصر %4\n"))
                .arg(result.added)
                .arg(result.replaced)
                .arg(result.duplicatesSkipped)
                .arg(result.skipped));
    }
}

} // namespace cli
