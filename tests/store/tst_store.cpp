#include "TestSupport.h"

#include "store/Library.h"
#include "store/NodeKey.h"

#include <QProcess>
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
