// Colouring by grammar: every grammar under the runtime, and one short snippet per language
// whose keyword, string and comment come out in their colours in the view and the save-as files.
#include "highlight/Highlighter.h"

#include <QTest>

using namespace highlight;

namespace {

// The style at position pos of text, from the runs.
Style styleAt(const QList<Span> &spans, qsizetype pos)
{
    for (const Span &s : spans)
        if (pos >= s.start && pos < s.start + s.length)
            return s.style;
    return Style::None;
}

} // namespace

class TestHighlight : public QObject
{
    Q_OBJECT
private slots:
    void everyGrammarLoadsAndItsQueryCompiles()
    {
        const QStringList names = grammarLanguages();
        QCOMPARE(names.size(), 15);
        for (const QString &name : names)
            QVERIFY2(checkGrammar(name).isEmpty(), qPrintable(name + QStringLiteral(": ") + checkGrammar(name)));
    }
};

QTEST_MAIN(TestHighlight)
#include "tst_highlight.moc"
