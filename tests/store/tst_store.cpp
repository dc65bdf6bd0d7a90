#include "TestSupport.h"

#include "store/Library.h"
#include "store/NodeKey.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSqlQuery>

using namespace store;

class TestStore : public QObject
{
    Q_OBJECT
private slots:
    void generatedIdsAreUniqueAndNeverReused()
    {
        testing::TempLibrary lib;
        const qint32 a = testing::library().addCategory(QStringLiteral("أ"));
        const qint32 b = testing::library().addCategory(QStringLiteral("ب"));
        QVERIFY(a > 0);
        QVERIFY(b > a);
        const qint32 s1 = lib.addSnippet("one", a);
        QVERIFY(testing::library().deleteSnippet(s1));
        const qint32 s2 = lib.addSnippet("two", a);
        QVERIFY(s2 > s1);
        QVERIFY(testing::library().deleteCategory(b));
        QVERIFY(testing::library().addCategory(QStringLiteral("ج")) > b);
    }

    void deletingACategoryRemovesItsSnippets()
    {
        testing::TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        const qint32 b = lib.addCategory("b");
        lib.addSnippet("a1", a);
        lib.addSnippet("a2", a);
        lib.addSnippet("b1", b);
        QCOMPARE(testing::library().snippetCount(), 3);
        QVERIFY(testing::library().deleteCategory(a));
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(testing::library().snippetSummaries().first().head.toString(), QStringLiteral("b1"));
        QVERIFY(!testing::library().deleteCategory(a));
    }

