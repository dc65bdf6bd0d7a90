#include "store/SearchFold.h"

#include <QChar>

namespace store {

bool isSearchIgnorable(char32_t c) { return c == 0x0640 || (c >= 0x064B && c <= 0x065F) || c == 0x0670; }

char32_t foldCharForSearch(char32_t c)
{
    if (c < 0x0600 || c > 0x06FF) // Arabic has no case: most of a library's other text skips the tables
        c = QChar::toCaseFolded(c);
    if (isSearchIgnorable(c))
        return 0;
    switch (c) {
    case 0x0623:
    case 0x0625:
    case 0x0622:
    case 0x0671:
        return 0x0627;
    case 0x0649:
        return 0x064A;
    case 0x0629:
        return 0x0647;
    default:
        return c;
    }
}

namespace {

template <typename Emit>
void fold(QStringView text, Emit &&out)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) { // most of any code: the same folding, without the tables
            out(u >= 'A' && u <= 'Z' ? char16_t(u + 32) : u, i);
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            const char32_t f = foldCharForSearch(QChar::surrogateToUcs4(u, text[i + 1].unicode()));
            if (QChar::requiresSurrogates(f)) {
                out(QChar::highSurrogate(f), i);
                out(QChar::lowSurrogate(f), i);
            } else if (f) {
                out(char16_t(f), i);
            }
            ++i;
            continue;
        }
        const char32_t f = foldCharForSearch(u);
        if (f)
            out(char16_t(f), i);
    }
}

} // namespace

QString foldForSearch(QStringView text)
{
    QString result;
    foldForSearch(text, result);
    return result;
}

void foldForSearch(QStringView text, QString &into)
{
    // Simple case folding keeps a character in its plane, so the folding is never longer.
    into.resize(text.size());
    char16_t *const begin = reinterpret_cast<char16_t *>(into.data());
    char16_t *end = begin;
    fold(text, [&end](char16_t c, qsizetype) { *end++ = c; });
    into.resize(end - begin);
}

FoldedText foldForSearchMapped(QStringView text)
{
    FoldedText result;
    result.text.reserve(text.size());
    result.origin.reserve(text.size());
    fold(text, [&](char16_t c, qsizetype from) {
        result.text.append(QChar(c));
        result.origin.append(from);
    });
    return result;
}

} // namespace store
