#include "TestSupport.h"

#include "browser/CountText.h"
#include "browser/Keywords.h"

using namespace browser;

class TestKeywords : public QObject
{
    Q_OBJECT
private:
    static QStringList hits(const QString &text)
    {
        QStringList words;
        for (const KeywordSpan &s : findKeywords(text))
            words.append(text.mid(s.start, s.length));
        return words;
    }

private slots:
    void sixtyTwoKeywordsInOrder()
    {
        QCOMPARE(vbKeywords().size(), 62);
        QCOMPARE(vbKeywords().first(), QStringLiteral("New"));
        QCOMPARE(vbKeywords().last(), QStringLiteral("Next"));
    }

    void wholeWordsOnly()
    {
        QCOMPARE(hits("End If"), QStringList({"End", "If"}));
        QCOMPARE(hits("Endif IfDone Dim_x Dim2 _Dim"), QStringList());
        QCOMPARE(hits("Dim x As String"), QStringList({"Dim", "As", "String"}));
        QCOMPARE(hits("x=If(y)"), QStringList({"If"}));
        // Arabic letters are letters: they join a word too.
        QCOMPARE(hits(QStringLiteral("Dimمتغير Dim")), QStringList({"Dim"}));
    }

    void caseMustMatch() { QCOMPARE(hits("if IF If"), QStringList({"If"})); }

    void commentsAndStringsAreNotSpecial()
    {
        QCOMPARE(hits("x = 1 ' Exit here"), QStringList({"Exit"}));
        QCOMPARE(hits("s = \"Loop\""), QStringList({"Loop"}));
    }

    void farPositionsCount()
    {
        const QString text = QString(40000, QLatin1Char('x')) + QStringLiteral(" Sub");
        const auto spans = findKeywords(text);
        QCOMPARE(spans.size(), 1);
        QCOMPARE(spans.first().start, 40001);
    }

    void countText_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << QStringLiteral("العدد الكلي للأكواد:  0 كود");
        QTest::newRow("1") << qint64(1) << QStringLiteral("العدد الكلي للأكواد:  1 كود");
        QTest::newRow("12345") << qint64(12345) << QStringLiteral("العدد الكلي للأكواد:  12345 كود");
        QTest::newRow("-3") << qint64(-3) << QStringLiteral("العدد الكلي للأكواد: -3 كود");
    }
    void countText()
    {
        QFETCH(qint64, count);
        QFETCH(QString, text);
        QCOMPARE(browser::countText(count), text);
    }

    void dateTextHasThreePartsInArabic()
    {
        const QString text = dateText(QDate(2026, 12, 8));
        QVERIFY(text.startsWith(QStringLiteral("تاريخ اليوم: ")));
        const QStringList parts = text.mid(13).split(QLatin1Char('/'));
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(0), QStringLiteral("الثلاثاء"));
        QCOMPARE(parts.at(1), QStringLiteral("ديسمبر"));
    }
};

TAMRISK_TEST_MAIN(TestKeywords)
#include "tst_keywords.moc"
