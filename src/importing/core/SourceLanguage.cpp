#include "importing/core/SourceLanguage.h"

#include "languages/Language.h"

#include <QSet>

namespace importing::core {

namespace {

// What other programs call plain text: no language at all.
bool isPlainText(const QString &key)
{
    static const QSet<QString> names{QStringLiteral("plain text"), QStringLiteral("plain_text"),
                                     QStringLiteral("plain-text"), QStringLiteral("plaintext"),
                                     QStringLiteral("text"),       QStringLiteral("txt")};
    return names.contains(key);
}

} // namespace

QString languageForExtension(const QString &extension) { return languages::fromExtension(extension); }

QString sourceLanguage(const QString &name)
{
    const QString key = name.trimmed().toLower();
    if (key.isEmpty() || isPlainText(key))
        return {};
    return languages::canonical(name.trimmed());
}

} // namespace importing::core
