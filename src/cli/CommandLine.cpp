#include "cli/CommandLine.h"

#include "cli/Commands.h"
#include "cli/Output.h"
#include "platform/Error.h"
#include "store/Library.h"

#include <QCommandLineParser>
#include <QSet>

#include <algorithm>
#include <limits>
#include <cstdio>
#include <vector>

namespace cli {

namespace {

// A command: its options besides --library, how many words it takes besides them, what runs it,
// and its lines in the usage text. The table below is the one place a command is named: the
// parsing, the dispatch and the usage text all read it.
struct Command {
    QString name;
    QStringList flags = {}; // options without a value
    QStringList values = {}; // options with one: --name VALUE or --name=VALUE
    bool json = false; // takes --json too
    qsizetype least = 0, most = 0; // words besides the options
    int (*run)(store::Library &, const Arguments &) = nullptr;
    const char *usage = "";
};

const std::vector<Command> &commands()
{
    static const std::vector<Command> table = {
        {.name = QStringLiteral("list"),
         .flags = {QStringLiteral("user")},
         .values = {QStringLiteral("category")},
         .json = true,
         .run = list,
         .usage = "  list [--category NAME] [--user] [--json]   id, category and title, in the tree's order\n"},
        {.name = QStringLiteral("show"),
         .flags = {QStringLiteral("comment")},
         .json = true,
         .least = 1,
         .most = 1,
         .run = show,
         .usage = "  show ID [--comment] [--json]               the code (or the comment), exactly as stored\n"},
        {.name = QStringLiteral("search"),
         .flags = {QStringLiteral("title"), QStringLiteral("code"), QStringLiteral("comment"), QStringLiteral("exact")},
         .json = true,
         .least = 1,
         .most = 1,
         .run = searchCommand,
         .usage = "  search WORD [--title] [--code] [--comment] [--exact] [--json]\n"
                  "                                             snippets containing WORD (all fields unless named;\n"
                  "                                             Arabic-aware unless --exact); status 1 when none\n"},
        {.name = QStringLiteral("add"),
         .values = {QStringLiteral("title"), QStringLiteral("category"), QStringLiteral("comment"),
                    QStringLiteral("lang")},
         .most = 1,
         .run = add,
         .usage = "  add --title T --category C [--comment TEXT] [--lang NAME] [FILE|-]\n"
                  "                                             adds a snippet of your own; code from FILE or stdin;\n"
                  "                                             its language from --lang, else FILE's extension,\n"
                  "                                             else Visual Basic\n"},
        {.name = QStringLiteral("export"),
         .flags = {QStringLiteral("comment")},
         .values = {QStringLiteral("format"), QStringLiteral("output")},
         .least = 1,
         .most = 1,
         .run = exportCommand,
         .usage =
             "  export ID [--format txt|rtf|html] [--comment] [-o FILE]\n"
             "                                             the file the window's save-as writes (stdout by default)\n"},
        {.name = QStringLiteral("export-all"),
         .least = 1,
         .most = 1,
         .run = exportAll,
         .usage = "  export-all DIR                             every snippet as a file per category folder, with\n"
                  "                                             index.json, into a new or empty folder\n"},
        {.name = QStringLiteral("package"),
         .flags = {QStringLiteral("dry-run"), QStringLiteral("skip-duplicates")},
         .values = {QStringLiteral("name"), QStringLiteral("notes")},
         .least = 2,
         .most = 2,
         .run = package,
         .usage = "  package create FILE --name N [--notes T]   a package of your own snippets (FILE must not exist)\n"
                  "  package apply FILE [--dry-run] [--skip-duplicates]\n"
                  "                                             adds a package's snippets, all or none; --dry-run\n"
                  "                                             shows what it would add; --skip-duplicates leaves\n"
                  "                                             out those the library holds already\n"},
        {.name = QStringLiteral("import"),
         .flags = {QStringLiteral("dry-run")},
         .values = {QStringLiteral("from"), QStringLiteral("duplicates")},
         .json = true,
         .least = 1,
         .most = 1,
         .run = importCommand,
         .usage = "  import [--from folder|vscode|masscode|snippetslab|cherrytree] PATH [--dry-run] [--json]\n"
                  "         [--duplicates skip|keep|replace]\n"
                  "                                             snippets from another program, all or none;\n"
                  "                                             --dry-run shows what it would do\n"},
        {.name = QStringLiteral("trash"),
         .json = true,
         .least = 1,
         .most = 2,
         .run = trash,
         .usage = "  trash list [--json]                        deleted snippets, newest first: item, id, time,\n"
                  "                                             category and title\n"
                  "  trash restore ITEM                         puts an item back under its category (made again\n"
                  "                                             if gone), with its id when free; prints the id\n"
                  "  trash empty                                deletes every item of the trash for good\n"},
        {.name = QStringLiteral("history"),
         .values = {QStringLiteral("restore")},
         .json = true,
         .least = 1,
         .most = 1,
         .run = history,
         .usage = "  history ID [--json]                        earlier versions of a snippet, newest first\n"
                  "  history ID --restore VERSION               makes that version the snippet's again (an edit)\n"},
        {.name = QStringLiteral("copy"),
         .flags = {QStringLiteral("dry-run")},
         .values = {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("duplicates")},
         .json = true,
         .least = 1,
         .most = std::numeric_limits<qsizetype>::max(),
         .run = copyCommand,
         .usage = "  copy --from LOCATION [--to LOCATION] ID... [--dry-run] [--json] [--duplicates skip|keep|replace]\n"
                  "                                             copies snippets from one library into another (by\n"
                  "                                             default --library), all or none, categories by name;\n"
                  "                                             the library copied from is only read\n"},
        {.name = QStringLiteral("init"),
         .flags = {QStringLiteral("yes")},
         .run = init,
         .usage = "  init [--yes]                               gives an empty team database (--library URI) the\n"
                  "                                             library's tables; asks first unless --yes\n"},
    };
    return table;
}

const QString Library = QStringLiteral("library");
const QString Json = QStringLiteral("json");
const QString Help = QStringLiteral("help");
const QString Version = QStringLiteral("version");

QCommandLineOption flagOption(const QString &name) { return QCommandLineOption(name); }
QCommandLineOption valueOption(const QString &name) { return QCommandLineOption(name, {}, QStringLiteral("value")); }

bool parseWords(QCommandLineParser &parser, const QStringList &words)
{
    return parser.parse(QStringList{QStringLiteral("tamrisk-cli")} + words); // after the program's name
}

// "-" alone is standard input, not an option; "--" ends the options.
bool isOptionWord(const QString &word) { return word.size() > 1 && word.startsWith(QLatin1Char('-')); }

// The only short options are -h and -o. QCommandLineParser would take bundles (-ho), values joined
// on (-ofile) or long names after one dash (-help); none of them ever meant anything here.
QStringList withLongNames(const QStringList &words)
{
    QStringList result;
    bool optionsEnded = false;
    for (const QString &word : words) {
        if (!optionsEnded && isOptionWord(word) && !word.startsWith(QLatin1String("--"))) {
            if (word == QLatin1String("-h"))
                result.append(QStringLiteral("--") + Help);
            else if (word == QLatin1String("-o"))
                result.append(QStringLiteral("--output"));
            else
                badUsage(say(QStringLiteral("unknown option %1"), QStringLiteral("خيار غير معروف %1")).arg(word));
        } else {
            optionsEnded = optionsEnded || word == QLatin1String("--");
            result.append(word);
        }
    }
    return result;
}

// Whether the option at `at` takes the next word as its value: only an option that wants one,
// written without "=value", and only when that word is not itself an option or the "--" that ends
// them. QCommandLineParser would take it all the same ("--title --json").
bool valueMissing(const QStringList &words, qsizetype at, const QSet<QString> &valueOptions)
{
    return words[at].startsWith(QLatin1String("--")) && valueOptions.contains(words[at].mid(2))
           && (at + 1 == words.size() || isOptionWord(words[at + 1]));
}

// The first mistake in the options of command `c`, in the order given, said as this program always
// has. QCommandLineParser finds these too, but tells only that there were some, naming no command,
// in English.
void refuseMistakenOptions(const Command &c, const QStringList &words)
{
    QSet<QString> values(c.values.cbegin(), c.values.cend());
    values.insert(Library);
    for (qsizetype i = 0; i < words.size() && words[i] != QLatin1String("--"); ++i) {
        if (!isOptionWord(words[i]))
            continue;
        const QString name = words[i].mid(2).section(QLatin1Char('='), 0, 0);
        const bool isFlag = name == Json || c.flags.contains(name);
        if (!isFlag && !values.contains(name))
            badUsage(
                say(QStringLiteral("the %1 command has no option --%2"), QStringLiteral("الأمر %1 ليس له الخيار --%2"))
                    .arg(c.name, name));
        if (isFlag && words[i].contains(QLatin1Char('=')))
            badUsage(say(QStringLiteral("--%1 takes no value"), QStringLiteral("الخيار --%1 لا يأخذ قيمة")).arg(name));
        if (name == Json && !c.json)
            badUsage(
                say(QStringLiteral("the %1 command has no --json"), QStringLiteral("الأمر %1 ليس له الخيار --json"))
                    .arg(c.name));
        if (valueMissing(words, i, values))
            badUsage(say(QStringLiteral("--%1 needs a value"), QStringLiteral("الخيار --%1 يحتاج إلى قيمة")).arg(name));
    }
}

// The command named by the first word that is neither an option nor an option's value.
const Command &commandNamed(const QStringList &loose)
{
    const auto name = std::find_if(loose.cbegin(), loose.cend(), [](const QString &w) { return !w.isEmpty(); });
    if (name == loose.cend())
        badUsage(say(QStringLiteral("no command given"), QStringLiteral("لم يُذكر أمر")));
    const auto command = std::find_if(commands().cbegin(), commands().cend(),
                                      [&](const Command &c) { return c.name == *name; });
    if (command == commands().cend())
        badUsage(say(QStringLiteral("unknown command %1"), QStringLiteral("أمر غير معروف %1")).arg(*name));
    return *command;
}

// The command's own options and other words, wherever they stand.
Arguments argumentsOf(const Command &command, const QStringList &words)
{
    refuseMistakenOptions(command, words);
    QCommandLineParser parser;
    parser.addOptions({valueOption(Library), flagOption(Json)});
    for (const QString &flag : command.flags)
        parser.addOption(flagOption(flag));
    for (const QString &value : command.values)
        parser.addOption(valueOption(value));
    [[maybe_unused]] const bool parsed = parseWords(parser, words);
    Q_ASSERT(parsed); // what it could refuse was refused above

    Arguments a;
    a.location = parser.value(Library);
    a.json = parser.isSet(Json);
    a.command = command.name;
    a.positional = parser.positionalArguments();
    a.positional.removeOne(command.name);
    for (const QString &flag : command.flags)
        if (parser.isSet(flag))
            a.flags.insert(flag);
    for (const QString &value : command.values)
        if (parser.isSet(value))
            a.values.insert(value, parser.value(value));
    return a;
}

// What the words ask for: the usage text, the version, or a command.
struct Request {
    enum class Kind { Usage, Version, Run } kind = Kind::Run;
    const Command *command = nullptr;
    Arguments arguments;
};

Request parse(const QStringList &arguments)
{
    const QStringList words = withLongNames(arguments);
    // Options may come before the command, so here every command's options with a value are known
    // ("--category NAME list" is list); the others are the command's to judge. One whose value is
    // missing is left out, so that it takes no word.
    QSet<QString> anyValue{Library};
    for (const Command &c : commands())
        anyValue.unite(QSet<QString>(c.values.cbegin(), c.values.cend()));
    QStringList located;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words[i] == QLatin1String("--")) {
            located += words.mid(i);
            break;
        }
        if (!valueMissing(words, i, anyValue))
            located.append(words[i]);
    }
    QCommandLineParser global;
    for (const QString &name : anyValue)
        global.addOption(valueOption(name));
    global.addOptions({flagOption(Help), flagOption(Version)});
    parseWords(global, located);
    if (global.isSet(Help))
        return {Request::Kind::Usage, nullptr, {}};
    if (global.isSet(Version))
        return {Request::Kind::Version, nullptr, {}};
    const Command &command = commandNamed(global.positionalArguments());
    return {Request::Kind::Run, &command, argumentsOf(command, words)};
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

} // namespace

