#include "TestSupport.h"

#include "search/FrmFind.h"
#include "search/TitleWidths.h"
#include "store/Library.h"

#include <QFontMetrics>

using namespace search;

namespace {

QList<qint32> ids(const QList<SearchHit> &hits)
{
    QList<qint32> result;
    for (const SearchHit &h : hits)
        result.append(h.id);
    return result;
}

QList<SearchHit> find(const QString &word, SearchFields fields)
{
    SnippetSearch s(testing::library(), word, fields);
    s.runToEnd();
    return s.hits();
}

constexpr SearchFields Title{true, false, false};
constexpr SearchFields Code{false, true, false};
constexpr SearchFields Learn{false, false, true};
constexpr SearchFields All{true, true, true};

} // namespace

class TestSnippetSearch : public QObject
{
    Q_OBJECT
private slots:
    void wordInTitleAndCodeGivesOneResult()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        lib.addSnippet("other", g, "nothing");
        const qint32 both = lib.addSnippet("Open file", g, "Open \"x\" For Input As #1", "open it");
        const QList<SearchHit> hits = find("open", {true, true, false});
        QCOMPARE(ids(hits), QList<qint32>{both});
        QCOMPARE(hits.first().title, QStringLiteral("Open file"));
        QCOMPARE(hits.first().key(), QStringLiteral("T%1").arg(both));
        QCOMPARE(ids(find("open", All)), QList<qint32>{both});
    }

    void caseIsIgnored()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 id = lib.addSnippet("t", g, "Dim x As Long");
        QCOMPARE(ids(find("DIM", Code)), QList<qint32>{id});
        QCOMPARE(ids(find("dim X as", Code)), QList<qint32>{id});
        QVERIFY(find("Dimx", Code).isEmpty());
    }

    void foldingCoversMoreThanAscii()
    {
        QVERIFY(wordOccursIn(u"Élan vital", u"élan"));
        QVERIFY(wordOccursIn(u"ΟΔΟΣ", u"οδοσ"));
        QVERIFY(wordOccursIn(u"Straße", u"STRASSE")
                == QStringView(u"Straße").contains(u"STRASSE", Qt::CaseInsensitive));
        QVERIFY(wordOccursIn(u"هذا الكود", u"الكود"));
        QVERIFY(!wordOccursIn(u"الكود", u"الكـود")); // tatweel counts as a character
        QVERIFY(!wordOccursIn(u"", u"a"));
    }

    void noFieldMeansNoResult()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        lib.addSnippet("word", g, "word", "word");
        SnippetSearch s(testing::library(), "word", {}, [](const QString &t) { return int(t.size()); });
        s.runToEnd();
        QVERIFY(s.hits().isEmpty());
        QCOMPARE(s.widestTitle(), 4); // titles are still measured
    }

    void fieldsOutsideTheBoxesAreNotSearched()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 inTitle = lib.addSnippet("needle", g, "x", "y");
        const qint32 inCode = lib.addSnippet("a", g, "needle", "y");
        const qint32 inLearn = lib.addSnippet("b", g, "x", "needle");
        QCOMPARE(ids(find("needle", Title)), QList<qint32>{inTitle});
        QCOMPARE(ids(find("needle", Code)), QList<qint32>{inCode});
        QCOMPARE(ids(find("needle", Learn)), QList<qint32>{inLearn});
        QCOMPARE(ids(find("needle", All)), (QList<qint32>{inTitle, inCode, inLearn}));
    }

    void nullFieldsReadAsEmpty()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 first = lib.addSnippet("a", g, "x", "the word here");
        const qint32 nullLearn = lib.addSnippet("b", g, "x", QVariant());
        lib.exec("UPDATE Code SET Learn = NULL, Head = NULL, code = NULL WHERE id = ?", {nullLearn});
        const qint32 third = lib.addSnippet("c", g, "x", "word");
        QCOMPARE(ids(find("word", Learn)), (QList<qint32>{first, third}));
        QCOMPARE(ids(find("word", All)), (QList<qint32>{first, third}));
    }

    void wordIsUsedAsTyped()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 spaced = lib.addSnippet("End Sub", g);
        lib.addSnippet("EndSub", g);
        QCOMPARE(ids(find(" sub", Title)), QList<qint32>{spaced});
        QCOMPARE(ids(find(" ", Title)), QList<qint32>{spaced});
    }

    void arabicWordInArabicComment()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory(QStringLiteral("فئة"));
        lib.addSnippet(QStringLiteral("قراءة"), g, "x", QStringLiteral("يقرأ الملف سطراً سطراً"));
        const qint32 id = lib.addSnippet(QStringLiteral("عرض"), g, "x", QStringLiteral("يعرض النتيجة في مربع نص"));
        QCOMPARE(ids(find(QStringLiteral("النتيجة"), Learn)), QList<qint32>{id});
    }

    void resultsKeepTableOrder()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 b = lib.addSnippet("b item", g);
        const qint32 a = lib.addSnippet("a item", g);
        const qint32 c = lib.addSnippet("c item", g);
        QCOMPARE(ids(find("item", Title)), (QList<qint32>{b, a, c}));
    }

    void emptyTable()
    {
        testing::TempLibrary lib;
        SnippetSearch s(testing::library(), "x", All, [](const QString &) { return 7; });
        QVERIFY(!s.step());
        QVERIFY(s.finished());
        QVERIFY(s.hits().isEmpty());
        QCOMPARE(s.widestTitle(), 0);
    }

    void widestTitleIsOfTheWholeTable()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const QString longest = QStringLiteral("a rather long title that does not match");
        lib.addSnippet("short", g);
        lib.addSnippet(longest, g);
        lib.addSnippet("hit", g);
        SnippetSearch s(testing::library(), "hit", Title, [](const QString &t) { return int(t.size()) * 10; });
        s.runToEnd();
        QCOMPARE(s.hits().size(), 1);
        QCOMPARE(s.widestTitle(), int(longest.size()) * 10);
    }

    void slicesGiveTheSameAnswer()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        QList<qint32> expected;
        for (int i = 0; i < 37; ++i) {
            const qint32 id = lib.addSnippet(QStringLiteral("s%1").arg(i), g, i % 3 ? "x" : "Zanzibar");
            if (i % 3 == 0)
                expected.append(id);
        }
        // A row deleted before the scan reaches it is simply not there.
        SnippetSearch s(testing::library(), "zanzibar", Code, SnippetSearch::Measure{}, SearchOptions{false, false});
        QVERIFY(s.step(5));
        QCOMPARE(s.rowsRead(), 5);
        QCOMPARE(ids(s.hits()), (QList<qint32>{expected[0], expected[1]}));
        QCOMPARE(s.newHitsFrom(), 0);
        QVERIFY(testing::library().deleteSnippet(expected.last()));
        expected.removeLast();
        int calls = 1;
        while (s.step(5))
            ++calls;
        ++calls;
        QCOMPARE(calls, 8); // 36 rows in slices of 5: the eighth call reads the last row
        QVERIFY(s.finished());
        QVERIFY(!s.step(5));
        QCOMPARE(ids(s.hits()), expected);
        QCOMPARE(s.rowsRead(), 36);
    }

    void textScanReadsOnlyTheAskedColumnsInSlices()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 a = lib.addSnippet("a", g, "code a", "learn a");
        const qint32 b = lib.addSnippet("b", g, "code b", "learn b");
        const qint32 c = lib.addSnippet(QVariant(), g, "code c", "learn c");
        lib.exec("UPDATE Code SET Head = NULL WHERE id = ?", {c});
        QList<store::SnippetText> rows = testing::library().snippetTexts(0, 2, false, true);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].id, a);
        QVERIFY(!rows[0].code.isValid());
        QCOMPARE(rows[1].learn.toString(), QStringLiteral("learn b"));
        rows = testing::library().snippetTexts(rows[1].row, 2, true, false);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].id, c);
        QVERIFY(rows[0].head.isNull());
        QCOMPARE(rows[0].code.toString(), QStringLiteral("code c"));
        QVERIFY(!rows[0].learn.isValid());
        QVERIFY(testing::library().snippetTexts(rows[0].row, 2, true, true).isEmpty());
        Q_UNUSED(b);
    }

    void fragmentHoldsOnlyCharactersWithoutExoticCaseVariants()
    {
        QCOMPARE(necessaryFragment("ZanZibar"), QStringLiteral("zanzibar"));
        QCOMPARE(necessaryFragment("key"), QStringLiteral("ey")); // KELVIN SIGN folds to k
        QCOMPARE(necessaryFragment("Sub Main"), QStringLiteral("ub main")); // LONG S folds to s
        QCOMPARE(necessaryFragment(QStringLiteral("قمرية")), QStringLiteral("قمرية"));
        QCOMPARE(necessaryFragment(QStringLiteral("οδος")), QString());
        QCOMPARE(necessaryFragment("ks"), QString());
        QCOMPARE(necessaryFragment("100%_x"), QStringLiteral("100%_x"));
        QCOMPARE(necessaryFragment(QStringLiteral("Élan vital")), QStringLiteral("lan vital"));
    }

    void fragmentSkipsOnlyTextsThatCannotMatch()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 hit = lib.addSnippet("a", g, "Call ZANZIBAR");
        lib.addSnippet("b", g, "Call Other");
        const qint32 number = lib.addSnippet("c", g, "x");
        lib.exec("UPDATE Code SET code = CAST('other' AS BLOB) WHERE id = ?", {number});
        const QList<store::SnippetText> rows = testing::library().snippetTexts(0, 10, true, false, "zanzibar");
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].id, hit);
        QCOMPARE(rows[0].code.toString(), QStringLiteral("Call ZANZIBAR"));
        QVERIFY(rows[1].code.isNull());
        QVERIFY(!rows[2].code.isNull()); // not text: left for the search to read
        // Wildcards in the fragment are plain characters.
        lib.addSnippet("d", g, "50 percent");
        const qint32 percent = lib.addSnippet("e", g, "50% off_a\\b");
        const QList<store::SnippetText> wild = testing::library().snippetTexts(number, 10, true, false, "50%");
        QCOMPARE(wild.size(), 2);
        QVERIFY(wild[0].code.isNull());
        QCOMPARE(wild[1].id, percent);
        QVERIFY(!testing::library().snippetTexts(number, 10, true, false, "f_a")[1].code.isNull());
        QVERIFY(testing::library().snippetTexts(number, 10, true, false, "o_f")[1].code.isNull());
        QVERIFY(testing::library().snippetTexts(number, 10, true, false, "f%a")[1].code.isNull());
        QVERIFY(!testing::library().snippetTexts(number, 10, true, false, "a\\b")[1].code.isNull());
    }

    // The fragment only spares reading: every search finds what a plain scan of every row finds.
    void answersEqualAPlainScan()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const QStringList texts = {
            "Call ZANZIBAR",
            QStringLiteral("zanz\u0130bar"),
            QStringLiteral("\u212Aey word"),
            QStringLiteral("\u017Fub main"),
            QStringLiteral("ΟΔΟΣ"),
            QStringLiteral("οδος"),
            "100%_x",
            "a\\b",
            QStringLiteral("Straße"),
            QStringLiteral("STRASSE"),
            QStringLiteral("هذا قمرية"),
            QStringLiteral("قمريه"),
            QStringLiteral("الكـود"),
            "Sub Main",
            "dim Key As Long",
            "",
        };
        QList<qint32> all;
        for (const QString &t : texts) {
            all.append(lib.addSnippet(t.left(3), g, t, t.isEmpty() ? QString() : QStringLiteral("شرح ") + t));
        }
        const qint32 number = lib.addSnippet("n", g, "x", "y");
        lib.exec("UPDATE Code SET code = 1.5, Learn = CAST('42 Zanzibar' AS BLOB) WHERE id = ?", {number});
        const qint32 nulls = lib.addSnippet("z", g);
        lib.exec("UPDATE Code SET code = NULL, Learn = NULL WHERE id = ?", {nulls});

        const QStringList words = {"zanzibar",
                                   "key",
                                   "KEY WORD",
                                   "sub",
                                   "SUB MAIN",
                                   QStringLiteral("οδοσ"),
                                   "100%_",
                                   "%",
                                   "_",
                                   "\\",
                                   "1.5",
                                   "42",
                                   "strasse",
                                   QStringLiteral("ß"),
                                   QStringLiteral("قمرية"),
                                   QStringLiteral("الكود"),
                                   " ",
                                   "ZAN",
                                   "i",
                                   QStringLiteral("\u0130")};
        const QList<SearchFields> fieldSets = {Code, Learn, {false, true, true}, All};
        int found = 0;
        for (const QString &word : words) {
            for (const SearchFields &f : fieldSets) {
                QList<qint32> expected;
                for (const store::Snippet &row : testing::library().allSnippets()) {
                    const bool hit = (f.caption && wordOccursIn(row.head.toString(), word))
                                     || (f.code && wordOccursIn(row.code.toString(), word))
                                     || (f.learn && wordOccursIn(row.learn.toString(), word));
                    if (hit)
                        expected.append(row.id);
                }
                QCOMPARE(ids(find(word, f)), expected);
                found += int(expected.size());
            }
        }
        QVERIFY(found > 40);
        // The cases a case-blind LIKE on the whole word would miss are found.
        QVERIFY(ids(find("key", Code)).contains(all[2]));
        QVERIFY(ids(find("sub", Code)).contains(all[3]));
        QCOMPARE(ids(find("zanzibar", Code)), QList<qint32>{all[0]});
        QCOMPARE(ids(find("zanzibar", Learn)), (QList<qint32>{all[0], number}));
    }

    void moreThan32767RowsAndResults()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        lib.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                 "INSERT INTO Code (Head, Groub, code, Learn, User) SELECT 'title ' || i, ?, 'code', 'learn', 0 FROM n",
                 {g});
        const qint32 last = lib.addSnippet("the last one", g, "needle");
        QCOMPARE(find("title", Title).size(), 40000);
        QCOMPARE(ids(find("needle", Code)), QList<qint32>{last});
    }

    void titleWidthsMeasureInTheFont()
    {
        QFont font;
        font.setPointSize(13);
        TitleWidths widths(testing::library(), font);
        const QString title = QStringLiteral("عنوان Title");
        QCOMPARE(widths.width(title), QFontMetrics(font).horizontalAdvance(title));
        QCOMPARE(widths.width(title), QFontMetrics(font).horizontalAdvance(title));
        QCOMPARE(widths.width(QString()), 0);
    }

    void titleWidthsMeasureALargeTableInSteps()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        lib.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                 "INSERT INTO Code (Head, Groub) SELECT 'title ' || i, ? FROM n",
                 {g});
        QFont font;
        TitleWidths widths(testing::library(), font);
        QVERIFY(!widths.knownWidest());
        QVERIFY(!widths.measureFor(0)); // one slice of the table, not all of it
        // A write before the end: the measuring starts again and sees the new title.
        const QString longest = QStringLiteral("عنوان أطول من كل العناوين الأخرى في الجدول");
        lib.addSnippet(longest, g);
        int calls = 1;
        while (!widths.measureFor(0))
            ++calls;
        QVERIFY(calls >= 3);
        QCOMPARE(widths.knownWidest(), std::optional<int>(QFontMetrics(font).horizontalAdvance(longest)));
        QCOMPARE(widths.widestOfTable(), QFontMetrics(font).horizontalAdvance(longest));
        lib.exec("UPDATE Code SET Head = 'x' WHERE Head = ?", {longest});
        QVERIFY(!widths.knownWidest());
    }

    void resultCaptionText()
    {
        QCOMPARE(resultCaption(3),
                 QStringLiteral("نتيجة البحث:") + QStringLiteral(" 3") + QStringLiteral("عنصر/عناصر"));
        QCOMPARE(resultCaption(0), QStringLiteral("نتيجة البحث: 0عنصر/عناصر"));
        QCOMPARE(resultCaption(40000), QStringLiteral("نتيجة البحث: 40000عنصر/عناصر"));
    }
};

TAMRISK_TEST_MAIN(TestSnippetSearch)
#include "tst_snippetsearch.moc"
