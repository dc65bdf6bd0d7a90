#include "export/core/Keywords.h"

#include <array>

namespace exporting::core {

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

bool isKeyword(QStringView word)
{
    // Buckets by length and first letter: a lookup compares against one or two words at most,
    // and nothing is allocated per word of the text.
    static const auto buckets = [] {
        std::array<QList<QString>, 10 * 128> table;
        for (const QString &k : vbKeywords())
            table[k.size() * 128 + k.at(0).unicode()].append(k);
        return table;
    }();
    const char16_t first = word.at(0).unicode();
    if (word.size() > 9 || first >= 128)
        return false;
    for (const QString &k : buckets[word.size() * 128 + first])
        if (k == word)
            return true;
    return false;
}

QList<KeywordSpan> findKeywords(QStringView text)
{
    QList<KeywordSpan> spans;
    forEachKeyword(text, [&](qsizetype start, qsizetype length) { spans.append({start, length}); });
    return spans;
}

} // namespace exporting::core
