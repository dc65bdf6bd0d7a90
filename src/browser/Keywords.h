#pragma once
// Visual Basic keyword colouring: which spans of a text are keywords.
#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

namespace browser {

// The 62 keywords, in their order.
const QStringList &vbKeywords();
inline const QColor KeywordColor(0, 0, 128);

struct KeywordSpan {
    qsizetype start;
    qsizetype length;
};

// Letters, digits, combining marks and the underscore make up one word.
bool isWordCharacter(QChar c);
// Every whole-word, case-sensitive keyword occurrence, left to right, in one pass.
QList<KeywordSpan> findKeywords(const QString &text);

} // namespace browser
