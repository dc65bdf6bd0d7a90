// Taking items into a library: what the preview tells, the rows written, duplicates, failures.
// Runs on a library file and, as test_importapply_pg, on a team library.
#include "TestSupport.h"

#include "importing/core/Apply.h"
#include "importing/core/DuplicateKey.h"
#include "importing/core/ImportError.h"
#include "store/Backup.h"
#include "store/Library.h"

using namespace importing::core;

namespace {

ImportItem item(const QString &category, const QString &title, const QString &code, const QString &comment = {},
                bool user = true)
{
    ImportItem i;
    i.category = category;
    i.title = title;
    i.code = code;
    i.comment = comment;
    i.user = user;
    i.origin = QStringLiteral("src/") + title;
    return i;
}

Source itemsSource(const QList<ImportItem> &items, const QList<SkippedItem> &skips = {})
{
    return [items, skips](ItemSink &sink) {
        for (const SkippedItem &s : skips)
            sink.skipped(s);
        for (const ImportItem &i : items)
            sink.item(i);
    };
}

// Every snippet as "category|title|code|comment|user", in id order.
QStringList rows()
{
    QHash<qint32, QString> names;
    for (const store::Category &c : testing::library().categories())
        names.insert(c.id, c.caption.toString());
    QStringList result;
    for (const store::Snippet &s : testing::library().allSnippets())
        result.append(QStringList{names.value(s.groub.toInt()), s.head.toString(), s.code.toString(),
                                  s.learn.isNull() ? QStringLiteral("<null>") : s.learn.toString(),
                                  store::isTrue(s.user) ? QStringLiteral("user") : QStringLiteral("-")}
                          .join(QLatin1Char('|')));
    return result;
}

const QString Tools = QStringLiteral("أدوات");
const QString Web = QStringLiteral("ويب/HTML");

// Arabic and Latin, a nested category, an empty comment, a duplicate of the library's and one of
// the import's own, and the invalid ones.
QList<ImportItem> sample()
{
    return {
        item(Tools, QStringLiteral("  نسخ ملف "), QStringLiteral("FileCopy a, b\r\n"), QString()),
        item(Tools, QStringLiteral("Open"), QStringLiteral("Open f\n"), QStringLiteral("same as the library's")),
        item(Web, QStringLiteral("Link"), QStringLiteral("<a href=x>رابط</a>"), QStringLiteral("تعليق")),
        item(Web, QStringLiteral("Link "), QStringLiteral("<a href=x>رابط</a>\r\n"), QStringLiteral("again")),
        item(Web, QStringLiteral("Exported"), QStringLiteral("x = 1"), QStringLiteral("not mine"), false),
        item(Web, QStringLiteral("   "), QStringLiteral("no title")),
        item(Web, QString(101, QLatin1Char('t')), QStringLiteral("long title")),
        item(Web, QStringLiteral("Empty"), QStringLiteral(" \n ")),
        item(QStringLiteral("  "), QStringLiteral("No category"), QStringLiteral("y")),
    };
}

} // namespace

class TestImportApply : public QObject
{
    Q_OBJECT
private slots:
    void duplicateKeyUnifiesLineEndsAndTrims()
    {
        QCOMPARE(duplicateKey(QStringLiteral(" a "), QStringLiteral("x\r\ny\rz\n")), QStringLiteral("a\nx\ny\nz"));
        QVERIFY(duplicateKey("a", "x y") != duplicateKey("a", "x  y"));
        QVERIFY(duplicateKey("a", "x") != duplicateKey("b", "x"));
    }

    void previewTellsWhatApplyDoes()
    {
        testing::TempLibrary lib;
        const qint32 tools = lib.addCategory(Tools);
        lib.addSnippet("Open", tools, "Open f", "", false);
        const QStringList before = rows();
        const QList<SkippedItem> readerSkips{{QStringLiteral("bin/a.exe"), QStringLiteral("ليس ملفاً نصياً")}};

        const ImportPreview p = previewImport(testing::library(), itemsSource(sample(), readerSkips),
                                              DuplicateChoice::Skip);
        QCOMPARE(rows(), before);
        QCOMPARE(p.categories.size(), 2);
        QCOMPARE(p.categories[0].name, Tools);
        QVERIFY(!p.categories[0].isNew);
        QCOMPARE(p.categories[0].items, 2);
        QCOMPARE(p.categories[0].duplicates, 1);
        QCOMPARE(p.categories[1].name, Web);
        QVERIFY(p.categories[1].isNew);
        QCOMPARE(p.categories[1].items, 3);
        QCOMPARE(p.categories[1].duplicates, 1);
        QCOMPARE(p.items, 5);
        QCOMPARE(p.duplicates, 2);
        QCOMPARE(p.duplicatesInLibrary, 1);
        QCOMPARE(p.toAdd, 3);
        QCOMPARE(p.toReplace, 0);
        QCOMPARE(p.skippedCount, 5);
        QCOMPARE(p.skipped[0].origin, QStringLiteral("bin/a.exe"));
        QCOMPARE(p.skipped[1].origin, QStringLiteral("src/   "));
        QCOMPARE(p.skipped[1].reason, QStringLiteral("لا عنوان له"));
        QCOMPARE(p.skipped[2].reason, QStringLiteral("العنوان أطول من 100 حرفاً"));
        QCOMPARE(p.skipped[3].reason, QStringLiteral("لا كود فيه"));
        QCOMPARE(p.skipped[4].reason, QStringLiteral("لا فئة له"));

        const ImportResult r = applyImport(testing::library(), itemsSource(sample(), readerSkips), DuplicateChoice::Skip);
        QCOMPARE(r.added, p.toAdd);
        QCOMPARE(r.duplicatesSkipped, 2);
        QCOMPARE(r.skipped, 5);
        QCOMPARE(r.newCategories, QStringList{Web});
        QCOMPARE(r.backup.isEmpty(), testing::onPostgres());
        QCOMPARE(rows(), QStringList({
                             Tools + "|Open|Open f||-",
                             Tools + QStringLiteral("|نسخ ملف|FileCopy a, b\r\n||user"),
                             Web + QStringLiteral("|Link|<a href=x>رابط</a>|تعليق|user"),
                             Web + "|Exported|x = 1|not mine|-",
                         }));

        // The same source again, with the default choice: nothing more.
        const QStringList once = rows();
        const ImportPreview again = previewImport(testing::library(), itemsSource(sample()), DuplicateChoice::Skip);
        QCOMPARE(again.toAdd, 0);
        QCOMPARE(again.duplicates, 5);
        QCOMPARE(again.duplicatesInLibrary, 5);
        QCOMPARE(applyImport(testing::library(), itemsSource(sample()), DuplicateChoice::Skip).added, 0);
        QCOMPARE(rows(), once);
    }