QString usage()
{
    QString text = QStringLiteral("usage: tamrisk-cli [--library FILE|URI] COMMAND ...\n");
    for (const Command &c : commands())
        text += QLatin1String(c.usage);
    return text
           + QStringLiteral(
               "URI: postgresql://user@host:port/dbname?sslmode=... opens a team library (password from ~/.pgpass).\n"
               "Without --library, the library tamrisk opens. Exit status: 0 done, 1 refused or not found,\n"
               "2 bad usage.\n");
}

int run(const QStringList &arguments)
{
    try {
        const Request request = parse(arguments);
        if (request.kind == Request::Kind::Usage) {
            out(usage());
            return Done;
        }
        if (request.kind == Request::Kind::Version) {
            out(QStringLiteral("tamrisk-cli " PROJECT_VERSION "\n"));
            return Done;
        }
        expectPositional(request.arguments, request.command->least, request.command->most);
        store::Library library;
        const int status = request.command->run(library, request.arguments);
        std::fflush(stdout);
        return status;
    } catch (const Failure &f) {
        error(f.message);
        if (f.status == BadUsage)
            error(say(QStringLiteral("see tamrisk-cli --help"), QStringLiteral("انظر tamrisk-cli --help")));
        return f.status;
    } catch (const platform::Error &e) {
        error(e.message());
        return Refused;
    }
}

} // namespace cli
