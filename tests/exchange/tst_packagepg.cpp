// Packages made from and applied to a team library: the package stays a SQLite file.
#include "TestSupport.h"

#include "PackageFiles.h"
#include "exchange/Package.h"
#include "store/Library.h"

#include <QDir>

using namespace exchange;
using testing::categoryNames;
using testing::null;

class TestPackagePg : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(testing::onPostgres()); }

    void roundTripBetweenTeamLibraries()
    {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath("team.cup");
        {
            testing::TempLibrary a;
            QCOMPARE(testing::library().engine(), store::Engine::Postgres);
            const qint32 ui = a.addCategory(QStringLiteral("واجهات"));
            const qint32 files = a.addCategory("Files");
            a.addSnippet("plain", ui, "x", "y", false);
            a.addSnippet(QStringLiteral("نافذة"), ui, "Form1.Show", QString(), true);
            const qint32 open = a.addSnippet("Open file", files, "Open f", "opens", true);
            const qint32 none = a.addSnippet("no category", QVariant(), "z", "w", true);
            testing::library().setSnippetLanguage(open, QStringLiteral("C#"));
            testing::library().setSnippetLanguage(none, QStringLiteral("Fortran 77"));
            QCOMPARE(createPackage(testing::library(), path, "Sami", QString(), "n"),
                     QStringList({QStringLiteral("نافذة"), "Open file", "no category"}));
            QVERIFY(testing::library().isOpen());
            QCOMPARE(testing::library().path(), a.path());

            testing::SqlFile f(path);
            const auto rows = f.rows("SELECT Head, Code, Learn, Groub, GroubNam FROM Code ORDER BY rowid");
            QCOMPARE(rows.size(), 3);
            QVERIFY(rows[0][2].isNull()); // empty comment: Null
            QCOMPARE(rows[0][3].toInt(), ui);
            QCOMPARE(rows[0][4].toString(), QStringLiteral("واجهات"));
            QCOMPARE(rows[1][4].toString(), QStringLiteral("Files"));
            QVERIFY(rows[2][3].isNull());
            QVERIFY(rows[2][4].isNull());
            QCOMPARE(f.rows("SELECT Name, Date, Notes FROM User"), QList<QVariantList>({{"Sami", null(), "n"}}));
            QCOMPARE(f.rows("SELECT id, Language FROM SnippetLanguage ORDER BY id"),
                     QList<QVariantList>({{2, "C#"}, {3, "Fortran 77"}}));
        }
        testing::TempLibrary b;
        b.addCategory("files"); // another name: only the exact name matches
        b.addCategory(QStringLiteral("واجهات"));
        const PackageFile package(path);
        const ApplyPreview preview = previewApply(testing::library(), package);
        QCOMPARE(preview.snippets, 3);
        QCOMPARE(applyPackage(testing::library(), package), 3);
        QCOMPARE(categoryNames().mid(0, 3), QStringList({"files", QStringLiteral("واجهات"), "Files"}));
        QCOMPARE(QStringList(categoryNames().mid(2)), preview.newCategories);
        const QList<store::Snippet> snippets = testing::library().allSnippets();
        QCOMPARE(snippets.size(), 3);
        QCOMPARE(snippets[0].head.toString(), QStringLiteral("نافذة"));
        QVERIFY(snippets[0].learn.isNull());
        QVERIFY(!store::isTrue(snippets[0].user)); // they arrive unmarked
        QCOMPARE(testing::library().snippetLanguage(snippets[0].id), QStringLiteral("Visual Basic"));
        QCOMPARE(testing::library().snippetLanguage(snippets[1].id), QStringLiteral("C#"));
        QCOMPARE(testing::library().snippetLanguage(snippets[2].id), QStringLiteral("Fortran 77"));

        // All three are in now: skipping duplicates, a second apply adds none.
        QCOMPARE(previewApply(testing::library(), package).duplicates, 3);
        QCOMPARE(applyPackage(testing::library(), package, {}, true), 0);
        QCOMPARE(testing::library().snippetCount(), 3);
    }

    void aFailurePartWayAddsNothing()
    {
        testing::TempLibrary lib;
        lib.addSnippet("old", lib.addCategory("Old"), "x", "y", false);
        // The library refuses the last snippet, after statements of many rows went in.
        lib.exec("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                 "$$ BEGIN IF NEW.Head = 'boom' THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$");
        lib.exec("CREATE TRIGGER refuse BEFORE INSERT ON Code FOR EACH ROW EXECUTE FUNCTION refuse()");
        Package p;
        for (int i = 0; i < 1200; ++i)
            p.rows.append({QStringLiteral("fine %1").arg(i), "x", null(), 1, QStringLiteral("New %1").arg(i % 7)});
        p.rows.append({"boom", "x", null(), 1, "Old"});
        QVERIFY_THROWS_EXCEPTION(store::StoreError, applyPackage(testing::library(), p));
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(categoryNames(), QStringList{"Old"});
    }
};

QTEST_GUILESS_MAIN(TestPackagePg)
#include "tst_packagepg.moc"
