// What only a team library (PostgreSQL) has: schema creation, refusals, roles, TLS parameters,
// ids from a sequence, and changes seen from other connections. The shared behaviour of both
// engines is tst_store, run once per engine.
#include "TestSupport.h"

#include "store/Database.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"
#include "store/PgLocation.h"

#include <QSqlQuery>

using namespace store;

namespace {

QString withUser(const QString &uri, const QString &user)
{
    PgLocation where = parsePgLocation(uri);
    where.user = user;
    return where.display();
}

// A login role of its own (roles belong to the whole server), dropped when it goes.
struct TempRole {
    QString name;
    explicit TempRole(const char *kind)
        : name(QStringLiteral("tamrisk_%1_%2").arg(QLatin1String(kind)).arg(QCoreApplication::applicationPid()))
    {
        testing::TempPgDatabase server;
        server.exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(name));
        server.exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(name));
    }
    ~TempRole()
    {
        testing::TempPgDatabase server;
        server.exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(name));
    }
};

} // namespace

class TestPgStore : public QObject
{
    Q_OBJECT
private slots:
    void emptyDatabaseGetsTheSchemaWhenAsked()
    {
        testing::TempPgDatabase db;
        bool empty = false;
        try {
            LibraryConnection::open(db.uri());
        } catch (const EmptyDatabaseError &) {
            empty = true;
        }
        QVERIFY(empty);
        QVERIFY(!LibraryConnection::isOpen());
        LibraryConnection::createSchema(db.uri());
        QVERIFY(LibraryConnection::isOpen());
        QCOMPARE(LibraryConnection::engine(), Engine::Postgres);
        QVERIFY(!LibraryConnection::isReadOnly());
        const qint32 c = Library::addCategory(QStringLiteral("تصنيف"));
        Snippet s;
        s.head = QStringLiteral("عنوان");
        s.groub = c;
        s.user = true;
        const qint32 id = Library::addSnippet(s);
        LibraryConnection::open(LibraryConnection::path());
        QCOMPARE(Library::categories().first().caption.toString(), QStringLiteral("تصنيف"));
        QVERIFY(isTrue(Library::snippet(id)->user));
        QVERIFY(!testing::errorOf([&] { LibraryConnection::createSchema(db.uri()); }).isEmpty());
        LibraryConnection::open(db.uri());
        QCOMPARE(Library::snippetCount(), 1);
        LibraryConnection::close();
    }

    void foreignDatabaseIsRefusedUntouched()
    {
        testing::TempPgDatabase db;
        db.exec(QStringLiteral("CREATE TABLE invoices (n integer)"));
        const QString error = testing::errorOf([&] { LibraryConnection::open(db.uri()); });
        QVERIFY2(error.contains(QStringLiteral("جداول أخرى")), qPrintable(error));
        QVERIFY(!LibraryConnection::isOpen());
        QVERIFY(!testing::errorOf([&] { LibraryConnection::createSchema(db.uri()); }).isEmpty());
        const Database check(parsePgLocation(db.uri()), {}, QStringLiteral("check"));
        QSqlQuery q = check.query(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }

    void idsComeFromASequenceAndAreNeverGivenTwice()
    {
        testing::TempLibrary lib;
        const qint32 c = lib.addCategory("c");
        const qint32 first = lib.addSnippet("first", c);
        qint32 rolledBack = 0;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, Library::transaction([&] {
                                     rolledBack = lib.addSnippet("gone", c);
                                     throw std::runtime_error("stop");
                                 }));
        QVERIFY(rolledBack > first);
        QVERIFY(Library::deleteSnippet(first));
        LibraryConnection::open(lib.path());
        QVERIFY(lib.addSnippet("next", c) > rolledBack);
        // Not even a row written with an id of its own can take one.
        QSqlQuery q(LibraryConnection::database());
        QVERIFY(!q.exec(QStringLiteral("INSERT INTO Code (id, Head) VALUES (1000, 'x')")));
    }

    void aCategoryAndItsSnippetsGoTogetherOrNotAtAll()
    {
        testing::TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        lib.addSnippet("a1", a);
        lib.addSnippet("a2", a);
        // The category's own row cannot be deleted: its snippets must stay too.
        QSqlQuery(LibraryConnection::database())
            .exec(QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                 "$$ BEGIN RAISE EXCEPTION 'refused'; END $$"));
        QSqlQuery(LibraryConnection::database())
            .exec(
                QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON Groub FOR EACH ROW EXECUTE FUNCTION refuse()"));
        QVERIFY(!testing::errorOf([&] { Library::deleteCategory(a); }).isEmpty());
        QCOMPARE(Library::snippetCount(), 2);
        QCOMPARE(Library::categoryCount(), 1);
        QSqlQuery(LibraryConnection::database()).exec(QStringLiteral("DROP TRIGGER refuse ON Groub"));
        QVERIFY(Library::deleteCategory(a));
        QCOMPARE(Library::snippetCount(), 0);
    }

