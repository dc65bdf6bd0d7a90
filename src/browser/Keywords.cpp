#include "browser/Keywords.h"

#include <QSet>

namespace browser {

const QStringList &vbKeywords()
{
    static const QStringList words =
        QStringLiteral(
            "New*CLng*Until*ElseIf*Do*Loop*Open*Close*Input*Is*Option*Explicit*Type*Long*Enum*Declare*Function*Lib*"
            "Alias*ByVal*Const*Public*AddressOf*Static*Boolean*Not*Select*Case*Set*Nothing*Optional*True*False*If*Then*"
            "Or*And*Else*Private*End*UBound*To*LBound*As*Integer*String*Dim*On*Error*GoTo*Byte*Property*Let*Get*Call*"
            "With*ReDim*Resume*Exit*Sub*For*Next")
            .split(QLatin1Char('*'));
    return words;
}

bool isWordCharacter(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c.isMark(); }

QList<KeywordSpan> findKeywords(const QString &text)
{
    static const QSet<QString> keywords(vbKeywords().begin(), vbKeywords().end());
    QList<KeywordSpan> spans;
    const QChar *data = text.constData();
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
        const qsizetype length = i - start;
        // Keywords are 2 to 9 ASCII letters: skip the set lookup for anything else.
        if (ascii && length >= 2 && length <= 9 && keywords.contains(QStringView(data + start, length).toString()))
            spans.append({start, length});
    }
    return spans;
}

} // namespace browser
