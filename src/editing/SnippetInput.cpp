#include "editing/SnippetInput.h"

#include "platform/Text.h"

namespace editing {

QStringList categoryEntries(const QList<store::Category> &categories)
{
    QStringList entries;
    entries.reserve(categories.size());
    for (const store::Category &c : categories)
        entries.append(c.caption.isNull() ? QString() : c.caption.toString());
    return entries;
}

std::optional<store::Category> categoryAt(const QList<store::Category> &categories, int position)
{
    const int p = std::max(position, 0);
    if (p >= categories.size())
        return std::nullopt;
    return categories.at(p);
}

int entryOfCategory(const QList<store::Category> &categories, const QString &categoryId)
{
    for (int k = 0; k < categories.size(); ++k)
        if (QString::number(categories.at(k).id) == categoryId)
            return k;
    return -1;
}

namespace {
// An empty box is stored as the empty text, never as Null (a null QString binds as Null).
QString trimmedText(const QString &text)
{
    const QString trimmed = platform::trimmedSpaces(text);
    return trimmed.isNull() ? QStringLiteral("") : trimmed;
}
} // namespace

store::Snippet snippetFromInput(const QString &head, qint32 category, const QString &code, const QString &learn)
{
    store::Snippet s;
    s.head = trimmedText(head);
    s.groub = category;
    s.code = trimmedText(code);
    s.learn = trimmedText(learn);
    s.user = true;
    return s;
}

} // namespace editing
