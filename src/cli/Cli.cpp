#include "cli/Cli.h"

#include "cli/Output.h"
#include "editing/core/InputChecks.h"
#include "exchange/core/Package.h"
#include "export/core/SnippetExport.h"
#include "platform/Error.h"
#include "platform/Text.h"
#include "search/core/SnippetSearch.h"
#include "store/Backup.h"
#include "store/JetImport.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"
#include "store/LibraryLocation.h"
#include "store/PgLocation.h"
#include "store/TreeColumns.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

namespace cli {

namespace {

struct Failure {
    Status status;
    QString message;
};

[[noreturn]] void refuse(const QString &message) { throw Failure{Refused, message}; }
[[noreturn]] void badUsage(const QString &message) { throw Failure{BadUsage, message}; }

// Options of each command: flags, and options that take a value.
struct CommandSpec {
    QSet<QString> flags, values;
    bool json = false;
};

const std::map<QString, CommandSpec> &commands()
{
    static const std::map<QString, CommandSpec> specs = {
        {QStringLiteral("list"), {{QStringLiteral("user")}, {QStringLiteral("category")}, true}},
        {QStringLiteral("show"), {{QStringLiteral("comment")}, {}, true}},
        {QStringLiteral("search"),
         {{QStringLiteral("title"), QStringLiteral("code"), QStringLiteral("comment"), QStringLiteral("exact")},
          {},
          true}},
        {QStringLiteral("add"), {{}, {QStringLiteral("title"), QStringLiteral("category"), QStringLiteral("comment")}}},
        {QStringLiteral("export"), {{QStringLiteral("comment")}, {QStringLiteral("format"), QStringLiteral("output")}}},
        {QStringLiteral("export-all"), {}},
        {QStringLiteral("package"), {{QStringLiteral("dry-run")}, {QStringLiteral("name"), QStringLiteral("notes")}}},
    };
    return specs;
}

struct Arguments {
    QString library;
    bool json = false;
    QString command;
    QStringList positional;
    QSet<QString> flags;
    QHash<QString, QString> values;
};

Arguments parse(const QStringList &arguments, bool &help, bool &version)
{
    Arguments a;
    // Options may come before or after the command; the command tells which ones it takes.
    struct Raw {
        QString name;
        std::optional<QString> value; // given as --name=value
        qsizetype at;
    };
    QList<Raw> raw;
    QStringList rest; // the words that are not options
    QList<qsizetype> restAt;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.startsWith(QLatin1String("--")) && arg.size() > 2) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            raw.append({eq < 0 ? arg.mid(2) : arg.mid(2, eq - 2),
                        eq < 0 ? std::nullopt : std::optional<QString>(arg.mid(eq + 1)), i});
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            if (arg != QLatin1String("-h") && arg != QLatin1String("-o"))
                badUsage(say(QStringLiteral("unknown option %1"), QStringLiteral("خيار غير معروف %1")).arg(arg));
            raw.append(
                {arg == QLatin1String("-o") ? QStringLiteral("output") : QStringLiteral("help"), std::nullopt, i});
        } else {
            rest.append(arg);
            restAt.append(i);
        }
    }
    for (const Raw &r : raw) {
        help = help || r.name == QLatin1String("help");
        version = version || r.name == QLatin1String("version");
    }
    if (help || version)
        return a;
    // The command is the first word that is not the value of an option ("--title list" names no command).
    QSet<QString> valueOptions = {QStringLiteral("library")};
    for (const auto &[name, spec] : commands())
        valueOptions += spec.values;
    QSet<qsizetype> valueAt;
    for (const Raw &r : raw)
        if (!r.value && valueOptions.contains(r.name))
            valueAt.insert(r.at + 1);
    for (qsizetype k = 0; k < rest.size() && a.command.isEmpty(); ++k)
        if (!valueAt.contains(restAt[k]))
            a.command = rest[k];
    if (a.command.isEmpty())
        badUsage(say(QStringLiteral("no command given"), QStringLiteral("لم يُذكر أمر")));
    const auto spec = commands().find(a.command);
    if (spec == commands().end())
        badUsage(say(QStringLiteral("unknown command %1"), QStringLiteral("أمر غير معروف %1")).arg(a.command));
    QSet<qsizetype> consumed;
    for (const Raw &r : raw) {
        const bool isValue = r.name == QLatin1String("library") || spec->second.values.contains(r.name);
        const bool isFlag = r.name == QLatin1String("json") || spec->second.flags.contains(r.name);
        if (!isValue && !isFlag)
            badUsage(
                say(QStringLiteral("the %1 command has no option --%2"), QStringLiteral("الأمر %1 ليس له الخيار --%2"))
                    .arg(a.command, r.name));
        if (isFlag) {
            if (r.value)
                badUsage(
                    say(QStringLiteral("--%1 takes no value"), QStringLiteral("الخيار --%1 لا يأخذ قيمة")).arg(r.name));
            if (r.name == QLatin1String("json")) {
                if (!spec->second.json)
                    badUsage(say(QStringLiteral("the %1 command has no --json"),
                                 QStringLiteral("الأمر %1 ليس له الخيار --json"))
                                 .arg(a.command));
                a.json = true;
            } else {
                a.flags.insert(r.name);
            }
            continue;
        }
        QString value;
        if (r.value) {
            value = *r.value;
        } else {
            const qsizetype k = restAt.indexOf(r.at + 1);
            if (k < 0)
                badUsage(say(QStringLiteral("--%1 needs a value"), QStringLiteral("الخيار --%1 يحتاج إلى قيمة"))
                             .arg(r.name));
            value = rest[k];
            consumed.insert(r.at + 1);
        }
        if (r.name == QLatin1String("library"))
            a.library = value;
        else
            a.values.insert(r.name, value);
    }
    bool commandSeen = false;
    for (qsizetype k = 0; k < rest.size(); ++k) {
        if (consumed.contains(restAt[k]))
            continue;
        if (!commandSeen && rest[k] == a.command) {
            commandSeen = true;
            continue;
        }
        a.positional.append(rest[k]);
    }
    return a;
}

