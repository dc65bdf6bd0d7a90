#include "TestSupport.h"

#include "exchange/Package.h"
#include "search/core/SnippetSearch.h"
#include "store/Database.h"
#include "store/Library.h"
#include "store/PgLocation.h"
#include "store/SearchFold.h"
#include "store/SearchIndex.h"

#include <QSqlQuery>

using namespace search;
using store::SearchIndex;

namespace {

constexpr SearchFields All{true, true, true};

QList<qint32> ids(const QList<SearchHit> &hits)
{
    QList<qint32> result;
    for (const SearchHit &h : hits)
        result.append(h.id);
    return result;
}

struct Answer {
    QList<qint32> ids;
    bool index = false;
    qint64 rowsRead = 0;
};

Answer find(const QString &word, SearchFields fields, bool arabic, bool useIndex)
{
    SnippetSearch s(testing::library(), word, fields, SnippetSearch::Measure{}, SearchOptions{arabic, useIndex});
    s.runToEnd();
    return {ids(s.hits()), s.usedIndex(), s.rowsRead()};
}

// The index's answer, checked to come from the index.
QList<qint32> indexed(const QString &word, bool arabic = true)
{
    const Answer a = find(word, All, arabic, true);
    if (!a.index)
        qWarning("the search did not use the index");
    return a.index ? a.ids : QList<qint32>{-1};
}

// A connection of another program: plain SQL, none of our functions.
void foreignExec(const QString &path, const QString &sql)
{
    if (testing::onPostgres()) {
        store::Database other(store::parsePgLocation(path), QString(), QStringLiteral("Foreign"));
        other.exec(sql);
        return;
    }
    store::Database other(path, store::Database::NoFlags, QStringLiteral("Foreign"));
    other.exec(sql);
}

// Changes noted for folding later; a team library's own adds, edits and deletes leave none.
qint64 pendingChanges()
{
    QSqlQuery q = testing::library().database().query(testing::onPostgres()
                                                          ? QStringLiteral("SELECT count(*) FROM searchpending")
                                                          : QStringLiteral("SELECT count(*) FROM SearchPending"));
    return q.next() ? q.value(0).toLongLong() : -1;
}

// The library file's own index, its pages and triggers: nothing of it on a team library.
#define SQLITE_ONLY()                                                                                                  \
    if (testing::onPostgres())                                                                                         \
    QSKIP("the library file's own index")

void reopen(const QString &path, bool readOnly = false)
{
    testing::library().close();
    testing::library().open(path, readOnly);
    if (testing::library().searchIndex().status() == SearchIndex::Status::Building)
        testing::library().searchIndex().buildAll();
}

} // namespace

class TestSearchIndex : public QObject
{
    Q_OBJECT
private slots:
    void foldingIsOneCharacterAtATime()
    {
        QCOMPARE(store::foldForSearch(QStringLiteral("الكـــود")), QStringLiteral("الكود"));
        QCOMPARE(store::foldForSearch(QStringLiteral("اِسْم إسم أحمد آمن ٱلله")),
                 QStringLiteral("اسم اسم احمد امن الله"));
        QCOMPARE(store::foldForSearch(QStringLiteral("مدرسة على DIM Straße")), QStringLiteral("مدرسه علي dim straße"));
        const store::FoldedText mapped = store::foldForSearchMapped(QStringLiteral("aـbَc"));
        QCOMPARE(mapped.text, QStringLiteral("abc"));
        QCOMPARE(mapped.origin, (QList<qsizetype>{0, 2, 4}));
        // Marks cover the original text, with the harakat after the last letter.
        const QString text = QStringLiteral("قال: اِسْمُ الكـــود، Dim dim");
        QCOMPARE(wordMatches(text, QStringLiteral("اسم"), true), (QList<std::pair<qsizetype, qsizetype>>{{5, 6}}));
        QCOMPARE(wordMatches(text, QStringLiteral("الكود"), true), (QList<std::pair<qsizetype, qsizetype>>{{12, 8}}));
        QVERIFY(wordMatches(text, QStringLiteral("الكود"), false).isEmpty());
        QCOMPARE(wordMatches(text, QStringLiteral("DIM"), false),
                 (QList<std::pair<qsizetype, qsizetype>>{{22, 3}, {26, 3}}));
    }

