#include "cli/Commands.h"

#include "cli/Output.h"
#include "editing/core/InputChecks.h"
#include "export/core/SnippetExport.h"
#include "languages/Language.h"
#include "platform/Error.h"
#include "platform/Text.h"
#include "search/core/SnippetSearch.h"
#include "store/Backup.h"
#include "store/Database.h"
#include "store/Library.h"
#include "store/LibraryLocation.h"
#include "store/PgLocation.h"
#include "store/TreeColumns.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QUrl>

#include <cstdio>
#include <unistd.h>

#include <optional>
#include <utility>
#include <vector>

namespace cli {

void openLibrary(store::Library &library, const QString &requested, bool write)
{
    store::OpenChoices choices;
    // Reading commands never write, not even the indexes a library gets when it opens.
    choices.readOnly = !write;
    try {
        store::openLibraryAt(library, requested, choices);
    } catch (const store::OpenLibraryError &e) {
        using Kind = store::OpenLibraryError::Kind;
        switch (e.kind()) {
        case Kind::Missing:
            refuse(
                say(QStringLiteral("no library at %1"), QStringLiteral("لا توجد مكتبة أكواد في %1")).arg(e.location()));
        case Kind::OldFormat:
            // Converting a library of the old format asks the user first: the window does that.
            refuse(say(QStringLiteral("%1 is a library of the old format: open it once in tamrisk, which converts it"),
                       QStringLiteral("%1 مكتبة بالصيغة القديمة: افتحها مرة في البرنامج ليحوّلها"))
                       .arg(e.location()));
        case Kind::EmptyTeamDatabase:
            // Giving it tables is a decision of its own: the init command, or the window, which asks.
            refuse(QStringLiteral("تعذر فتح مكتبة الأكواد: ") + e.message()
                   + QStringLiteral(
                       "؛ أنشئ جداولها بالأمر tamrisk-cli --library URI init أو افتحها مرة في البرنامج tamrisk"));
        case Kind::Failed:
            // A reading command opens the file read-only, so SQLite cannot roll back what a write
            // cut short left in the journal beside it; the window (or add) can.
            if (!write && QFileInfo(e.location() + QStringLiteral("-journal")).size() > 0)
                refuse(say(QStringLiteral("%1: a write to this library was cut short and its journal (%1-journal) is "
                                          "still there; open the library once in tamrisk (or run add on it), which "
                                          "finishes undoing that write, then try again"),
                           QStringLiteral("%1: انقطعت كتابة في هذه المكتبة قبل أن تكتمل، وبقي ملف يومياتها "
                                          "(%1-journal) بجانبها؛ افتح المكتبة مرة في البرنامج (أو نفّذ عليها الأمر "
                                          "add) فيُتمّ التراجع عن تلك الكتابة، ثم أعد الأمر"))
                           .arg(e.location()));
            break;
        }
        refuse(QStringLiteral("تعذر فتح مكتبة الأكواد: ") + e.location() + QStringLiteral(": ") + e.message());
    }
}

int init(store::Library &library, const Arguments &a)
{
    if (!store::isPostgresLocation(a.location))
        badUsage(say(QStringLiteral("init needs --library with a team library's postgresql:// URI"),
                     QStringLiteral("الأمر init يحتاج إلى --library بعنوان مكتبة فريق postgresql://")));
    const bool yes = a.flags.contains(QStringLiteral("yes"));
    bool asked = false;
    store::OpenChoices choices;
    choices.agreeToCreateTables = [&] {
        asked = true;
        if (yes)
            return true;
        if (!isatty(fileno(stdin)) || !isatty(fileno(stderr)))
            refuse(QStringLiteral("لن تُنشأ جداول مكتبة الأكواد دون موافقة: أعد الأمر مع --yes"));
        const QByteArray question = QStringLiteral(
                                        "قاعدة البيانات %1 فارغة. هل تريد إنشاء جداول مكتبة الأكواد فيها؟ (نعم/لا) ")
                                        .arg(store::locationForDisplay(a.location))
                                        .toUtf8();
        std::fwrite(question.constData(), 1, size_t(question.size()), stderr);
        std::fflush(stderr);
        QTextStream in(stdin);
        const QString answer = in.readLine().trimmed().toLower();
        return answer == QStringLiteral("نعم") || answer == QStringLiteral("ن") || answer == QLatin1String("y")
               || answer == QLatin1String("yes");
    };
    try {
        store::openLibraryAt(library, a.location, choices);
    } catch (const store::OpenLibraryError &e) {
        if (e.kind() == store::OpenLibraryError::Kind::EmptyTeamDatabase)
            refuse(QStringLiteral("لم تُنشأ جداول مكتبة الأكواد في ") + e.location());
        refuse(QStringLiteral("تعذر إعداد مكتبة الأكواد: ") + e.location() + QStringLiteral(": ") + e.message());
    }
    if (!asked)
        refuse(QStringLiteral("قاعدة البيانات %1 فيها مكتبة أكواد من قبل، فلم يُغيَّر فيها شيء").arg(library.path()));
    out(QStringLiteral("أُنشئت جداول مكتبة الأكواد في %1\n").arg(library.path()));
    return Done;
}

namespace {

// As the window: a library whose check finds it damaged gets no writes, which could build on
// pages that cannot be read.
void refuseDamaged(store::Library &library)
{
    if (library.engine() != store::Engine::Sqlite)
        return;
    QSqlQuery check(library.connection().database());
    if (check.exec(QStringLiteral("PRAGMA quick_check")) && check.next()
        && check.value(0).toString() == QLatin1String("ok") && !check.next())
        return;
    const QString error = check.lastError().isValid() ? check.lastError().text() : QString();
    if (error.contains(QLatin1String("locked")) || error.contains(QLatin1String("busy")))
        refuse(QStringLiteral("تعذر فحص مكتبة الأكواد: ") + store::describeSqlError(error));
    refuse(store::damagedLibraryMessage(library.path()));
}

QJsonValue jsonText(const QVariant &value) { return value.isNull() ? QJsonValue() : QJsonValue(value.toString()); }

// The tree's order: categories by name, then their snippets by title, Arabic and Latin collated
// with case ignored and numbers by value; equal names in the order they were added. Snippets
// whose category is missing come last, under the name the tree gives them.
struct TreeCategory {
    std::optional<qint32> id; // none for the snippets without a category
    QString name;
    QList<store::SnippetSummary> snippets;
};

QList<TreeCategory> treeOrder(store::Library &library)
{
    const QList<store::Category> categories = library.categories();
    std::vector<qint32> order(size_t(categories.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = qint32(i);
    store::sortInTreeOrder(
        order, [&](qint32 i) { return categories[i].caption.toString(); }, [&](qint32 i) { return categories[i].id; });
    QList<TreeCategory> result;
    QHash<qint32, qsizetype> at;
    for (qint32 i : order) {
        const store::Category &c = categories[i];
        at.insert(c.id, result.size());
        result.append({c.id, c.caption.toString(), {}});
    }
    TreeCategory orphans{std::nullopt, store::UncategorisedCaption, {}};
    for (const store::SnippetSummary &s : library.snippetSummaries()) {
        bool ok = false;
        const qint32 g = s.groub.isNull() ? 0 : s.groub.toInt(&ok);
        const auto it = ok ? at.constFind(g) : at.cend();
        (it != at.cend() ? result[*it] : orphans).snippets.append(s);
    }
    if (!orphans.snippets.isEmpty())
        result.append(orphans);
    for (TreeCategory &c : result) {
        std::vector<qint32> rows(size_t(c.snippets.size()));
        for (size_t i = 0; i < rows.size(); ++i)
            rows[i] = qint32(i);
        store::sortInTreeOrder(
            rows, [&](qint32 i) { return c.snippets[i].head.toString(); }, [&](qint32 i) { return c.snippets[i].id; });
        QList<store::SnippetSummary> sorted;
        sorted.reserve(c.snippets.size());
        for (qint32 i : rows)
            sorted.append(c.snippets[i]);
        c.snippets = std::move(sorted);
    }
    return result;
}

qint32 parseId(const QString &text)
{
    bool ok = false;
    const qint32 id = text.toInt(&ok);
    if (!ok || text.startsWith(QLatin1Char('+')) || text.trimmed() != text)
        badUsage(say(QStringLiteral("%1 is not a snippet id"), QStringLiteral("%1 ليس رقم كود")).arg(text));
    return id;
}

} // namespace

int list(store::Library &library, const Arguments &a)
{
    openLibrary(library, a.location, false);
    const bool userOnly = a.flags.contains(QStringLiteral("user"));
    const std::optional<QString> category = a.values.contains(QStringLiteral("category"))
                                                ? std::optional<QString>(a.values.value(QStringLiteral("category")))
                                                : std::nullopt;
    bool categoryFound = false;
    // Read once for all rows; only a library with other languages has any.
    const QHash<qint32, QString> languageRows = a.json ? library.snippetLanguages() : QHash<qint32, QString>();
    const auto languageOf = [&](qint32 id) { return languageRows.value(id, languages::VisualBasic); };
    QJsonArray json;
    QString text;
    for (const TreeCategory &c : treeOrder(library)) {
        if (category && c.name != *category)
            continue;
        categoryFound = true;
        for (const store::SnippetSummary &s : c.snippets) {
            const bool user = store::isTrue(s.user);
            if (userOnly && !user)
                continue;
            if (a.json) {
                json.append(QJsonObject{{QStringLiteral("id"), s.id},
                                        {QStringLiteral("category"), c.name},
                                        {QStringLiteral("categoryId"), c.id ? QJsonValue(*c.id) : QJsonValue()},
                                        {QStringLiteral("title"), s.head.toString()},
                                        {QStringLiteral("user"), user},
                                        {QStringLiteral("language"), languageOf(s.id)}});
            } else {
                text += QString::number(s.id) + QLatin1Char('\t') + oneLine(c.name) + QLatin1Char('\t')
                        + oneLine(s.head.toString()) + QLatin1Char('\n');
            }
        }
    }
    if (category && !categoryFound)
        refuse(say(QStringLiteral("no category named %1"), QStringLiteral("لا توجد فئة باسم %1")).arg(*category));
    if (a.json)
        outBytes(QJsonDocument(json).toJson(QJsonDocument::Indented));
    else
        out(text);
    return Done;
}

int show(store::Library &library, const Arguments &a)
{
    const qint32 id = parseId(a.positional[0]);
    openLibrary(library, a.location, false);
    const std::optional<store::Snippet> s = library.snippet(id);
    if (!s)
        refuse(say(QStringLiteral("no snippet with id %1"), QStringLiteral("لا يوجد كود رقمه %1")).arg(id));
    if (a.json) {
        QString category;
        bool known = false;
        const qint64 group = s->groub.isNull() ? 0 : s->groub.toLongLong(&known);
        bool found = false;
        for (const store::Category &c : library.categories()) {
            if (known && c.id == group) {
                category = c.caption.toString();
                found = true;
            }
        }
        if (!found)
            category = store::UncategorisedCaption; // as list names it
        const QJsonObject o{
            {QStringLiteral("id"), s->id},
            {QStringLiteral("title"), jsonText(s->head)},
            {QStringLiteral("category"), category},
            {QStringLiteral("categoryId"), s->groub.isNull() ? QJsonValue() : QJsonValue(s->groub.toLongLong())},
            {QStringLiteral("user"), store::isTrue(s->user)},
            {QStringLiteral("language"), library.snippetLanguage(s->id)},
            {QStringLiteral("code"), jsonText(s->code)},
            {QStringLiteral("comment"), jsonText(s->learn)}};
        outBytes(QJsonDocument(o).toJson(QJsonDocument::Indented));
    } else {
        // Exactly as stored: nothing added, not even a line break.
        out((a.flags.contains(QStringLiteral("comment")) ? s->learn : s->code).toString());
    }
    return Done;
}

int searchCommand(store::Library &library, const Arguments &a)
{
    const QString word = a.positional[0];
    if (word.isEmpty())
        badUsage(
            say(QStringLiteral("the word to look for is empty"), QStringLiteral("يجب أن تكتب الكلمة التي تبحث عنها")));
    search::SearchFields fields{a.flags.contains(QStringLiteral("title")), a.flags.contains(QStringLiteral("code")),
                                a.flags.contains(QStringLiteral("comment"))};
    if (!fields.caption && !fields.code && !fields.learn)
        fields = {true, true, true};
    openLibrary(library, a.location, false);
    search::SearchOptions options;
    options.arabic = !a.flags.contains(QStringLiteral("exact"));
    search::SnippetSearch s(library, word, fields, search::SnippetSearch::Measure{}, options);
    s.runToEnd();
    if (a.json) {
        QJsonArray json;
        for (const search::SearchHit &h : s.hits())
            json.append(QJsonObject{{QStringLiteral("id"), h.id}, {QStringLiteral("title"), h.title}});
        outBytes(QJsonDocument(json).toJson(QJsonDocument::Indented));
    } else {
        QString text;
        for (const search::SearchHit &h : s.hits())
            text += QString::number(h.id) + QLatin1Char('\t') + oneLine(h.title) + QLatin1Char('\n');
        out(text);
    }
    // Like grep: found nothing is a status of its own.
    return s.hits().isEmpty() ? Refused : Done;
}

namespace {

QString readCode(const QString &source)
{
    QByteArray bytes;
    if (source == QLatin1String("-")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            refuse(say(QStringLiteral("cannot read standard input"), QStringLiteral("تعذرت قراءة المدخل القياسي")));
        bytes = in.readAll();
    } else {
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            refuse(QStringLiteral("تعذر فتح الملف: ") + file.errorString() + QStringLiteral(" (") + source
                   + QLatin1Char(')'));
        bytes = file.readAll();
    }
    if (platform::looksBinary(bytes))
        refuse(QStringLiteral("الملف ليس ملفاً نصياً ولا يمكن عرضه"));
    const QString text = platform::decodeText(bytes);
    // The window keeps only the plain text of an RTF file, which takes its reader.
    if (text.startsWith(QLatin1String("{\\rtf")))
        refuse(say(QStringLiteral("an RTF file: add it in the window, which keeps its plain text"),
                   QStringLiteral("ملف RTF: أضفه من نافذة البرنامج، فهي تحفظ نصه المجرد")));
    return text;
}

} // namespace

int add(store::Library &library, const Arguments &a)
{
    if (!a.values.contains(QStringLiteral("title")) || !a.values.contains(QStringLiteral("category")))
        badUsage(say(QStringLiteral("add needs --title and --category"),
                     QStringLiteral("الأمر add يحتاج إلى --title و--category")));
    const QString title = platform::trimmedSpaces(a.values.value(QStringLiteral("title")));
    const QString category = platform::trimmedSpaces(a.values.value(QStringLiteral("category")));
    if (title.isEmpty())
        refuse(editing::text::NoTitleToAdd);
    if (title.size() > editing::MaxTitleLength)
        refuse(say(QStringLiteral("the title is longer than %1 characters"), QStringLiteral("العنوان أطول من %1 حرفاً"))
                   .arg(editing::MaxTitleLength));
    if (category.isEmpty())
        refuse(editing::text::NoCategoryName);
    if (category.size() > editing::MaxCategoryLength)
        refuse(say(QStringLiteral("the category name is longer than %1 characters"),
                   QStringLiteral("اسم التصنيف أطول من %1 حرفاً"))
                   .arg(editing::MaxCategoryLength));
    const QString code = platform::trimmedSpaces(readCode(a.positional.value(0, QStringLiteral("-"))));

    const QString learn = platform::trimmedSpaces(a.values.value(QStringLiteral("comment")));
    const QString source = a.positional.value(0, QStringLiteral("-"));
    QString language = languages::canonical(a.values.value(QStringLiteral("lang")).trimmed());
    if (language.isEmpty() && source != QLatin1String("-"))
        language = languages::fromExtension(QFileInfo(source).suffix());
    openLibrary(library, a.location, true);
    refuseDamaged(library);
    qint32 id = 0;
    library.transaction([&] {
        std::optional<qint32> group;
        for (const store::Category &c : library.categories()) {
            if (!c.caption.isNull() && c.caption.toString() == category) {
                group = c.id;
                break;
            }
        }
        if (!group)
            group = library.addCategory(category);
        store::Snippet s;
        s.head = title;
        s.groub = *group;
        s.code = code;
        s.learn = learn;
        s.user = true;
        id = library.addSnippet(s);
        library.setSnippetLanguage(id, language);
    });
    out(QString::number(id) + QLatin1Char('\n'));
    return Done;
}

namespace {

// A name that every file system takes: no separators, reserved or control characters, and no
// bidi controls, which would make the name look like another ("abcexe.jpg" for "abc<RLO>gpj.exe").
QString safeName(const QString &name)
{
    QString s = name.left(80);
    for (QChar &c : s)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F) || platform::isBidiControl(c)
            || c.unicode() == 0x2028 || c.unicode() == 0x2029 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    while (s.endsWith(QLatin1Char('.')) || s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    while (s.startsWith(QLatin1Char('.')) || s.startsWith(QLatin1Char(' ')))
        s.remove(0, 1);
    return s.isEmpty() ? QStringLiteral("_") : s;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(bytes) != bytes.size() || !file.flush())
        throw platform::FileError(QStringLiteral("تعذرت كتابة الملف ") + QDir::toNativeSeparators(path)
                                  + QStringLiteral(": ") + file.errorString());
}

} // namespace

// The save-as command's file, from the same function the window calls, so the bytes agree.
int exportCommand(store::Library &library, const Arguments &a)
{
    const qint32 id = parseId(a.positional[0]);
    const std::optional<exporting::core::Format> format = exporting::core::formatNamed(
        a.values.value(QStringLiteral("format"), QStringLiteral("txt")));
    if (!format)
        badUsage(say(QStringLiteral("--format takes txt, rtf or html"),
                     QStringLiteral("الخيار --format يأخذ txt أو rtf أو html")));
    openLibrary(library, a.location, false);
    if (!library.snippet(id))
        refuse(say(QStringLiteral("no snippet with id %1"), QStringLiteral("لا يوجد كود رقمه %1")).arg(id));
    const QByteArray bytes = exporting::core::exportSnippet(
        library, id, a.flags.contains(QStringLiteral("comment")) ? exporting::core::Field::Learn : exporting::core::Field::Code,
        *format, library.snippetLanguage(id));
    const QString output = a.values.value(QStringLiteral("output"));
    if (output.isEmpty() || output == QLatin1String("-")) {
        outBytes(bytes);
        return Done;
    }
    QFile file(output);
    // Unbuffered, so a short write is seen here and not lost in a flush at close.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
        || file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.close();
        file.remove();
        refuse(QStringLiteral("تعذر حفظ الملف: ") + reason + QStringLiteral(" (") + output + QLatin1Char(')'));
    }
    return Done;
}

int exportAll(store::Library &library, const Arguments &a)
{
    const QString dirPath = QFileInfo(a.positional[0]).absoluteFilePath();
    const QDir dir(dirPath);
    // Only into a new or empty folder, so no file of the user's is ever replaced.
    if (QFileInfo::exists(dirPath)
        && (!QFileInfo(dirPath).isDir()
            || !dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty()))
        refuse(say(QStringLiteral("%1 is not a new or empty folder"), QStringLiteral("%1 ليس مجلداً جديداً أو فارغاً"))
                   .arg(QDir::toNativeSeparators(dirPath)));
    openLibrary(library, a.location, false);
    if (!QDir().mkpath(dirPath))
        refuse(QStringLiteral("تعذر إنشاء المجلد ") + QDir::toNativeSeparators(dirPath));
    const QList<TreeCategory> tree = treeOrder(library);
    QHash<qint32, store::Snippet> rows;
    for (store::Snippet &s : library.allSnippets())
        rows.insert(s.id, std::move(s));
    const QHash<qint32, QString> languageRows = library.snippetLanguages();
    Progress progress(say(QStringLiteral("exporting"), QStringLiteral("جارٍ التصدير")));
    qint64 done = 0;
    const qint64 total = rows.size();
    QSet<QString> folders;
    QJsonArray index;
    for (const TreeCategory &c : tree) {
        QString folder = safeName(c.name);
        if (folders.contains(folder.toLower()))
            folder += QStringLiteral(" (%1)").arg(c.id ? QString::number(*c.id) : QStringLiteral("-"));
        folders.insert(folder.toLower());
        if (!dir.mkpath(folder))
            refuse(QStringLiteral("تعذر إنشاء المجلد ") + QDir::toNativeSeparators(dir.filePath(folder)));
        QJsonArray snippets;
        for (const store::SnippetSummary &summary : c.snippets) {
            const store::Snippet s = rows.value(summary.id);
            const QString base = folder + QLatin1Char('/') + QString::number(s.id) + QLatin1Char(' ')
                                 + safeName(s.head.toString());
            const QString language = languageRows.value(s.id, languages::VisualBasic);
            // Named as a file of its language would be (.vb, .py, ...); .txt for a name not known.
            const QString codeFile = base + QLatin1Char('.') + languages::extensionOf(language);
            writeFile(dir.filePath(codeFile), s.code.toString().toUtf8());
            QJsonObject entry{{QStringLiteral("id"), s.id},
                              {QStringLiteral("title"), jsonText(s.head)},
                              {QStringLiteral("user"), store::isTrue(s.user)},
                              {QStringLiteral("language"), language},
                              {QStringLiteral("code"), codeFile},
                              {QStringLiteral("comment"), jsonText(s.learn)}};
            if (!s.learn.toString().isEmpty()) {
                writeFile(dir.filePath(base + QStringLiteral(".comment.txt")), s.learn.toString().toUtf8());
                entry.insert(QStringLiteral("commentFile"), base + QStringLiteral(".comment.txt"));
            }
            snippets.append(entry);
            progress.show(++done, total);
        }
        index.append(QJsonObject{{QStringLiteral("category"), c.name},
                                 {QStringLiteral("categoryId"), c.id ? QJsonValue(*c.id) : QJsonValue()},
                                 {QStringLiteral("folder"), folder},
                                 {QStringLiteral("snippets"), snippets}});
    }
    writeFile(dir.filePath(QStringLiteral("index.json")), QJsonDocument(index).toJson(QJsonDocument::Indented));
    progress.show(total, total);
    return Done;
}

} // namespace cli