void expectPositional(const Arguments &a, qsizetype least, qsizetype most)
{
    if (a.positional.size() < least)
        badUsage(say(QStringLiteral("the %1 command needs more arguments"),
                     QStringLiteral("الأمر %1 يحتاج إلى معاملات أخرى"))
                     .arg(a.command));
    if (a.positional.size() > most)
        badUsage(say(QStringLiteral("unexpected argument %1"), QStringLiteral("معامل غير متوقع %1"))
                     .arg(a.positional.at(most)));
}

// A team library (postgresql://...). An empty database is refused, not given tables: that is a
// decision for someone at the window, which asks.
void openTeamLibrary(const QString &location, bool write)
{
    try {
        store::LibraryConnection::open(location, !write);
    } catch (const store::EmptyDatabaseError &e) {
        refuse(QStringLiteral("تعذر فتح مكتبة الأكواد: ") + e.message()
               + QStringLiteral("؛ افتحها مرة في البرنامج tamrisk لينشئ جداولها بعد موافقتك"));
    } catch (const store::StoreError &e) {
        QString shown = QStringLiteral("postgresql://…");
        try {
            shown = store::parsePgLocation(location).display();
        } catch (const store::StoreError &) { }
        refuse(QStringLiteral("تعذر فتح مكتبة الأكواد: ") + shown + QStringLiteral(": ") + e.message());
    }
}

// The library the main program would open: --library as a file name, file: URI or team library
// URI, else the default.
void openLibrary(const QString &requested, bool write)
{
    if (store::isPostgresLocation(requested)) {
        openTeamLibrary(requested, write);
        return;
    }
    QString path = requested;
    if (path.isEmpty())
        path = store::defaultLibraryPath();
    else if (path.startsWith(QLatin1String("file:")))
        path = QUrl(path).toLocalFile();
    path = QFileInfo(path).absoluteFilePath();
    const QString native = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile())
        refuse(say(QStringLiteral("no library at %1"), QStringLiteral("لا توجد مكتبة أكواد في %1")).arg(native));
    // Converting a library of the old format asks the user first: the window does that.
    if (store::isJetFile(path))
        refuse(say(QStringLiteral("%1 is a library of the old format: open it once in tamrisk, which converts it"),
                   QStringLiteral("%1 مكتبة بالصيغة القديمة: افتحها مرة في البرنامج ليحوّلها"))
                   .arg(native));
    try {
        // Reading commands never write, not even the indexes a library gets when it opens.
        store::LibraryConnection::open(path, !write);
    } catch (const store::StoreError &e) {
        refuse(QStringLiteral("تعذر فتح مكتبة الأكواد: ") + native + QStringLiteral(": ") + e.message());
    }
}