    void indexAndScanGiveTheSameAnswers()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const QStringList pieces = {
            QStringLiteral("الكود"),
            QStringLiteral("الكـــود"),
            QStringLiteral("الْكُودُ"),
            QStringLiteral("اسم"),
            QStringLiteral("إسم"),
            QStringLiteral("اِسْم"),
            QStringLiteral("أسماء"),
            QStringLiteral("مدرسة"),
            QStringLiteral("مدرسه"),
            QStringLiteral("على"),
            QStringLiteral("علي"),
            "Zanzibar",
            "ZANZIBAR",
            "zanZibar",
            "100%_done",
            "a_b",
            "50%",
            "say \"hi\"",
            "it's",
            "NEAR(a b)",
            "x AND y",
            "   ",
            "  ",
            "Dim",
            "\t",
            QStringLiteral("Straße"),
            QStringLiteral("ΟΔΟΣ"),
        };
        // Each row mixes a few pieces into each field, deterministically.
        for (int i = 0; i < 120; ++i) {
            const auto pick = [&](int k) { return pieces[(i * 7 + k * 11) % pieces.size()]; };
            const QVariant head = i % 13 == 0 ? QVariant()
                                              : QVariant(pick(0) + QStringLiteral(" t") + QString::number(i));
            const QVariant learn = i % 9 == 0 ? QVariant() : QVariant(pick(3) + QLatin1Char(' ') + pick(4));
            lib.addSnippet(head, g, pick(1) + QStringLiteral("\r\n") + pick(2), learn);
        }
        lib.exec("UPDATE Code SET code = 12.5 WHERE id = 5");
        QCOMPARE(testing::library().searchIndex().status(), SearchIndex::Status::Ready);

