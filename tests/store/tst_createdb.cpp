#include "TestSupport.h"

#include "store/CreateDb.h"
#include "store/Library.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace store;

namespace {

// Runs statements on a file through a connection of the test's own.
class Probe
{
public:
    explicit Probe(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
    }
    ~Probe()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(QStringLiteral("probe"), false);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    }
    bool exec(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("probe"), false));
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        return q.exec();
    }
    QList<QVariantList> rows(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("probe"), false));
        QList<QVariantList> result;
        if (!q.exec(sql))
            return result;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            result.append(row);
        }
        return result;
    }
};

const QStringList kCodeNames = {"Head", "Code", "Learn", "Groub", "GroubNam"};
const QList<qint32> kCodeTypes = {10, 12, 12, 4, 10};
const QList<int> kCodeSizes = {100, 0, 0, 0, 50};

QStringList filesIn(const QString &dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

} // namespace

class TestCreateDb : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        CreateDb::setCompactFailureHook({});
        testing::library().close();
    }

    void tableDefinitionMakesTheFields()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.cup");
        CreateDb db(&testing::library());
        db.CreateDatabaseX(path);
        db.CreateTableDefX(path, "Code", kCodeNames, kCodeTypes, kCodeSizes);
        Probe p(path);
        const auto info = p.rows("PRAGMA table_info(Code)");
        QCOMPARE(info.size(), 5);
        QStringList names, types;
        for (const auto &row : info) {
            names << row.at(1).toString();
            types << row.at(2).toString();
        }
        QCOMPARE(names, kCodeNames);
        QCOMPARE(types, QStringList({"TEXT", "TEXT", "TEXT", "INTEGER", "TEXT"}));

        const QString title100(100, QChar(0x0643));
        QVERIFY(p.exec("INSERT INTO Code (Head, GroubNam) VALUES (?, ?)", {title100, QString(50, 'g')}));
        // Longer than the field: refused, not shortened.
        QVERIFY(!p.exec("INSERT INTO Code (Head) VALUES (?)", {QString(101, QChar(0x0643))}));
        QVERIFY(!p.exec("INSERT INTO Code (GroubNam) VALUES (?)", {QString(51, 'g')}));
        // No empty texts, anywhere.
        QVERIFY(!p.exec("INSERT INTO Code (Head) VALUES ('')"));
        QVERIFY(!p.exec("INSERT INTO Code (Learn) VALUES ('')"));
        // Long text has no limit; the integer is 32-bit.
        QVERIFY(p.exec("INSERT INTO Code (Code, Groub) VALUES (?, ?)", {QString(1 << 20, 'x'), 2147483647}));
        QVERIFY(!p.exec("INSERT INTO Code (Groub) VALUES (?)", {qint64(2147483648LL)}));
        QVERIFY(!p.exec("INSERT INTO Code (Groub) VALUES ('abc')"));
        const auto stored = p.rows("SELECT Head, length(Code) FROM Code ORDER BY rowid");
        QCOMPARE(stored.size(), 2);
        QCOMPARE(stored.at(0).at(0).toString(), title100);
        QCOMPARE(stored.at(1).at(1).toInt(), 1 << 20);
    }

    void invalidFieldsCreateNothing_data()
    {
        QTest::addColumn<QList<qint32>>("types");
        QTest::addColumn<QList<int>>("sizes");
        QTest::newRow("size 256") << QList<qint32>{10, 10} << QList<int>{10, 256};
        QTest::newRow("negative size") << QList<qint32>{10, 10} << QList<int>{10, -1};
        QTest::newRow("type 7") << QList<qint32>{10, 7} << QList<int>{10, 0};
        QTest::newRow("sizes missing") << QList<qint32>{10, 10} << QList<int>{10};
    }

    void invalidFieldsCreateNothing()
    {
        QFETCH(QList<qint32>, types);
        QFETCH(QList<int>, sizes);
        QTemporaryDir dir;
        const QString path = dir.filePath("p.cup");
        CreateDb db(&testing::library());
        db.CreateDatabaseX(path);
        QVERIFY_THROWS_EXCEPTION(StoreError, db.CreateTableDefX(path, "User", {"Name", "Date"}, types, sizes));
        Probe p(path);
        QVERIFY(p.rows("SELECT name FROM sqlite_master").isEmpty());
    }

    void existingTableOrMissingFileFails()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.cup");
        CreateDb db(&testing::library());
        QVERIFY_THROWS_EXCEPTION(StoreError, db.CreateTableDefX(path, "User", {"Name"}, {10}, {5}));
        QVERIFY(!QFile::exists(path));
        db.CreateDatabaseX(path);
        db.CreateTableDefX(path, "User", {"Name"}, {10}, {5});
        QVERIFY_THROWS_EXCEPTION(StoreError, db.CreateTableDefX(path, "user", {"Name"}, {10}, {5}));
        try {
            db.CreateTableDefX(path, "User", {"Name"}, {10}, {5});
        } catch (const StoreError &e) {
            QVERIFY(e.message().contains(QStringLiteral("تعذر إنشاء الجدول User")));
        }
    }

    void createDatabaseReplacesAnExistingFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("p.cup");
        CreateDb db(&testing::library());
        db.CreateDatabaseX(path);
        db.CreateTableDefX(path, "Code", kCodeNames, kCodeTypes, kCodeSizes);
        {
            Probe p(path);
            QVERIFY(p.exec("INSERT INTO Code (Head) VALUES ('x')"));
        }
        db.CreateDatabaseX(path);
        {
            Probe p(path);
            QVERIFY(p.rows("SELECT name FROM sqlite_master").isEmpty());
        }
        // Not a database at all: replaced too.
        testing::writeFile(path, "just some text");
        db.CreateDatabaseX(path);
        QVERIFY(testing::readFile(path).startsWith(QByteArray("SQLite format 3\0", 16)));
    }

    void compactingTheLibraryKeepsOneFileAndTheRows()
    {
        testing::TempLibrary lib;
        const qint32 cat = lib.addCategory(QStringLiteral("عام"));
        // One bulk write: its changes wait for the search index, with copies of the deleted texts.
        testing::library().transaction([&] {
            for (int i = 0; i < 1200; ++i)
                lib.addSnippet(QStringLiteral("عنوان %1").arg(i), cat, QString(2000, 'c'), QStringLiteral("شرح"),
                               i % 2 == 0);
            for (int i = 1; i <= 1150; ++i)
                testing::library().deleteSnippet(i);
        });
        // Deleted snippets wait in the trash; emptied, their space is what compaction gives back.
        QCOMPARE(testing::library().emptyTrash(), 1150);
        const qint64 count = testing::library().snippetCount();
        const qint64 before = QFileInfo(lib.path()).size();

        for (int round = 0; round < 2; ++round) {
            CreateDb(&testing::library()).CompactDbx(lib.path());
            QVERIFY(!testing::library().isOpen());
            QCOMPARE(filesIn(lib.dir()), QStringList{"codedb.mdb"});
            testing::library().open(lib.path());
            QCOMPARE(testing::library().snippetCount(), count);
            QCOMPARE(testing::library().snippet(1200)->head.toString(), QStringLiteral("عنوان 1199"));
        }
        QVERIFY(QFileInfo(lib.path()).size() < before / 4);
        // Ids of deleted rows stay used.
        QCOMPARE(lib.addSnippet("new", cat), 1201);
    }

    void compactingKeepsThePermissions()
    {
        testing::TempLibrary lib;
        const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(lib.path(), perms));
        CreateDb(&testing::library()).CompactDbx(lib.path());
        QCOMPARE(QFile::permissions(lib.path()), perms);
    }

    // The copy of a compaction killed half-way goes when the library next opens for writing; one
    // written in the last minute may be a compaction of another program still running.
    void aStaleCompactionCopyGoesAtOpen()
    {
        testing::TempLibrary lib;
        const QString copy = lib.path() + QLatin1Char('_');
        testing::library().close();
        testing::writeFile(copy, QByteArray(70000, 'x'));
        testing::library().open(lib.path());
        QVERIFY(QFileInfo::exists(copy));
        testing::library().close();
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime));
        file.close();
        testing::library().open(lib.path(), true);
        QVERIFY(QFileInfo::exists(copy));
        testing::library().close();
        testing::library().open(lib.path());
        QVERIFY(!QFileInfo::exists(copy));
    }

    void aFailureLeavesTheOriginalIntact_data()
    {
        QTest::addColumn<int>("step");
        QTest::newRow("before copy") << int(CreateDb::CompactStep::BeforeCopy);
        QTest::newRow("after copy") << int(CreateDb::CompactStep::AfterCopy);
        QTest::newRow("before rename") << int(CreateDb::CompactStep::BeforeRename);
    }

    void aFailureLeavesTheOriginalIntact()
    {
        QFETCH(int, step);
        testing::TempLibrary lib;
        lib.addSnippet("a", lib.addCategory("c"));
        testing::library().close();
        const QByteArray original = testing::readFile(lib.path());
        CreateDb::setCompactFailureHook([&](CreateDb::CompactStep s) { return int(s) == step; });
        QVERIFY_THROWS_EXCEPTION(StoreError, CreateDb().CompactDbx(lib.path()));
        QCOMPARE(testing::readFile(lib.path()), original);
        QCOMPARE(filesIn(lib.dir()), QStringList{"codedb.mdb"});
        testing::library().open(lib.path());
        QCOMPARE(testing::library().snippetCount(), 1);
    }

    void aLeftoverCopyIsReplaced()
    {
        testing::TempLibrary lib;
        lib.addSnippet("a", lib.addCategory("c"));
        testing::writeFile(lib.path() + "_", "stale");
        CreateDb(&testing::library()).CompactDbx(lib.path());
        QCOMPARE(filesIn(lib.dir()), QStringList{"codedb.mdb"});
        testing::library().open(lib.path());
        QCOMPARE(testing::library().snippetCount(), 1);
    }

    void aFileThatIsNotADatabaseFailsUnchanged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("x.cup");
        testing::writeFile(path, QByteArray(4096, 'z'));
        QVERIFY_THROWS_EXCEPTION(StoreError, CreateDb().CompactDbx(path));
        QCOMPARE(testing::readFile(path), QByteArray(4096, 'z'));
        QCOMPARE(filesIn(dir.path()), QStringList{"x.cup"});
    }

    void compactingAnotherFileClosesTheLibrary()
    {
        testing::TempLibrary lib;
        QTemporaryDir dir;
        const QString path = dir.filePath("p.cup");
        CreateDb db(&testing::library());
        db.CreateDatabaseX(path);
        db.CreateTableDefX(path, "Code", kCodeNames, kCodeTypes, kCodeSizes);
        QVERIFY(testing::library().isOpen());
        db.CompactDbx(path);
        QVERIFY(!testing::library().isOpen());
        Probe p(path);
        QCOMPARE(p.rows("SELECT name FROM sqlite_master WHERE type = 'table'").size(), 1);
    }
};

TAMRISK_TEST_MAIN(TestCreateDb)
#include "tst_createdb.moc"