    void keepBothAndReplace()
    {
        testing::TempLibrary lib;
        const qint32 tools = lib.addCategory(Tools);
        lib.addSnippet("Open", tools, "Open f", "old", false);
        const QList<ImportItem> items{item(Tools, "Open", "Open f\r\n", QStringLiteral("جديد")),
                                      item(Tools, "Open", "Open f", "newer")};

        QCOMPARE(previewImport(testing::library(), itemsSource(items), DuplicateChoice::KeepBoth).toAdd, 2);
        QCOMPARE(applyImport(testing::library(), itemsSource(items), DuplicateChoice::KeepBoth).added, 2);
        QCOMPARE(rows(), QStringList({Tools + "|Open|Open f|old|-", Tools + QStringLiteral("|Open|Open f\r\n|جديد|user"),
                                      Tools + "|Open|Open f|newer|user"}));

    }

    void replaceEditsTheLibrarysCopy()
    {
        testing::TempLibrary lib;
        const qint32 tools = lib.addCategory(Tools);
        const qint32 id = lib.addSnippet("Open", tools, "Open f", "old", false);
        const QList<ImportItem> items{item(Tools, "Open", "Open f\r\n", QStringLiteral("جديد")),
                                      item(Tools, "Open", "Open f", "newer")};
        const ImportPreview p = previewImport(testing::library(), itemsSource(items), DuplicateChoice::Replace);
        QCOMPARE(p.toAdd, 0);
        QCOMPARE(p.toReplace, 2);
        const ImportResult r = applyImport(testing::library(), itemsSource(items), DuplicateChoice::Replace);
        QCOMPARE(r.added, 0);
        QCOMPARE(r.replaced, 2);
        // An edit of the one snippet there: same row, same flag, the last item's texts.
        QCOMPARE(rows(), QStringList({Tools + "|Open|Open f|newer|-"}));
        QCOMPARE(testing::library().allSnippets().first().id, id);
    }

    void failurePartWayLeavesTheLibraryAsItWas()
    {
        testing::TempLibrary lib;
        const qint32 tools = lib.addCategory(Tools);
        lib.addSnippet("Open", tools, "Open f", "", false);
        const QStringList before = rows();
        QByteArray bytes;
        if (!testing::onPostgres()) {
            testing::library().close();
            bytes = testing::readFile(lib.path());
            testing::library().open(lib.path());
        }
        const Source failing = [](ItemSink &sink) {
            sink.item(item(Tools, QStringLiteral("جديد"), "a"));
            sink.item(item(QStringLiteral("فئة جديدة"), "b", "b"));
            throw ImportError(QStringLiteral("الملف bad.json: السطر 3: قوس ناقص"));
        };
        QCOMPARE(testing::errorOf([&] { applyImport(testing::library(), failing, DuplicateChoice::Skip); }),
                 QStringLiteral("الملف bad.json: السطر 3: قوس ناقص"));
        QCOMPARE(rows(), before);
        QCOMPARE(testing::categoryNames(), QStringList{Tools});
        if (!testing::onPostgres()) {
            testing::library().close();
            QCOMPARE(testing::readFile(lib.path()), bytes);
        }
    }

    void readOnlyLibraryIsRefusedBeforeTheBackup()
    {
        testing::TempLibrary lib;
        if (testing::onPostgres())
            return; // a role that may only read is the team library's read-only case; tested in the store
        testing::library().close();
        testing::library().open(lib.path(), true);
        QVERIFY(!testing::errorOf([&] {
                     applyImport(testing::library(), itemsSource(sample()), DuplicateChoice::Skip);
                 }).isEmpty());
        QVERIFY(store::backupsOf(lib.path()).isEmpty());
    }
};

TAMRISK_TEST_MAIN(TestImportApply)
#include "tst_importapply.moc"