    void tableAndFieldNamesIgnoreCase()
    {
        testing::TempLibrary lib;
        lib.addSnippet("x", lib.addCategory("c"));
        QSqlQuery q(testing::library().connection().database());
        // Bracketed names are SQLite's; PostgreSQL folds unquoted names, and quotes the flag.
        const bool pg = testing::onPostgres();
        QVERIFY(q.exec(pg ? "SELECT count(*) FROM code" : "SELECT count(*) FROM [code]"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QVERIFY(q.exec(pg ? "SELECT HEAD, groub, CODE, learn, \"User\" FROM Code"
                          : "SELECT HEAD, groub, CODE, learn, user FROM [Code]"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("x"));
        QCOMPARE(*testing::library().snippetField(1, QStringLiteral("HEAD")), QVariant(QStringLiteral("x")));
    }

    void keysFindRowsByNumber()
    {
        QCOMPARE(nodeId(QStringLiteral("T42")), 42);
        QCOMPARE(nodeId(QStringLiteral("K7")), 7);
        QCOMPARE(nodeId(QStringLiteral("M1")), 1);
        QCOMPARE(nodeKind(QStringLiteral("T42")), NodeKind::Snippet);
        QCOMPARE(nodeKind(QStringLiteral("K1")), NodeKind::Category);
        QCOMPARE(nodeKind(QStringLiteral("M1")), NodeKind::Root);
        testing::TempLibrary lib;
        const qint32 c = lib.addCategory("c");
        for (int i = 1; i < 42; ++i)
            lib.addSnippet(QString::number(i), c);
        QCOMPARE(lib.addSnippet("answer", c, "x = 42"), 42);
        const auto row = testing::library().snippet(nodeId(snippetKey(42)));
        QVERIFY(row.has_value());
        QCOMPARE(row->head.toString(), QStringLiteral("answer"));
        QVERIFY(!testing::library().snippet(4200).has_value());
    }

    void nullFieldsStayNull()
    {
        testing::TempLibrary lib;
        lib.exec("INSERT INTO Code (Head, Groub, code, Learn, \"User\") VALUES ('n', 1, 'c', NULL, NULL)");
        const auto row = testing::library().snippet(1);
        QVERIFY(row->learn.isNull());
        QVERIFY(row->user.isNull());
        QVERIFY(!isTrue(row->user));
        QCOMPARE(testing::library().clearUserMarks(), 0);
        QVERIFY(testing::library().snippet(1)->user.isNull());
    }

    void failedTransactionLeavesNothing()
    {
        testing::TempLibrary lib;
        const qint32 c = lib.addCategory("c");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, testing::library().transaction([&] {
            lib.addSnippet("first", c);
            throw std::runtime_error("stop");
        }));
        QCOMPARE(testing::library().snippetCount(), 0);
    }

    // The personal file beside the library the run is on (a team library on the PostgreSQL run):
    // a snippet copied from one to the other through the store, each announcing only its own
    // writes, and an inner write undone alone when the outer one goes on.
    void twoLibrariesOpenSideBySide()
    {
        testing::TempLibrary lib;
        const qint32 source = lib.addCategory(QStringLiteral("مصدر"));
        const qint32 id = lib.addSnippet(QStringLiteral("Sub Main"), source, QStringLiteral("MsgBox \"سلام\""),
                                         QStringLiteral("تعليق"), true);
        QTemporaryDir dir;
        Library personal;
        personal.create(dir.filePath(QStringLiteral("codedb.mdb")), false);
        QSignalSpy personalChanged(&personal, &Library::changed);
        QSignalSpy sourceChanged(&testing::library(), &Library::changed);

        const Snippet original = *testing::library().snippet(id);
        qint32 copied = 0;
        personal.transaction([&] {
            Snippet copy = original;
            copy.groub = personal.addCategory(testing::library().categories().constFirst().caption);
            copied = personal.addSnippet(copy);
            try {
                personal.transaction([&] {
                    personal.addCategory(QStringLiteral("undone"));
                    throw StoreError(QStringLiteral("stop"));
                });
            } catch (const StoreError &) { }
        });
        QCOMPARE(personalChanged.count(), 1);
        QCOMPARE(sourceChanged.count(), 0);

        const QString path = personal.path();
        personal.close();
        QVERIFY(testing::library().isOpen());
        personal.open(path, true);
        QCOMPARE(personal.categoryCount(), 1);
        const Snippet copy = *personal.snippet(copied);
        QCOMPARE(copy.head, original.head);
        QCOMPARE(copy.code.toString(), QStringLiteral("MsgBox \"سلام\""));
        QCOMPARE(copy.learn, original.learn);
        QVERIFY(isTrue(copy.user));
        QCOMPARE(testing::library().snippetCount(), 1);
    }

    // A second object on the same file is another connection: what one writes, the other's
    // watcher finds and announces.
    void aWatchingLibraryAnnouncesWhatAnotherWrote()
    {
        if (testing::onPostgres())
            return; // the team library's notifications have their own tests
        testing::TempLibrary lib;
        Library other;
        other.open(lib.path());
        other.startWatching();
        QSignalSpy elsewhere(&other, &Library::changedElsewhere);
        QSignalSpy changed(&other, &Library::changed);
        lib.addCategory(QStringLiteral("c"));
        QTRY_COMPARE(elsewhere.count(), 1);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(other.categoryCount(), 1);
        other.addCategory(QStringLiteral("d")); // told at once, as its own
        QCOMPARE(changed.count(), 2);
        QCOMPARE(elsewhere.count(), 1);
    }

    void killDuringWriteLeavesReadableLibrary()
    {
        testing::TempLibrary lib;
        const qint32 c = lib.addCategory("c");
        lib.addSnippet("kept", c);
        const QString path = lib.path();
        testing::library().close();
        // A child writes many rows in one transaction and is killed before it commits.
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--write-forever"), path});
        child.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        child.start();
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("writing"));
        child.kill();
        QVERIFY(child.waitForFinished());
        testing::library().open(path);
        if (!testing::onPostgres()) {
            QSqlQuery q(testing::library().connection().database());
            QVERIFY(q.exec("PRAGMA integrity_check"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
        }
        QCOMPARE(testing::library().snippetCount(), 1);
    }

    void foreignFilesAreRefusedUntouched()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("codedb.mdb");
        const QByteArray junk = "Standard Jet DB\0 not really" + QByteArray(5000, 'x');
        testing::writeFile(path, junk);
        QVERIFY(!testing::errorOf([&] { testing::library().open(path); }).isEmpty());
        QCOMPARE(testing::readFile(path), junk);
        QVERIFY(!testing::library().isOpen());
    }

    void libraryWithoutTablesIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("codedb.mdb");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery(db).exec("CREATE TABLE Groub (Groub INTEGER PRIMARY KEY, Caption TEXT)");
            db.close();
        }
        QSqlDatabase::removeDatabase("other");
        const QByteArray before = testing::readFile(path);
        const QString error = testing::errorOf([&] { testing::library().open(path); });
        QVERIFY2(error.contains("Code"), qPrintable(error));
        QCOMPARE(testing::readFile(path), before);
    }

