#include "languages/Language.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>

namespace languages {

namespace {

struct Known {
    const char *name;
    const char *extension; // the one a file of it is written with
    const char *otherExtensions; // read back as it too, space-separated
    const char *aliases; // lower case, space-separated
};

// The order of the language box.
const Known kKnown[] = {
    {"Visual Basic", "vb", "bas frm cls ctl vbs", "vb vb6 vba vbnet vb.net visualbasic vbscript basic"},
    {"C", "c", "h", ""},
    {"C++", "cpp", "cc cxx c++ hpp hh hxx h++ ipp", "cpp cxx cplusplus"},
    {"C#", "cs", "csx", "csharp cs"},
    {"Java", "java", "", ""},
    {"JavaScript", "js", "mjs cjs jsx", "js javascript node nodejs ecmascript jsx"},
    {"TypeScript", "ts", "mts cts tsx", "ts tsx"},
    {"Python", "py", "pyw pyi", "py python3 python2 py3"},
    {"PHP", "php", "phtml php3 php4 php5", ""},
    {"Go", "go", "", "golang"},
    {"Rust", "rs", "", "rs"},
    {"SQL", "sql", "psql ddl", "postgresql postgres psql mysql sqlite plsql pl/sql tsql t-sql mssql"},
    {"Bash", "sh", "bash zsh ksh", "sh shell bash zsh shellscript shell-script ksh"},
    {"HTML", "html", "htm xhtml", "htm xhtml"},
    {"CSS", "css", "", ""},
    {"JSON", "json", "jsonc geojson", "jsonc"},
};

QStringList words(const char *text) { return QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts); }

const QHash<QString, QString> &byExtension()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        for (const Known &k : kKnown) {
            const QString name = QString::fromLatin1(k.name);
            t.insert(QString::fromLatin1(k.extension), name);
            for (const QString &e : words(k.otherExtensions))
                t.insert(e, name);
        }
        return t;
    }();
    return table;
}

const QHash<QString, QString> &byAlias()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        for (const Known &k : kKnown) {
            const QString name = QString::fromLatin1(k.name);
            t.insert(name.toLower(), name);
            for (const QString &a : words(k.aliases))
                t.insert(a, name);
        }
        // Aliases of more than one word.
        t.insert(QStringLiteral("c sharp"), QStringLiteral("C#"));
        t.insert(QStringLiteral("c plus plus"), QStringLiteral("C++"));
        t.insert(QStringLiteral("visual basic"), VisualBasic);
        return t;
    }();
    return table;
}

// How much a telling piece of code speaks for a language.
struct Sign {
    const char *language;
    int weight;
    QRegularExpression pattern;
};

QRegularExpression multiline(const char *pattern, bool caseless = false)
{
    QRegularExpression::PatternOptions options = QRegularExpression::MultilineOption;
    if (caseless)
        options |= QRegularExpression::CaseInsensitiveOption;
    return QRegularExpression(QString::fromLatin1(pattern), options);
}

