// Each snippet's language, on both engines (the PostgreSQL run makes team libraries).
#include "TestSupport.h"

#include "store/Database.h"
#include "store/Library.h"

using namespace store;

class TestLanguages : public QObject
{
    Q_OBJECT

    static QStringList dropTable()
    {
        if (testing::onPostgres())
            return {QStringLiteral("DROP TRIGGER code_language ON code"),
                    QStringLiteral("DROP TRIGGER code_language_truncate ON code"),
                    QStringLiteral("DROP TABLE snippetlanguage")};
        return {QStringLiteral("DROP TRIGGER SnippetLanguageDelete"), QStringLiteral("DROP TABLE SnippetLanguage")};
    }

private slots:
    void aLanguageIsKeptAsGivenAndVisualBasicHasNoRow()
    {
        testing::TempLibrary lib;
        Library &library = testing::library();
        const qint32 category = lib.addCategory("c");
        const qint32 a = lib.addSnippet("a", category);
        const qint32 b = lib.addSnippet("b", category);
        const qint32 c = lib.addSnippet("c", category);
        QCOMPARE(library.snippetLanguage(a), QStringLiteral("Visual Basic"));
        library.setSnippetLanguage(a, QStringLiteral("Python"));
        library.setSnippetLanguage(b, QStringLiteral("Fortran 77")); // unknown: kept, never rewritten
        library.setSnippetLanguage(c, QStringLiteral("C#"));
        library.setSnippetLanguage(c, QStringLiteral("Visual Basic"));
        QCOMPARE(library.snippetLanguage(a), QStringLiteral("Python"));
        QCOMPARE(library.snippetLanguage(b), QStringLiteral("Fortran 77"));
        QCOMPARE(library.snippetLanguage(c), QStringLiteral("Visual Basic"));
        const QHash<qint32, QString> all = library.snippetLanguages();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.value(b), QStringLiteral("Fortran 77"));

        // Set with its add in one transaction: a failed add leaves no language behind.
        QVERIFY(!testing::errorOf([&] {
                     library.transaction([&] {
                         const qint32 d = lib.addSnippet("d", category);
                         library.setSnippetLanguage(d, QStringLiteral("Go"));
                         throw StoreError(QStringLiteral("stop"));
                     });
                 }).isEmpty());
        QCOMPARE(library.snippetLanguages().size(), 2);
    }

    // The row goes with its snippet: deleted here, with its category, or by another program.
    void theRowGoesWithItsSnippet()
    {
        testing::TempLibrary lib;
        Library &library = testing::library();
        const qint32 one = lib.addCategory("one");
        const qint32 two = lib.addCategory("two");
        const qint32 a = lib.addSnippet("a", one);
        const qint32 b = lib.addSnippet("b", two);
        const qint32 c = lib.addSnippet("c", one);
        const qint32 d = lib.addSnippet("d", one);
        for (qint32 id : {a, b, c, d})
            library.setSnippetLanguage(id, QStringLiteral("Rust"));

        QVERIFY(library.deleteSnippet(a));
        QVERIFY(library.deleteCategory(two));
        QCOMPARE(library.snippetLanguages().keys().size(), 2);

        // Another connection, plain SQL, not through this program's store.
        Library other;
        other.open(library.path());
        other.database().exec(QStringLiteral("DELETE FROM Code WHERE id = %1").arg(c));
        other.close();
        QCOMPARE(library.snippetLanguages().keys(), QList<qint32>{d});
        // Ids are never reused, but a row left behind would colour a later snippet: none is left.
        const qint32 e = lib.addSnippet("e", one);
        QCOMPARE(library.snippetLanguage(e), QStringLiteral("Visual Basic"));
    }

    // A library from before languages: read-only it reads all Visual Basic, writable it gets
    // the table (and loses rows a program deleted meanwhile).
    void aLibraryWithoutTheTableBehavesAsBefore()
    {
        testing::TempLibrary lib;
        Library &library = testing::library();
        const qint32 category = lib.addCategory("c");
        const qint32 a = lib.addSnippet("a", category);
        for (const QString &sql : dropTable())
            lib.exec(sql);
        const QString path = library.path();
        library.close();

        library.open(path, true);
        QVERIFY(library.isReadOnly());
        QCOMPARE(library.snippetLanguage(a), QStringLiteral("Visual Basic"));
        QVERIFY(library.snippetLanguages().isEmpty());
        QCOMPARE(library.snippet(a)->head.toString(), QStringLiteral("a"));
        library.close();

        library.open(path);
        QVERIFY(!library.isReadOnly());
        library.setSnippetLanguage(a, QStringLiteral("SQL"));
        QCOMPARE(library.snippetLanguage(a), QStringLiteral("SQL"));
        QVERIFY(library.deleteSnippet(a));
        QVERIFY(library.snippetLanguages().isEmpty());
    }
};

TAMRISK_TEST_MAIN(TestLanguages)
#include "tst_languages.moc"