    // An insert into a view may store nothing and still look done: such a library never opens.
    void aLibraryWhoseTableIsAViewIsRefused()
    {
        for (const QString &table : {QStringLiteral("Code"), QStringLiteral("Groub")}) {
            testing::TempLibrary lib;
            lib.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %1Rows").arg(table));
            lib.exec(QStringLiteral("CREATE VIEW %1 AS SELECT * FROM %1Rows").arg(table));
            testing::library().close();
            const QString error = testing::errorOf([&] { testing::library().open(lib.path()); });
            QVERIFY2(error.contains(table) && error.contains(QStringLiteral("ليس جدولاً")), qPrintable(error));
            QVERIFY(!testing::library().isOpen());
        }
    }

    // Should the table become a view behind the program's back, the add is a failure, not id 0.
    void anInsertThatStoresNothingFails()
    {
        if (testing::onPostgres())
            QSKIP("a view with a rule is the same on the server; the open check covers it");
        testing::TempLibrary lib;
        const qint32 groub = lib.addCategory(QStringLiteral("c"));
        lib.exec(QStringLiteral("ALTER TABLE Code RENAME TO CodeRows"));
        lib.exec(QStringLiteral("CREATE VIEW Code AS SELECT * FROM CodeRows"));
        lib.exec(QStringLiteral("CREATE TRIGGER swallow INSTEAD OF INSERT ON Code BEGIN SELECT 1; END"));
        lib.exec(QStringLiteral("ALTER TABLE Groub RENAME TO GroubRows"));
        lib.exec(QStringLiteral("CREATE VIEW Groub AS SELECT * FROM GroubRows"));
        lib.exec(QStringLiteral("CREATE TRIGGER swallowGroub INSTEAD OF INSERT ON Groub BEGIN SELECT 1; END"));
        store::Snippet s;
        s.head = QStringLiteral("t");
        s.groub = groub;
        QVERIFY(!testing::errorOf([&] { testing::library().addSnippet(s); }).isEmpty());
        QVERIFY(!testing::errorOf([&] { testing::library().addCategory(QStringLiteral("d")); }).isEmpty());
        QSqlQuery count(testing::library().connection().database());
        QVERIFY(count.exec("SELECT (SELECT count(*) FROM CodeRows) + (SELECT count(*) FROM GroubRows)")
                && count.next());
        QCOMPARE(count.value(0).toInt(), 1);
    }
};

static int writeForever(const QString &path)
{
    if (!testing::errorOf([&] { testing::library().open(path); }).isEmpty())
        return 2;
    testing::library().transaction([] {
        store::Snippet s;
        s.groub = 1;
        s.code = QString(4000, QLatin1Char('x'));
        for (int i = 0;; ++i) {
            s.head = QString::number(i);
            testing::library().addSnippet(s);
            if (i == 200) {
                fputs("writing\n", stdout);
                fflush(stdout);
            }
        }
    });
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--write-forever") == 0) {
        QCoreApplication app(argc, argv);
        return writeForever(QString::fromLocal8Bit(argv[2]));
    }
    testing::isolateHome();
    QApplication app(argc, argv);
    testing::resetSeams();
    TestStore tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_store.moc"