const std::vector<Sign> &signs()
{
    static const std::vector<Sign> table = {
        {"Visual Basic", 3, multiline(R"(^\s*End (Sub|Function|If|With|Select|Property|Type)\b)", true)},
        {"Visual Basic", 2, multiline(R"(^\s*(Private |Public )?(Sub|Function) \w+\s*\()", true)},
        {"Visual Basic", 2, multiline(R"(^\s*Dim \w+( As |\s*$))", true)},
        {"C", 2, multiline(R"(^\s*#include\s*[<"])")},
        {"C", 1, multiline(R"(\b(printf|malloc|free|sizeof)\s*\()")},
        {"C", 1, multiline(R"(^\s*(int|void)\s+main\s*\()")},
        {"C++", 3, multiline(R"(\bstd::|\bcout\s*<<|^\s*template\s*<|^\s*namespace \w+\s*\{?\s*$)")},
        {"C++", 1, multiline(R"(^\s*#include\s*<(iostream|vector|string|map|memory|algorithm)>)")},
        {"C#", 3, multiline(R"(^\s*using System(\.[\w.]+)?;|\bConsole\.Write(Line)?\s*\()")},
        {"C#", 1, multiline(R"(\b(public|private|internal) (static )?(async )?(void|string|int|bool|Task)\b.*\)\s*$)")},
        {"Java", 3,
         multiline(R"(^\s*import java\.|\bSystem\.out\.print(ln)?\s*\(|public static void main\s*\(\s*String)")},
        {"JavaScript", 3, multiline(R"(\bconsole\.log\s*\(|\bdocument\.\w+|\brequire\s*\(\s*['"])")},
        {"JavaScript", 2, multiline(R"(^\s*(const|let|var) \w+\s*=|^\s*function\s+\w*\s*\(|=>\s*\{)")},
        {"TypeScript", 3, multiline(R"(^\s*(export )?(interface|type) \w+\s*(=|\{|<))")},
        {"TypeScript", 2,
         multiline(
             R"(\b(const|let|var) \w+\s*:\s*(string|number|boolean|any)\b|\)\s*:\s*(string|number|void|boolean|Promise<))")},
        {"Python", 3,
         multiline(R"(^\s*def \w+\s*\(.*\)\s*(->\s*[\w\[\], .]+)?:\s*$|^if __name__ == ['"]__main__['"]:)")},
        {"Python", 2,
         multiline(R"(^\s*(from [\w.]+ import [\w, *]+|import [\w.]+( as \w+)?)\s*$|^\s*class \w+(\(.*\))?:\s*$)")},
        {"Python", 1, multiline(R"(^\s*(elif .*|else|try|except.*|for .* in .*|while .*):\s*$)")},
        {"PHP", 5, multiline(R"(<\?php)")},
        {"PHP", 1, multiline(R"(\$\w+\s*=.*;\s*$|\becho\s+\$)")},
        {"Go", 4, multiline(R"(^package \w+\s*$)")},
        {"Go", 2, multiline(R"(^func (\(\w+ \*?\w+\) )?\w+\(|\bfmt\.Print|:= )")},
        {"Rust", 3, multiline(R"(^\s*(pub )?fn \w+|\blet mut \b|\bprintln!\s*\(|^\s*use std::|^\s*impl\b)")},
        {"SQL", 3,
         multiline(
             R"(^\s*(SELECT\b.*\bFROM\b|INSERT INTO\b|CREATE (TABLE|INDEX|VIEW)\b|UPDATE \w+ SET\b|DELETE FROM\b|ALTER TABLE\b))",
             true)},
        {"Bash", 2, multiline(R"(^\s*(fi|done|esac)\s*$|^\s*(echo|export|source|cd|sudo|apt-get|mkdir)\s)")},
        {"Bash", 1, multiline(R"(\$\(|\[\[ |\$\{\w+\}|^\s*if \[)")},
        {"HTML", 5, multiline(R"(^\s*<!DOCTYPE html|<html[\s>])", true)},
        {"HTML", 2, multiline(R"(<(div|span|body|head|p|a|table|script|ul|li)(\s[^>]*)?>)", true)},
        {"CSS", 3, multiline(R"(^\s*[\w.#:*\[\]="\-\s,>+~()]+\{\s*$(\s*[\w-]+\s*:\s*[^;{}]+;\s*$)+)")},
        {"CSS", 2, multiline(R"(^\s*@(media|import|font-face|keyframes)\b)")},
    };
    return table;
}

QString fromShebang(const QString &firstLine)
{
    // "#!/bin/sh", "#!/usr/bin/env -S python3 -u": the interpreter's own name, after env if any.
    const QStringList parts = firstLine.mid(2).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QString program;
    for (const QString &word : parts) {
        program = word.section(u'/', -1);
        if (program != QLatin1String("env") && !program.startsWith(u'-'))
            break;
        program.clear();
    }
    if (program.startsWith(QLatin1String("python")))
        return QStringLiteral("Python");
    if (program == QLatin1String("sh") || program == QLatin1String("bash") || program == QLatin1String("zsh")
        || program == QLatin1String("ksh") || program == QLatin1String("dash"))
        return QStringLiteral("Bash");
    if (program == QLatin1String("node") || program == QLatin1String("nodejs"))
        return QStringLiteral("JavaScript");
    if (program == QLatin1String("php"))
        return QStringLiteral("PHP");
    return {};
}

} // namespace

QStringList knownNames()
{
    QStringList names;
    for (const Known &k : kKnown)
        names.append(QString::fromLatin1(k.name));
    return names;
}

QString fromExtension(const QString &extension)
{
    QString e = extension.trimmed().toLower();
    if (e.startsWith(u'.'))
        e.remove(0, 1);
    return byExtension().value(e);
}

QString extensionOf(const QString &name)
{
    for (const Known &k : kKnown)
        if (name == QLatin1String(k.name))
            return QString::fromLatin1(k.extension);
    return QStringLiteral("txt");
}

QString canonical(const QString &name)
{
    const QString key = name.simplified().toLower();
    const auto it = byAlias().constFind(key);
    return it == byAlias().constEnd() ? name : it.value();
}

QString guess(const QString &code)
{
    // The start tells as much as the whole, and a long paste costs no more than a short one.
    const QString text = code.left(64 * 1024);
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (trimmed.startsWith(QLatin1String("#!"))) {
        const QString shebang = fromShebang(trimmed.section(u'\n', 0, 0));
        if (!shebang.isEmpty())
            return shebang;
    }
    if ((trimmed.startsWith(u'{') && trimmed.endsWith(u'}')) || (trimmed.startsWith(u'[') && trimmed.endsWith(u']'))) {
        if (code.size() == text.size()) {
            QJsonParseError error;
            QJsonDocument::fromJson(trimmed.toUtf8(), &error);
            if (error.error == QJsonParseError::NoError)
                return QStringLiteral("JSON");
        }
    }
    QHash<QString, int> score;
    for (const Sign &s : signs()) {
        if (s.pattern.match(text).hasMatch())
            score[QString::fromLatin1(s.language)] += s.weight;
    }
    // C++ and TypeScript read as C and JavaScript as well: the more telling name takes their points.
    if (score.value(QStringLiteral("C++")) > 0)
        score[QStringLiteral("C++")] += score.take(QStringLiteral("C"));
    if (score.value(QStringLiteral("TypeScript")) > 0)
        score[QStringLiteral("TypeScript")] += score.take(QStringLiteral("JavaScript"));
    QString best;
    int bestScore = 0, second = 0;
    for (auto it = score.cbegin(); it != score.cend(); ++it) {
        if (it.value() > bestScore) {
            second = bestScore;
            bestScore = it.value();
            best = it.key();
        } else if (it.value() > second) {
            second = it.value();
        }
    }
    // Unsure unless one language is clearly ahead.
    if (bestScore < 3 || bestScore - second < 2)
        return {};
    return best;
}

} // namespace languages
