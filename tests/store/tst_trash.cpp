// The trash and the history of the store, on the file and (TAMRISK_TEST_ENGINE=postgres) on a
// team library.
#include "TestSupport.h"

#include "store/Library.h"

#include <QSqlQuery>

using namespace store;

namespace {

Library &library() { return testing::library(); }

QString languageOf(qint32 id) { return library().snippetLanguage(id); }

void compareRows(const Snippet &a, const Snippet &b)
{
    QCOMPARE(a.id, b.id);
    QCOMPARE(a.head, b.head);
    QCOMPARE(a.groub, b.groub);
    QCOMPARE(a.code, b.code);
    QCOMPARE(a.learn, b.learn);
    QCOMPARE(a.user.isNull(), b.user.isNull());
    QCOMPARE(isTrue(a.user), isTrue(b.user));
}

// Text no edit dialog would leave as it is: spaces at both ends, both line ends, tabs, Arabic.
const QString kCode = QStringLiteral("  Sub Main()\r\n\tMsgBox \"سلام\"\nEnd Sub  \r\n");

} // namespace

class TestTrash : public QObject
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }

    void deleteThenRestoreGivesTheSnippetBack()
    {
        testing::TempLibrary lib;
        const qint32 category = lib.addCategory(QStringLiteral("أدوات"));
        const qint32 other = lib.addSnippet(QStringLiteral("باقٍ"), category);
        const qint32 id = lib.addSnippet(QStringLiteral(" عنوان "), category, kCode, QVariant(), QVariant());
        library().setSnippetLanguage(id, QStringLiteral("Python"));
        library().updateSnippet({id, QStringLiteral("عنوان ثان"), category, QStringLiteral("x"), QVariant(), {}});
        const Snippet before = *library().snippet(id);
        QCOMPARE(library().snippetHistory(id).size(), 1);

        QVERIFY(library().deleteSnippet(id));
        QCOMPARE(library().snippetLanguages().size(), 0); // the language went with its snippet
        QVERIFY(!library().snippet(id));
        const QList<TrashItem> items = library().trashItems();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].id, id);
        QCOMPARE(items[0].caption.toString(), QStringLiteral("أدوات"));
        QCOMPARE(items[0].language, QStringLiteral("Python"));
        QVERIFY(qAbs(items[0].deleted.secsTo(QDateTime::currentDateTimeUtc())) < 60);

        QCOMPARE(library().restoreFromTrash(items[0].trashId), std::optional<qint32>(id));
        compareRows(*library().snippet(id), before);
        QCOMPARE(languageOf(id), QStringLiteral("Python"));
        QCOMPARE(library().snippetHistory(id).size(), 1); // its history came back with it
        QVERIFY(library().trashItems().isEmpty());
        QCOMPARE(library().snippetCount(), 2);
        QVERIFY(library().snippet(other));
        QVERIFY(!library().restoreFromTrash(items[0].trashId));

        // Deleted for good, its history goes too.
        QVERIFY(library().deleteSnippet(id));
        QCOMPARE(library().emptyTrash(), 1);
        QVERIFY(library().trashItems().isEmpty());
        QVERIFY(library().snippetHistory(id).isEmpty());
    }

    void aDeletedCategoryIsMadeAgainByRestoring()
    {
        testing::TempLibrary lib;
        const qint32 keep = lib.addCategory(QStringLiteral("تبقى"));
        const qint32 category = lib.addCategory(QStringLiteral("تذهب"));
        const qint32 a = lib.addSnippet(QStringLiteral("أ"), category, QStringLiteral("a"), QStringLiteral("ta"), true);
        const qint32 b = lib.addSnippet(QStringLiteral("ب"), category, QStringLiteral("b"), QStringLiteral("tb"),
                                        false);
        lib.addSnippet(QStringLiteral("ج"), keep);
        const Snippet rowA = *library().snippet(a), rowB = *library().snippet(b);

        QVERIFY(library().deleteCategory(category));
        QCOMPARE(testing::categoryNames(), QStringList{QStringLiteral("تبقى")});
        const QList<TrashItem> items = library().trashItems();
        QCOMPARE(items.size(), 2);
        for (const TrashItem &item : items)
            QCOMPARE(item.caption.toString(), QStringLiteral("تذهب"));

        for (const TrashItem &item : items)
            QVERIFY(library().restoreFromTrash(item.trashId));
        // One category made again, with its old id, holding both.
        QCOMPARE(testing::categoryNames(), (QStringList{QStringLiteral("تبقى"), QStringLiteral("تذهب")}));
        compareRows(*library().snippet(a), rowA);
        compareRows(*library().snippet(b), rowB);
        QCOMPARE(library().snippet(a)->groub.toInt(), category);

        // Renamed meanwhile: the snippet goes to a category of its old name, made anew.
        QVERIFY(library().deleteSnippet(a));
        QVERIFY(library().renameCategory(category, QStringLiteral("اسم آخر")));
        const qint32 again = *library().restoreFromTrash(library().trashItems().first().trashId);
        QCOMPARE(again, a);
        const qint32 made = library().snippet(a)->groub.toInt();
        QVERIFY(made != category && made != keep);
        QCOMPARE(testing::categoryNames().last(), QStringLiteral("تذهب"));
    }

    void anEditIsUndoneFromTheHistory()
    {
        testing::TempLibrary lib;
        const qint32 category = lib.addCategory(QStringLiteral("c"));
        const qint32 id = lib.addSnippet(QStringLiteral("أصل"), category, kCode, QStringLiteral(" تعليق\r\n"), true);
        library().setSnippetLanguage(id, QStringLiteral("Go"));
        const Snippet original = *library().snippet(id);

        // The edit dialog's save, a rename in the tree, an import that replaces.
        Snippet edited = original;
        edited.code = QStringLiteral("changed");
        QCOMPARE(library().updateSnippetIfUnchanged(original, edited), Library::CheckedUpdate::Updated);
        library().setSnippetLanguage(id, QStringLiteral("Rust"));
        QVERIFY(library().renameSnippet(id, QStringLiteral("جديد")));
        QVERIFY(library().updateSnippet({id, QStringLiteral("جديد"), category, QStringLiteral("third"), {}, {}}));
        // Writing what is there already changes nothing and keeps nothing.
        QVERIFY(library().renameSnippet(id, QStringLiteral("جديد")));
        const QList<SnippetVersion> history = library().snippetHistory(id);
        QCOMPARE(history.size(), 3);
        QCOMPARE(history[0].code.toString(), QStringLiteral("changed"));
        QCOMPARE(history[0].language, QStringLiteral("Rust"));
        QCOMPARE(history[2].code, original.code);
        QCOMPARE(history[2].language, QStringLiteral("Go"));

        // A restore checked against what an editor loaded refuses once the row moved on.
        QCOMPARE(library().restoreVersion(history[2].versionId, &original), Library::CheckedUpdate::ChangedElsewhere);
        const Snippet current = *library().snippet(id);
        QCOMPARE(library().restoreVersion(history[2].versionId, &current), Library::CheckedUpdate::Updated);
        compareRows(*library().snippet(id), original);
        QCOMPARE(languageOf(id), QStringLiteral("Go"));
        // The restore was an edit: what it replaced is the newest version.
        const QList<SnippetVersion> after = library().snippetHistory(id);
        QCOMPARE(after.size(), 4);
        QCOMPARE(after[0].code.toString(), QStringLiteral("third"));
        QCOMPARE(after[0].language, QStringLiteral("Rust"));
    }

    void onlyTheLastTwentyVersionsAreKept()
    {
        testing::TempLibrary lib;
        const qint32 category = lib.addCategory(QStringLiteral("c"));
        const qint32 id = lib.addSnippet(QStringLiteral("v0"), category);
        const qint32 other = lib.addSnippet(QStringLiteral("w0"), category);
        QVERIFY(library().renameSnippet(other, QStringLiteral("w1")));
        for (int i = 1; i <= 25; ++i) {
            // A rename and a whole edit each keep a version, and each trims.
            Snippet s = *library().snippet(id);
            s.head = QStringLiteral("v%1").arg(i);
            QVERIFY(i % 2 ? library().updateSnippet(s) : library().renameSnippet(id, s.head));
        }
        const QList<SnippetVersion> history = library().snippetHistory(id);
        QCOMPARE(history.size(), Library::HistoryLength);
        QCOMPARE(history.first().head.toString(), QStringLiteral("v24"));
        QCOMPARE(history.last().head.toString(), QStringLiteral("v5"));
        QCOMPARE(library().snippetHistory(other).size(), 1);
    }

    void itemsOlderThanThirtyDaysGoWhenTheLibraryOpens()
    {
        testing::TempLibrary lib;
        const qint32 category = lib.addCategory(QStringLiteral("c"));
        const qint32 old = lib.addSnippet(QStringLiteral("قديم"), category);
        const qint32 recent = lib.addSnippet(QStringLiteral("حديث"), category);
        QVERIFY(library().deleteSnippet(old));
        QVERIFY(library().deleteSnippet(recent));
        const qint64 days31 = QDateTime::currentMSecsSinceEpoch() - 31LL * 24 * 3600 * 1000;
        const qint64 days29 = QDateTime::currentMSecsSinceEpoch() - 29LL * 24 * 3600 * 1000;
        lib.exec(QStringLiteral("UPDATE Trash SET Deleted = ? WHERE id = ?"), {days31, old});
        lib.exec(QStringLiteral("UPDATE Trash SET Deleted = ? WHERE id = ?"), {days29, recent});

        // Read-only, nothing is written: both are still listed.
        library().open(lib.path(), true);
        QCOMPARE(library().trashItems().size(), 2);
        QCOMPARE(testing::errorOf([&] { library().emptyTrash(); }), readOnlyLibraryMessage(library().engine()));
        QCOMPARE(testing::errorOf([&] { library().restoreFromTrash(library().trashItems().first().trashId); }),
                 readOnlyLibraryMessage(library().engine()));

        library().open(lib.path());
        const QList<TrashItem> items = library().trashItems();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items[0].id, recent);
    }
};

TAMRISK_TEST_MAIN(TestTrash)
#include "tst_trash.moc"