    void aRoleThatMayOnlyReadGetsAReadOnlyLibrary()
    {
        TempRole reader("reader");
        TempRole quiet("quiet");
        testing::TempLibrary lib;
        const qint32 c = lib.addCategory("c");
        lib.addSnippet("s", c);
        lib.exec(QStringLiteral("GRANT SELECT ON Groub, Code TO %1").arg(reader.name));
        // All privileges, but every transaction of the role is read-only.
        lib.exec(QStringLiteral("GRANT ALL ON Groub, Code TO %1").arg(quiet.name));
        lib.exec(QStringLiteral("ALTER ROLE %1 SET default_transaction_read_only = on").arg(quiet.name));
        const QString uri = lib.path();
        for (const QString &role : {reader.name, quiet.name}) {
            LibraryConnection::open(withUser(uri, role));
            QVERIFY2(LibraryConnection::isReadOnly(), qPrintable(role));
            QCOMPARE(Library::snippetCount(), 1);
            QCOMPARE(Library::categories().size(), 1);
            QCOMPARE(testing::errorOf([] { Library::addCategory(QStringLiteral("x")); }), readOnlyLibraryMessage());
            // The stamp still works without the change counter's privileges.
            QVERIFY(Library::changeStamp().connection > 0);
        }
        LibraryConnection::open(uri);
        QVERIFY(!LibraryConnection::isReadOnly());
        QCOMPARE(Library::categoryCount(), 1);
        lib.exec(QStringLiteral("REVOKE ALL ON Groub, Code FROM %1, %2").arg(reader.name, quiet.name));
        LibraryConnection::close();
    }

    void connectionParametersAreHonoured()
    {
        testing::TempLibrary lib;
        const QString uri = lib.path();
        // The test server has no TLS: asking for it must fail, and say why in Arabic. (On a socket
        // libpq never uses TLS, so over TCP.)
        PgLocation tcp = parsePgLocation(uri);
        const QString port = QString::fromLatin1(testing::readFile(tcp.host + QStringLiteral("/port")).trimmed());
        QVERIFY(!port.isEmpty());
        const QString overTcp = QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(tcp.user, port, tcp.database);
        LibraryConnection::open(overTcp);
        QVERIFY(LibraryConnection::isOpen());
        const QString error = testing::errorOf(
            [&] { LibraryConnection::open(overTcp + QStringLiteral("?sslmode=require")); });
        QVERIFY2(error.contains(QStringLiteral("TLS")) && error.contains(QStringLiteral("الخادم")), qPrintable(error));
        QVERIFY(!LibraryConnection::isOpen());
        LibraryConnection::open(uri + QStringLiteral("&application_name=team%20test"));
        QSqlQuery name(LibraryConnection::database());
        QVERIFY(name.exec(QStringLiteral("SELECT current_setting('application_name')")) && name.next());
        QCOMPARE(name.value(0).toString(), QStringLiteral("team test"));
        QVERIFY(
            !testing::errorOf([&] { LibraryConnection::open(uri + QStringLiteral("&nosuchparameter=1")); }).isEmpty());
        // A password in the URI is used, never shown.
        PgLocation where = parsePgLocation(uri);
        QString withPassword = uri;
        withPassword.replace(QStringLiteral("://%1@").arg(where.user), QStringLiteral("://%1:s3cret@").arg(where.user));
        QVERIFY(withPassword.contains(QStringLiteral("s3cret")));
        LibraryConnection::open(withPassword);
        QVERIFY(!LibraryConnection::path().contains(QStringLiteral("s3cret")));
        QCOMPARE(LibraryConnection::path(), uri);
        LibraryConnection::close();
    }

    void theStampSeesWritesOfOtherConnections()
    {
        testing::TempLibrary lib;
        const qint32 c = lib.addCategory("c");
        const ChangeStamp before = Library::changeStamp();
        QCOMPARE(Library::changeStamp(), before);
        lib.addSnippet("mine", c);
        const ChangeStamp mine = Library::changeStamp();
        QVERIFY(!(mine == before));
        const Database other(parsePgLocation(lib.path()), {}, QStringLiteral("other"));
        other.exec(QStringLiteral("UPDATE Code SET Head = 'theirs'"));
        QVERIFY(!(Library::changeStamp() == mine));
    }
};

TAMRISK_TEST_MAIN(TestPgStore)
#include "tst_pgstore.moc"
