// A team library whose server stops mid-session and comes back: on a server of this test's own,
// so the other tests' server is not disturbed.
#include "../editing/DialogDriver.h"
#include "MainWindowFixture.h"

#include "editing/FrmAdd.h"
#include "store/Database.h"
#include "store/Library.h"
#include "store/NodeKey.h"
#include "store/PgLocation.h"
#include "store/PgReconnect.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace testing;

class TestLostServer : public QObject, public MainWindowFixture
{
    Q_OBJECT
private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tamrisk-lost-XXXXXX")}; // a socket path must stay short
    QString m_server;

    void server(const char *action)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(QStringLiteral(TAMRISK_PGSERVER_SCRIPT), {QLatin1String(action), m_server});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
    }
    QString uri(const char *database) const
    {
        return QStringLiteral("postgresql://postgres@/%1?host=%2").arg(QLatin1String(database), m_server);
    }

private slots:
    void initTestCase()
    {
        m_server = m_dir.filePath(QStringLiteral("server"));
        server("start");
        {
            store::Database admin(store::parsePgLocation(uri("postgres")), QString(), QStringLiteral("admin"));
            admin.exec(QStringLiteral("CREATE DATABASE teamlib"));
        }
        testing::library().createSchema(uri("teamlib"));
    }
    void cleanupTestCase()
    {
        main.reset();
        testing::library().close();
        server("stop");
    }

    void typedTextStaysAndWorkGoesOnWhenTheServerIsBack()
    {
        resetSeams();
        const qint32 category = testing::library().addCategory(QStringLiteral("c"));
        // An add before the server goes: what the session prepared for it is gone with the session.
        const qint32 before = testing::library().addSnippet(
            {0, QStringLiteral("before"), category, QStringLiteral("x"), QString(), true});
        openMain();
        editing::FrmAdd dialog(testing::library(), main.get());
        dialog.show();
        edit(&dialog, "TxtCodeHead")->setText(QStringLiteral("mine"));
        richBox(&dialog, "RTxtCode")->setText(QStringLiteral("my code"));

        server("halt");
        // A write of one statement goes without a transaction; the session's end is seen before it
        // is sent, so nothing was stored and it says so.
        QCOMPARE(testing::errorOf([&] {
                     testing::library().addSnippet(
                         {0, QStringLiteral("lost"), category, QStringLiteral("y"), QString(), true});
                 }),
                 store::lostConnectionMessage());
        click(&dialog, "CmdAdd");
        QVERIFY2(lastPrompt().contains(store::lostConnectionMessage()), qPrintable(lastPrompt()));
        QVERIFY(dialog.isVisible());
        QCOMPARE(edit(&dialog, "TxtCodeHead")->text(), QStringLiteral("mine"));
        QCOMPARE(richBox(&dialog, "RTxtCode")->text(), QStringLiteral("my code"));

        server("resume");
        click(&dialog, "CmdAdd"); // connects again on its own
        QCOMPARE(testing::library().snippetCount(), 2);
        QVERIFY(edit(&dialog, "TxtCodeHead")->text().isEmpty());
        const qint32 mine = testing::library().snippetSummaries().constLast().id;
        QVERIFY(mine > before);
        // The tree reads again after the reconnection, and hears of others' changes again.
        QTRY_VERIFY_WITH_TIMEOUT(main->node(store::snippetKey(mine)).isValid(), 2000);
        store::Database other(store::parsePgLocation(uri("teamlib")), QString(), QStringLiteral("other"));
        QSqlQuery q = other.query(QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") "
                                                 "SELECT 'theirs', Groub, '', '', false FROM Groub RETURNING id"));
        QVERIFY(q.next());
        const qint32 theirs = q.value(0).toInt();
        QTRY_VERIFY_WITH_TIMEOUT(main->node(store::snippetKey(theirs)).isValid(), 2000);
    }
};

TAMRISK_TEST_MAIN(TestLostServer)
#include "tst_lostserver.moc"