        const QStringList words = {
            QStringLiteral("الكود"),
            QStringLiteral("الكـود"),
            QStringLiteral("الْكُود"),
            QStringLiteral("اسم"),
            QStringLiteral("إسم"),
            QStringLiteral("آسم"),
            QStringLiteral("مدرسة"),
            QStringLiteral("مدرسه"),
            QStringLiteral("على"),
            "zanzibar",
            "ZanZiBar",
            "ANZ",
            "%",
            "_",
            "0%_",
            "%_d",
            "a_b",
            "\"hi\"",
            "\"",
            "it's",
            "NEAR(",
            "AND y",
            "   ",
            " ",
            "x",
            "Dim",
            "12.5",
            QStringLiteral("οδος"),
            QStringLiteral("ـــ"),
            "notthere",
        };
        const QList<SearchFields> fieldSets = {
            {true, false, false}, {false, true, false}, {false, false, true}, All, {}};
        int found = 0, byIndex = 0;
        for (const QString &word : words) {
            for (const SearchFields &f : fieldSets) {
                for (bool arabic : {false, true}) {
                    const Answer scan = find(word, f, arabic, false);
                    const Answer index = find(word, f, arabic, true);
                    QVERIFY2(scan.ids == index.ids, qPrintable(word));
                    QVERIFY(!scan.index);
                    found += int(scan.ids.size());
                    byIndex += index.index;
                    // Shorter than three characters after folding: only the scan can answer.
                    if (store::foldForSearch(word).toUcs4().size() < 3)
                        QVERIFY(!index.index);
                }
            }
        }
        QVERIFY(found > 300);
        QVERIFY(byIndex > 150);
        // The Arabic-aware matching finds what the plain one does not, and only when asked.
        QVERIFY(find(QStringLiteral("الكود"), All, true, true).ids.size()
                > find(QStringLiteral("الكود"), All, false, true).ids.size());
        QVERIFY(find(QStringLiteral("اسم"), All, true, true).ids.size()
                > find(QStringLiteral("اسم"), All, false, true).ids.size());
    }

    void trigramsInMostRowsAreLeftOutAndTheAnswersStayTheSame()
    {
        SQLITE_ONLY();
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        lib.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2400) "
                 "INSERT INTO Code (Head, Groub, code, Learn, User) SELECT 'Snippet ' || i, ?, "
                 "'Dim x As String' || char(13, 10) || CASE WHEN i % 50 = 0 THEN 'Call Zanzibar' ELSE 'End Sub' END, "
                 "CASE WHEN i % 70 = 0 THEN 'قمرية' WHEN i % 3 = 0 THEN NULL ELSE 'شرح الكود' END, 0 FROM n",
                 {g});
        testing::library().searchIndex().rebuild();
        testing::library().searchIndex().buildAll();
        QSqlQuery left(testing::library().connection().database());
        QVERIFY(left.exec(QStringLiteral("SELECT count(*) FROM SearchStop")) && left.next());
        QVERIFY(left.value(0).toInt() > 10);
        // Written after the build: added and removed with the same trigrams left out.
        const qint32 added = lib.addSnippet("Dim Snippet", g, "Dim x As String Zanzibar2", QStringLiteral("الكـود"));
        lib.exec("DELETE FROM Code WHERE id = 100");
        const QStringList words = {"Zanzibar",
                                   "zanzibar2",
                                   "Dim x",
                                   "as string",
                                   "Snippet 12",
                                   "snippet",
                                   "End Sub",
                                   "x As String\r\nCall",
                                   QStringLiteral("قمرية"),
                                   QStringLiteral("الكود"),
                                   "Dim Snip"};
        for (const QString &word : words) {
            for (const SearchFields &f : {SearchFields{true, false, false}, SearchFields{false, true, false}, All}) {
                for (bool arabic : {false, true})
                    QVERIFY2(find(word, f, arabic, false).ids == find(word, f, arabic, true).ids, qPrintable(word));
            }
        }
        QCOMPARE(indexed("zanzibar2"), QList<qint32>{added});
        QCOMPARE(indexed("Zanzibar").size(), 48 - 1 + 1); // id 100 was one of them; the added one
        // Only trigrams that nearly every row holds: nothing for the index to narrow, so the scan answers.
        QVERIFY(!find("Dim x As", All, true, true).index);
    }

    void awkwardTextsAreIndexedAsTheScanReadsThem()
    {
        SQLITE_ONLY();
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        // Most rows hold letters outside the BMP (with case), so trigrams of them are left out.
        lib.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2400) "
                                "INSERT INTO Code (Head, Groub, code, Learn, User) SELECT 'row ' || i, ?, "
                                "'𐐀𐐁𐐂 x' || i, NULL, 0 FROM n"),
                 {g});
        // Far more distinct trigrams than a text usually has.
        QString longText;
        quint32 seed = 1;
        for (int i = 0; i < 200000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint k = (seed >> 16) % 62;
            longText += k < 36 ? QChar(k < 10 ? '0' + k : 'a' + k - 10) : QChar(0x0621 + k - 36);
        }
        const QString end = longText.right(9);
        const qint32 awkward = lib.addSnippet(QStringLiteral("𐐨𐐩𐐪 Ünïcode"), g, longText + QStringLiteral("needle𐐀zz"),
                                              QStringLiteral("اِسْمُ الكـــود 😀😀x"));
        // Stored by another program: not UTF-8, and characters SQLite reads otherwise than they are.
        lib.exec(QStringLiteral("INSERT INTO Code (Head, Groub, code, User) VALUES "
                                "(CAST(x'6162ff6364c0af65' AS TEXT), ?, CAST(x'77efbfbe78eda080797a' AS TEXT), 0)"),
                 {g});
        testing::library().searchIndex().rebuild();
        testing::library().searchIndex().buildAll();
        QSqlQuery q(testing::library().connection().database());
        QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM SearchStop WHERE gram LIKE '%𐐨%'")) && q.next());
        QVERIFY(q.value(0).toInt() > 0);
        QVERIFY(q.exec(QStringLiteral("SELECT Head, code FROM Code ORDER BY id DESC LIMIT 1")) && q.next());
        const QString bytesHead = q.value(0).toString(), bytesCode = q.value(1).toString();
        q.finish();

        const QStringList words = {QStringLiteral("𐐀𐐁𐐂"),
                                   QStringLiteral("𐐀𐐁𐐂 x12"),
                                   QStringLiteral("𐐪 ün"),
                                   QStringLiteral("needle𐐀z"),
                                   end,
                                   QStringLiteral("الكود"),
                                   QStringLiteral("😀😀x"),
                                   bytesHead.mid(1, 4),
                                   bytesCode.mid(0, 3),
                                   bytesCode.right(4)};
        int byIndex = 0;
        for (const QString &word : words) {
            for (bool arabic : {false, true}) {
                const Answer scan = find(word, All, arabic, false), index = find(word, All, arabic, true);
                QVERIFY2(scan.ids == index.ids, qPrintable(word));
                QVERIFY2(!arabic || !scan.ids.isEmpty(), qPrintable(word));
                byIndex += index.index;
            }
        }
        QVERIFY(byIndex >= 16);
        // What a change takes out of the index is what was put in: the old texts leave no candidate.
        lib.exec(QStringLiteral("UPDATE Code SET Head = 'plain', code = 'plain', Learn = NULL WHERE id = ?"),
                 {awkward});
        lib.exec(QStringLiteral("DELETE FROM Code WHERE Head <> 'plain' AND Head NOT LIKE 'row %'"));
        for (const QString &word : words) {
            const auto rows = testing::library().searchIndex().candidates(store::foldForSearch(word), true, true, true);
            QVERIFY2(!rows
                         || std::none_of(rows->cbegin(), rows->cend(),
                                         [&](const store::SearchCandidate &c) { return c.row >= awkward; }),
                     qPrintable(word));
        }
    }

    void indexFollowsEveryWrite()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 other = lib.addCategory("other");
        const qint32 a = lib.addSnippet("first", g, "Dim alpha", QStringLiteral("شرح"));
        QCOMPARE(indexed("alpha"), QList<qint32>{a});

        const qint32 b = lib.addSnippet(QStringLiteral("عنوان"), other, "Call bravo", QVariant(), true);
        QCOMPARE(indexed("bravo"), QList<qint32>{b}); // add

        store::Snippet edited = *testing::library().snippet(a);
        edited.code = QStringLiteral("Dim charlie");
        QVERIFY(testing::library().updateSnippet(edited));
        QCOMPARE(pendingChanges(), 0);
        QCOMPARE(indexed("charlie"), QList<qint32>{a}); // edit
        QVERIFY(indexed("alpha").isEmpty());
        if (testing::onPostgres()) {
            // An edit that keeps the code leaves its folded copy, and its many trigrams, in place.
            const auto codeVersion = [a] {
                QSqlQuery q = testing::library().database().query(
                    QStringLiteral("SELECT xmin::text FROM searchcode WHERE id = ?"), {a});
                return q.next() ? q.value(0).toString() : QString();
            };
            const QString before = codeVersion();
            QVERIFY(!before.isEmpty());
            edited.head = QStringLiteral("golf");
            edited.learn = QStringLiteral("hotel");
            QVERIFY(testing::library().updateSnippet(edited));
            QCOMPARE(codeVersion(), before);
            QCOMPARE(indexed("golf"), QList<qint32>{a});
            QCOMPARE(indexed("hotel"), QList<qint32>{a});
            QCOMPARE(indexed("charlie"), QList<qint32>{a});
        }
        QVERIFY(testing::library().renameSnippet(a, QStringLiteral("renamed delta")));
        QCOMPARE(indexed("delta"), QList<qint32>{a});
        QVERIFY(indexed("first").isEmpty());

        QVERIFY(testing::library().clearUserMarks() == 1); // merge: the words stay found
        QCOMPARE(indexed("bravo"), QList<qint32>{b});

        // A package apply reopens the library file around its backup; on a team library it is
        // the exchange tests' to cover.
        QList<qint32> echo;
        if (!testing::onPostgres()) {
            exchange::Package package;
            package.rows.append({QStringLiteral("echo title"), QStringLiteral("Sub echo"), QStringLiteral("مكتبة"), 3,
                                 QStringLiteral("vendor")});
            QCOMPARE(exchange::applyPackage(testing::library(), package), 1); // package apply
            echo = indexed("echo");
            QCOMPARE(echo.size(), 1);
            QCOMPARE(indexed(QStringLiteral("مكتبه")), echo);
        }

        QVERIFY(testing::library().deleteSnippet(a)); // delete
        QCOMPARE(pendingChanges(), 0);
        QVERIFY(indexed("charlie").isEmpty());
        QVERIFY(testing::library().deleteCategory(other)); // a category with its snippets
        QVERIFY(indexed("bravo").isEmpty());
        if (!echo.isEmpty())
            QCOMPARE(indexed("echo"), echo);

        // A write that fails leaves the index as it was with the table.
        QVERIFY(!testing::errorOf([&] {
                     testing::library().transaction([&] {
                         lib.addSnippet("foxtrot", g, "x");
                         throw store::StoreError(QStringLiteral("x"));
                     });
                 }).isEmpty());
        QVERIFY(indexed("foxtrot").isEmpty());
    }

    void foreignWritersNeedNothingOfOurs()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 a = lib.addSnippet("a", g, "old golf");
        if (testing::onPostgres()) {
            // Another connection writing plain SQL, as another client or tool does.
            foreignExec(lib.path(),
                        QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") VALUES ('hotel', %1, "
                                       "'x', 'اِسْم', false)")
                            .arg(g));
            foreignExec(lib.path(), QStringLiteral("UPDATE Code SET code = 'new india' WHERE id = %1").arg(a));
            QCOMPARE(indexed("hotel").size(), 1);
            QCOMPARE(indexed(QStringLiteral("إسم")), indexed("hotel"));
            QCOMPARE(indexed("india"), QList<qint32>{a});
            QVERIFY(indexed("golf").isEmpty());
            foreignExec(lib.path(), QStringLiteral("DELETE FROM Code WHERE id = %1").arg(a));
            QVERIFY(indexed("india").isEmpty());
            foreignExec(lib.path(), QStringLiteral("TRUNCATE Code"));
            QVERIFY(indexed("hotel").isEmpty());
            QCOMPARE(testing::library().snippetCount(), 0);
            return;
        }
        foreignExec(
            lib.path(),
            QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, User) VALUES ('hotel', %1, 'x', 'y', 0)")
                .arg(g));
        foreignExec(lib.path(), QStringLiteral("UPDATE Code SET code = 'new india' WHERE id = %1").arg(a));
        foreignExec(lib.path(),
                    QStringLiteral("INSERT OR REPLACE INTO Code (id, Head, Groub, code) VALUES (%1, 'juliet', %2, 'z')")
                        .arg(a)
                        .arg(g));
        QCOMPARE(indexed("hotel").size(), 1);
        QCOMPARE(indexed("juliet"), QList<qint32>{a});
        QVERIFY(indexed("india").isEmpty());
        QVERIFY(indexed("golf").isEmpty());
        foreignExec(lib.path(), QStringLiteral("DELETE FROM Code"));
        QVERIFY(indexed("juliet").isEmpty());
        QCOMPARE(testing::library().snippetCount(), 0);
    }

    void aReadOnlyClientReadsOnlyTheRowsChangedElsewhere()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        QList<qint32> rows;
        for (int i = 0; i < 300; ++i)
            rows.append(lib.addSnippet(QStringLiteral("t%1").arg(i), g, i == 5 ? "quebec" : "romeo sierra"));
        QCOMPARE(indexed("quebec"), QList<qint32>{rows[5]});
        // Another tool changes one row (no folding of ours); a client that may not write searches.
        foreignExec(lib.path(), QStringLiteral("UPDATE Code SET Learn = 'tango quebec' WHERE id = %1").arg(rows[7]));
        if (testing::onPostgres()) {
            // On a team library, a change that changes nothing leaves no row to judge.
            foreignExec(lib.path(), QStringLiteral("UPDATE Code SET Learn = Learn WHERE id <> %1").arg(rows[7]));
            QCOMPARE(pendingChanges(), 1);
        }
        reopen(lib.path(), true);
        const Answer changed = find("quebec", All, true, true);
        QCOMPARE(changed.ids, (QList<qint32>{rows[5], rows[7]}));
        QVERIFY(changed.index);
        QVERIFY2(changed.rowsRead <= 3, qPrintable(QString::number(changed.rowsRead)));
        const Answer unchanged = find("uniform", All, true, true);
        QVERIFY(unchanged.ids.isEmpty());
        QVERIFY(unchanged.rowsRead <= 1);
        testing::library().close();
    }

    void damagedOrMissingIndexIsRebuilt()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        for (int i = 0; i < 50; ++i)
            lib.addSnippet(QStringLiteral("t%1").arg(i), g, i == 42 ? "kilo" : "lima");
        const qint32 kilo = indexed("kilo").value(0);
        QVERIFY(kilo > 0);
        if (testing::onPostgres()) {
            foreignExec(lib.path(), QStringLiteral("DROP TABLE searchtext"));
            const Answer during = find("kilo", All, true, true); // the scan answers, the index is made anew
            QCOMPARE(during.ids, QList<qint32>{kilo});
            QVERIFY(!during.index);
            testing::library().searchIndex().buildAll();
            QCOMPARE(indexed("kilo"), QList<qint32>{kilo});
            foreignExec(lib.path(), QStringLiteral("DROP TRIGGER code_search ON Code"));
            reopen(lib.path());
            QCOMPARE(indexed("kilo"), QList<qint32>{kilo});
            return;
        }

        // Missing: a table dropped by another program.
        foreignExec(lib.path(), QStringLiteral("DROP TABLE SearchCode"));
        reopen(lib.path());
        QCOMPARE(indexed("kilo"), QList<qint32>{kilo});

        // Out of step: triggers gone while another program wrote.
        foreignExec(lib.path(), QStringLiteral("DROP TRIGGER SearchPendingInsert"));
        foreignExec(lib.path(),
                    QStringLiteral("INSERT INTO Code (Head, Groub, code) VALUES ('m', %1, 'kilo too')").arg(g));
        reopen(lib.path());
        QCOMPARE(indexed("kilo").size(), 2);

        // Damaged: the index's own pages gone under an open library.
        QSqlQuery(testing::library().connection().database())
            .exec(QStringLiteral("DELETE FROM SearchCode_data WHERE id > 10"));
        QSqlQuery(testing::library().connection().database()).exec(QStringLiteral("DELETE FROM SearchCode_idx"));
        const Answer during = find("kilo", All, true, true);
        QCOMPARE(during.ids.size(), 2); // answered by the scan meanwhile
        testing::library().searchIndex().buildAll();
        QCOMPARE(indexed("kilo").size(), 2);
    }

    void aWordInMostRowsIsLeftToTheScan()
    {
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        // Loaded by another program: lima in just over half the rows; mike in more than a thousand,
        // a sixth, which the index narrows on either engine.
        foreignExec(lib.path(), QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                               "i < 6000) INSERT INTO Code (Head, Groub, code, Learn) SELECT 'row' || "
                                               "i, %1, CASE WHEN i = 7 THEN 'kilo' WHEN i <= 3100 THEN 'lima' WHEN i "
                                               "<= 4200 THEN 'mike' ELSE 'oscar' END, '' FROM n")
                                    .arg(g));
        // Folded in by the next writer to open it, then built afresh.
        for (bool rebuilt : {false, true}) {
            if (rebuilt)
                testing::library().searchIndex().rebuild();
            else
                reopen(lib.path());
            testing::library().searchIndex().buildAll();
            const Answer most = find("lima", All, true, true);
            QCOMPARE(most.ids.size(), 3099);
            QVERIFY(!most.index);
            const Answer fewer = find("mike", All, true, true);
            QCOMPARE(fewer.ids.size(), 1100);
            QVERIFY(fewer.index);
            QCOMPARE(indexed("kilo").size(), 1);
        }
    }

    void readOnlyLibraryStillSearches()
    {
        SQLITE_ONLY();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("plain.mdb"));
        {
            // A library made by another tool, without the index.
            store::Database made(path);
            made.exec(QStringLiteral("CREATE TABLE Groub (Groub INTEGER PRIMARY KEY AUTOINCREMENT, Caption TEXT)"));
            made.exec(
                QStringLiteral("CREATE TABLE Code (id INTEGER PRIMARY KEY AUTOINCREMENT, Head TEXT, Groub INTEGER, "
                               "code TEXT, Learn TEXT, User INTEGER)"));
            made.exec(QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn) VALUES ('one', 1, 'Dim mike', 'x'), "
                                     "('two', 1, 'nothing', 'الكـــود')"));
        }
        testing::library().open(path, true);
        QCOMPARE(testing::library().searchIndex().status(), SearchIndex::Status::Unavailable);
        const Answer mike = find("MIKE", All, true, true);
        QCOMPARE(mike.ids, QList<qint32>{1});
        QVERIFY(!mike.index);
        QCOMPARE(find(QStringLiteral("الكود"), All, true, true).ids, QList<qint32>{2});
        testing::library().close();
        QVERIFY(!testing::readFile(path).contains("SearchPending")); // nothing was written

        // Indexed, then changed by another program and opened read-only: the change cannot be
        // folded in, so the changed row is judged as it is now.
        reopen(path);
        QCOMPARE(indexed("mike"), QList<qint32>{1});
        foreignExec(path, QStringLiteral("UPDATE Code SET code = 'november' WHERE id = 1"));
        reopen(path, true);
        QCOMPARE(indexed("november"), QList<qint32>{1});
        QVERIFY(indexed("mike").isEmpty());
        testing::library().close();
    }

    void aBulkChangeIsFoundBeforeItIsFoldedIn()
    {
        SQLITE_ONLY();
        testing::TempLibrary lib;
        const qint32 g = lib.addCategory("g");
        const qint32 old = lib.addSnippet("old", g, "Dim oscar");
        const auto state = [] {
            QSqlQuery q(testing::library().connection().database());
            q.exec(QStringLiteral("SELECT (SELECT count(*) FROM SearchPending), sampled FROM SearchIndexState"));
            q.next();
            return std::pair{q.value(0).toLongLong(), q.value(1).toLongLong()};
        };
        // One write of many rows, as a package makes, that changes an indexed row as well.
        testing::library().transaction([&] {
            lib.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
                     "INSERT INTO Code (Head, Groub, code) SELECT 'bulk ' || i, ?, "
                     "CASE WHEN i % 100 = 0 THEN 'Call papa' ELSE 'x' END FROM n",
                     {g});
            lib.exec("UPDATE Code SET code = 'quebec' WHERE id = ?", {old});
        });
        const auto [pending, sampled] = state();
        QVERIFY(pending > 0); // left to the background steps
        const auto answersHold = [&] {
            QCOMPARE(indexed("papa").size(), 12);
            QCOMPARE(indexed("papa"), find("papa", All, true, false).ids);
            QCOMPARE(indexed("quebec"), QList<qint32>{old});
            QVERIFY(indexed("oscar").isEmpty());
        };
        answersHold();
        // Opened again with the change still pending: the index is still taken as whole.
        testing::library().close();
        testing::library().open(lib.path());
        QCOMPARE(state(), std::pair(pending, sampled));
        answersHold();
        QVERIFY(testing::library().searchIndex().hasWork());
        while (testing::library().searchIndex().buildStep(1)) { }
        QVERIFY(!testing::library().searchIndex().hasWork());
        QCOMPARE(state(), std::pair(qint64(0), sampled));
        answersHold();
        testing::library().close();
        testing::library().open(lib.path());
        QCOMPARE(state().second, sampled);
    }
};

TAMRISK_TEST_MAIN(TestSearchIndex)
#include "tst_searchindex.moc"
