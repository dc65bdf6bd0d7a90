#pragma once
// Visual Basic keyword colouring: which spans of a text are keywords. No windows needed, so the
// view, the save-as files and the command line all colour with the same rules.
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace exporting::core {

// The 62 keywords, in their order.
const QStringList &vbKeywords();
// The keyword colour, navy, as 0xRRGGBB.
inline constexpr unsigned KeywordRgb = 0x000080;

struct KeywordSpan {
    qsizetype start;
    qsizetype length;
    friend bool operator==(const KeywordSpan &, const KeywordSpan &) = default;
};

// Letters, digits, combining marks and the underscore make up one word.
inline bool isWordCharacter(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_';
    return c.isLetterOrNumber() || c.isMark();
}

// Whether the word (already known to be whole) is one of the keywords, case-sensitively.
bool isKeyword(QStringView word);

// Calls found(start, length) for every whole-word, case-sensitive keyword occurrence, left to
// right, in one pass. A text cut at line breaks gives the same words as the whole text.
template <typename Found>
void forEachKeyword(QStringView text, Found &&found)
{
    const QChar *data = text.data();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (!isWordCharacter(data[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        bool ascii = true;
        while (i < n && isWordCharacter(data[i])) {
            ascii = ascii && data[i].unicode() < 0x80;
            ++i;
        }
        // Keywords are 2 to 9 ASCII letters: anything else needs no lookup.
        const qsizetype length = i - start;
        if (ascii && length >= 2 && length <= 9 && isKeyword(QStringView(data + start, length)))
            found(start, length);
    }
}

QList<KeywordSpan> findKeywords(QStringView text);

} // namespace exporting::core