// One line of plain output holds no tab or line break of a title or name.
QString oneLine(const QString &text)
{
    QString s = text;
    for (QChar &c : s)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return s;
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

QList<TreeCategory> treeOrder()
{
    const QList<store::Category> categories = store::Library::categories();
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
    for (const store::SnippetSummary &s : store::Library::snippetSummaries()) {
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

int list(const Arguments &a)
{
    expectPositional(a, 0, 0);
    openLibrary(a.library, false);
    const bool userOnly = a.flags.contains(QStringLiteral("user"));
    const std::optional<QString> category = a.values.contains(QStringLiteral("category"))
                                                ? std::optional<QString>(a.values.value(QStringLiteral("category")))
                                                : std::nullopt;
    bool categoryFound = false;
    QJsonArray json;
    QString text;
    for (const TreeCategory &c : treeOrder()) {
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
                                        {QStringLiteral("user"), user}});
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

int show(const Arguments &a)
{
    expectPositional(a, 1, 1);
    const qint32 id = parseId(a.positional[0]);
    openLibrary(a.library, false);
    const std::optional<store::Snippet> s = store::Library::snippet(id);
    if (!s)
        refuse(say(QStringLiteral("no snippet with id %1"), QStringLiteral("لا يوجد كود رقمه %1")).arg(id));
    if (a.json) {
        QString category;
        bool known = false;
        const qint64 group = s->groub.isNull() ? 0 : s->groub.toLongLong(&known);
        bool found = false;
        for (const store::Category &c : store::Library::categories()) {
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
            {QStringLiteral("code"), jsonText(s->code)},
            {QStringLiteral("comment"), jsonText(s->learn)}};
        outBytes(QJsonDocument(o).toJson(QJsonDocument::Indented));
    } else {
        // Exactly as stored: nothing added, not even a line break.
        out((a.flags.contains(QStringLiteral("comment")) ? s->learn : s->code).toString());
    }
    return Done;
}

int searchCommand(const Arguments &a)
{
    expectPositional(a, 1, 1);
    const QString word = a.positional[0];
    if (word.isEmpty())
        badUsage(
            say(QStringLiteral("the word to look for is empty"), QStringLiteral("يجب أن تكتب الكلمة التي تبحث عنها")));
    search::SearchFields fields{a.flags.contains(QStringLiteral("title")), a.flags.contains(QStringLiteral("code")),
                                a.flags.contains(QStringLiteral("comment"))};
    if (!fields.caption && !fields.code && !fields.learn)
        fields = {true, true, true};
    openLibrary(a.library, false);
    search::SearchOptions options;
    options.arabic = !a.flags.contains(QStringLiteral("exact"));
    search::SnippetSearch s(word, fields, search::SnippetSearch::Measure{}, options);
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

int add(const Arguments &a)
{
    expectPositional(a, 0, 1);
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
    const QString code = platform::trimmedSpaces(readCode(a.positional.value(0, QStringLiteral("-"))));
    const QString learn = platform::trimmedSpaces(a.values.value(QStringLiteral("comment")));
    openLibrary(a.library, true);
    qint32 id = 0;
    store::Library::transaction([&] {
        std::optional<qint32> group;
        for (const store::Category &c : store::Library::categories()) {
            if (!c.caption.isNull() && c.caption.toString() == category) {
                group = c.id;
                break;
            }
        }
        if (!group)
            group = store::Library::addCategory(category);
        store::Snippet s;
        s.head = title;
        s.groub = *group;
        s.code = code;
        s.learn = learn;
        s.user = true;
        id = store::Library::addSnippet(s);
    });
    out(QString::number(id) + QLatin1Char('\n'));
    return Done;
}

// A name that every file system takes: no separators, reserved or control characters.
QString safeName(const QString &name)
{
    QString s = name.left(80);
    for (QChar &c : s)
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
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

// The save-as command's file, from the same function the window calls, so the bytes agree.
int exportCommand(const Arguments &a)
{
    expectPositional(a, 1, 1);
    const qint32 id = parseId(a.positional[0]);
    const std::optional<exporting::core::Format> format = exporting::core::formatNamed(
        a.values.value(QStringLiteral("format"), QStringLiteral("txt")));
    if (!format)
        badUsage(say(QStringLiteral("--format takes txt, rtf or html"),
                     QStringLiteral("الخيار --format يأخذ txt أو rtf أو html")));
    openLibrary(a.library, false);
    if (!store::Library::snippet(id))
        refuse(say(QStringLiteral("no snippet with id %1"), QStringLiteral("لا يوجد كود رقمه %1")).arg(id));
    const QByteArray bytes = exporting::core::exportSnippet(
        id, a.flags.contains(QStringLiteral("comment")) ? exporting::core::Field::Learn : exporting::core::Field::Code,
        *format);
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

int exportAll(const Arguments &a)
{
    expectPositional(a, 1, 1);
    const QString dirPath = QFileInfo(a.positional[0]).absoluteFilePath();
    const QDir dir(dirPath);
    // Only into a new or empty folder, so no file of the user's is ever replaced.
    if (QFileInfo::exists(dirPath)
        && (!QFileInfo(dirPath).isDir()
            || !dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty()))
        refuse(say(QStringLiteral("%1 is not a new or empty folder"), QStringLiteral("%1 ليس مجلداً جديداً أو فارغاً"))
                   .arg(QDir::toNativeSeparators(dirPath)));
    openLibrary(a.library, false);
    if (!QDir().mkpath(dirPath))
        refuse(QStringLiteral("تعذر إنشاء المجلد ") + QDir::toNativeSeparators(dirPath));
    const QList<TreeCategory> tree = treeOrder();
    QHash<qint32, store::Snippet> rows;
    for (store::Snippet &s : store::Library::allSnippets())
        rows.insert(s.id, std::move(s));
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
            writeFile(dir.filePath(base + QStringLiteral(".txt")), s.code.toString().toUtf8());
            QJsonObject entry{{QStringLiteral("id"), s.id},
                              {QStringLiteral("title"), jsonText(s.head)},
                              {QStringLiteral("user"), store::isTrue(s.user)},
                              {QStringLiteral("code"), base + QStringLiteral(".txt")},
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

int packageCreate(const Arguments &a, const QString &file)
{
    if (a.flags.contains(QStringLiteral("dry-run")))
        badUsage(say(QStringLiteral("package create has no --dry-run"),
                     QStringLiteral("الأمر package create ليس له الخيار --dry-run")));
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
    openLibrary(a.library, true);
    exchange::checkPackageable(name, date, notes);
    QString text;
    for (const QString &title : exchange::createPackage(path, name, date, notes))
        text += oneLine(title) + QLatin1Char('\n');
    out(text);
    return Done;
}

int packageApply(const Arguments &a, const QString &file)
{
    if (a.values.contains(QStringLiteral("name")) || a.values.contains(QStringLiteral("notes")))
        badUsage(say(QStringLiteral("package apply takes no --name or --notes"),
                     QStringLiteral("الأمر package apply لا يأخذ --name ولا --notes")));
    const bool dryRun = a.flags.contains(QStringLiteral("dry-run"));
    // The package is checked in full before the library is opened for writing.
    const exchange::PackageFile package(file);
    openLibrary(a.library, !dryRun);
    const exchange::PackageHeader &header = package.header();
    if (dryRun) {
        const exchange::ApplyPreview preview = exchange::previewApply(package);
        QString text = say(QStringLiteral("name: "), QStringLiteral("الاسم: ")) + oneLine(header.name.toString())
                       + QLatin1Char('\n') + say(QStringLiteral("date: "), QStringLiteral("التاريخ: "))
                       + oneLine(header.date.toString()) + QLatin1Char('\n')
                       + say(QStringLiteral("notes: "), QStringLiteral("ملاحظات: ")) + oneLine(header.notes.toString())
                       + QLatin1Char('\n');
        text +=
            say(QStringLiteral("snippets to add: %1"), QStringLiteral("الأكواد التي ستضاف: %1")).arg(preview.snippets)
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
        store::keepBackup(store::BackupReason::Package);
        Progress progress(say(QStringLiteral("applying"), QStringLiteral("جارٍ إضافة الأكواد")));
        added = exchange::applyPackage(package, [&](qint64 done, qint64 total) { progress.show(done, total); });
    } catch (const platform::Error &e) {
        refuse(QStringLiteral("تعذر إضافة محتويات ملف التحديث، ولم تتغير قاعدة البيانات: ") + e.message());
    }
    try {
        exchange::appendCredits(header);
    } catch (const platform::Error &e) {
        // The snippets are in: only the record of where they came from is missing.
        error(QStringLiteral("تمت إضافة الأكواد، لكن تعذر تسجيل بيانات ملف التحديث في الملف ") + exchange::creditsPath()
              + QStringLiteral(": ") + e.message());
    }
    out(say(QStringLiteral("added %1 snippets\n"), QStringLiteral("تمت إضافة %1 كود\n")).arg(added));
    return Done;
}

int package(const Arguments &a)
{
    expectPositional(a, 2, 2);
    if (a.positional[0] == QLatin1String("create"))
        return packageCreate(a, a.positional[1]);
    if (a.positional[0] == QLatin1String("apply"))
        return packageApply(a, a.positional[1]);
    badUsage(say(QStringLiteral("package takes create or apply, not %1"),
                 QStringLiteral("الأمر package يأخذ create أو apply، لا %1"))
                 .arg(a.positional[0]));
}

} // namespace

QString usage()
{
    return QStringLiteral(
        "usage: tamrisk-cli [--library FILE|URI] COMMAND ...\n"
        "  list [--category NAME] [--user] [--json]   id, category and title, in the tree's order\n"
        "  show ID [--comment] [--json]               the code (or the comment), exactly as stored\n"
        "  search WORD [--title] [--code] [--comment] [--exact] [--json]\n"
        "                                             snippets containing WORD (all fields unless named;\n"
        "                                             Arabic-aware unless --exact); status 1 when none\n"
        "  add --title T --category C [--comment TEXT] [FILE|-]\n"
        "                                             adds a snippet of your own; code from FILE or stdin\n"
        "  export ID [--format txt|rtf|html] [--comment] [-o FILE]\n"
        "                                             the file the window's save-as writes (stdout by default)\n"
        "  export-all DIR                             every snippet as a file per category folder, with\n"
        "                                             index.json, into a new or empty folder\n"
        "  package create FILE --name N [--notes T]   a package of your own snippets (FILE must not exist)\n"
        "  package apply FILE [--dry-run]             adds a package's snippets, all or none; --dry-run\n"
        "                                             shows what it would add\n"
        "URI: postgresql://user@host:port/dbname?sslmode=... opens a team library (password from ~/.pgpass).\n"
        "Without --library, the library tamrisk opens. Exit status: 0 done, 1 refused or not found,\n"
        "2 bad usage.\n");
}

int run(const QStringList &arguments)
{
    try {
        bool help = false, version = false;
        const Arguments a = parse(arguments, help, version);
        if (help) {
            out(usage());
            return Done;
        }
        if (version) {
            out(QStringLiteral("tamrisk-cli " PROJECT_VERSION "\n"));
            return Done;
        }
        int status = Done;
        if (a.command == QLatin1String("list"))
            status = list(a);
        else if (a.command == QLatin1String("show"))
            status = show(a);
        else if (a.command == QLatin1String("search"))
            status = searchCommand(a);
        else if (a.command == QLatin1String("add"))
            status = add(a);
        else if (a.command == QLatin1String("export"))
            status = exportCommand(a);
        else if (a.command == QLatin1String("export-all"))
            status = exportAll(a);
        else if (a.command == QLatin1String("package"))
            status = package(a);
        std::fflush(stdout);
        store::LibraryConnection::close();
        return status;
    } catch (const Failure &f) {
        error(f.message);
        if (f.status == BadUsage)
            error(say(QStringLiteral("see tamrisk-cli --help"), QStringLiteral("انظر tamrisk-cli --help")));
        store::LibraryConnection::close();
        return f.status;
    } catch (const platform::Error &e) {
        error(e.message());
        store::LibraryConnection::close();
        return Refused;
    }
}

} // namespace cli
