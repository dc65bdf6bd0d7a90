#pragma once
// Colouring code by its grammar: a text is parsed with the grammar of its language, and the
// grammar's highlight query says which parts are keywords, strings, comments and so on.
// Positions are QString positions (UTF-16 code units). Visual Basic is not here: it keeps its
// keyword colouring (export/core/Keywords.h).
#include "highlight/Styles.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <atomic>
#include <memory>

namespace highlight {

// The language every snippet without a language of its own is in.
inline const QString VisualBasic = QStringLiteral("Visual Basic");

struct Span {
    int start;
    int length;
    Style style;
    friend bool operator==(const Span &, const Span &) = default;
};

// Set to non-zero from any thread to stop a parse or a colouring under way.
using CancelFlag = std::atomic<size_t>;

// The languages with a grammar, in the order of the language box.
QStringList grammarLanguages();
bool hasGrammar(const QString &language);
// Empty when the language's grammar loads under the runtime and its highlight query compiles;
// else what failed (in English, for tests and logs).
QString checkGrammar(const QString &language);

class Highlighter
{
public:
    // A language without a grammar (or Visual Basic) gives a highlighter that colours nothing.
    explicit Highlighter(const QString &language);
    ~Highlighter();
    Highlighter(const Highlighter &) = delete;
    Highlighter &operator=(const Highlighter &) = delete;

    bool isValid() const;
    // Parses text, which must stay alive and unchanged while spans are asked of it. A text the
    // grammar cannot make sense of still parses: its broken parts are just not coloured.
    // False when cancelled, or without a grammar.
    bool parse(QStringView text, const CancelFlag *cancel = nullptr);
    // The coloured runs meeting [from, to), clipped to it, in order and not overlapping; where
    // captures nest, the inner one wins, and of two on the same text the query's first.
    QList<Span> spans(qsizetype from, qsizetype to, const CancelFlag *cancel = nullptr) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// All the coloured runs of text in language (none for a language without a grammar).
QList<Span> highlightText(const QString &language, QStringView text);

} // namespace highlight
