#include "importing/core/SourceLanguage.h"

#include <QHash>

namespace importing::core {

namespace {

const QHash<QString, QString> &extensions()
{
    static const QHash<QString, QString> map{{"vb", "Visual Basic"},
                                             {"bas", "Visual Basic"},
                                             {"cls", "Visual Basic"},
                                             {"frm", "Visual Basic"},
                                             {"vbs", "Visual Basic"},
                                             {"c", "C"},
                                             {"h", "C"},
                                             {"cpp", "C++"},
                                             {"cc", "C++"},
                                             {"cxx", "C++"},
                                             {"hpp", "C++"},
                                             {"hh", "C++"},
                                             {"hxx", "C++"},
                                             {"cs", "C#"},
                                             {"java", "Java"},
                                             {"js", "JavaScript"},
                                             {"mjs", "JavaScript"},
                                             {"cjs", "JavaScript"},
                                             {"jsx", "JavaScript"},
                                             {"ts", "TypeScript"},
                                             {"tsx", "TypeScript"},
                                             {"py", "Python"},
                                             {"pyw", "Python"},
                                             {"php", "PHP"},
                                             {"go", "Go"},
                                             {"rs", "Rust"},
                                             {"sql", "SQL"},
                                             {"sh", "Bash"},
                                             {"bash", "Bash"},
                                             {"html", "HTML"},
                                             {"htm", "HTML"},
                                             {"css", "CSS"},
                                             {"json", "JSON"}};
    return map;
}

// Lower-case spellings other programs use, to the stored name; "" means plain text.
const QHash<QString, QString> &aliases()
{
    static const QHash<QString, QString> map{{"visual basic", "Visual Basic"},
                                             {"vb", "Visual Basic"},
                                             {"vb6", "Visual Basic"},
                                             {"vba", "Visual Basic"},
                                             {"vbnet", "Visual Basic"},
                                             {"vb.net", "Visual Basic"},
                                             {"c", "C"},
                                             {"c++", "C++"},
                                             {"cpp", "C++"},
                                             {"c_cpp", "C++"},
                                             {"cxx", "C++"},
                                             {"c#", "C#"},
                                             {"csharp", "C#"},
                                             {"cs", "C#"},
                                             {"java", "Java"},
                                             {"javascript", "JavaScript"},
                                             {"js", "JavaScript"},
                                             {"typescript", "TypeScript"},
                                             {"ts", "TypeScript"},
                                             {"python", "Python"},
                                             {"python3", "Python"},
                                             {"py", "Python"},
                                             {"php", "PHP"},
                                             {"go", "Go"},
                                             {"golang", "Go"},
                                             {"rust", "Rust"},
                                             {"rs", "Rust"},
                                             {"sql", "SQL"},
                                             {"postgresql", "SQL"},
                                             {"mysql", "SQL"},
                                             {"sqlite", "SQL"},
                                             {"pgsql", "SQL"},
                                             {"bash", "Bash"},
                                             {"sh", "Bash"},
                                             {"shell", "Bash"},
                                             {"shellscript", "Bash"},
                                             {"zsh", "Bash"},
                                             {"html", "HTML"},
                                             {"css", "CSS"},
                                             {"json", "JSON"},
                                             {"plain text", ""},
                                             {"plain_text", ""},
                                             {"plain-text", ""},
                                             {"plaintext", ""},
                                             {"text", ""},
                                             {"txt", ""}};
    return map;
}

} // namespace

QString languageForExtension(const QString &extension) { return extensions().value(extension.toLower()); }

QString sourceLanguage(const QString &name)
{
    const QString key = name.trimmed().toLower();
    if (key.isEmpty())
        return {};
    const auto it = aliases().constFind(key);
    return it != aliases().constEnd() ? *it : name.trimmed();
}

} // namespace importing::core
