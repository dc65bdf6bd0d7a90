#include "DialogDriver.h"

#include "editing/FrmEdit.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "store/Engine.h"
#include "store/Library.h"
#include "store/PgLocation.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

using namespace testing;
using editing::FrmEdit;
using platform::MessageBoxSeam;
namespace mb = platform::mb;

namespace {

// Another program on the same library (file or team database): a connection of its own, outside the store.
class OtherClient
{
public:
    explicit OtherClient(const QString &location)
    {
        QSqlDatabase db;
        if (store::isPostgresLocation(location)) {
            const store::PgLocation where = store::parsePgLocation(location);
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name());
            db.setHostName(where.host);
            db.setPort(where.port);
            db.setDatabaseName(where.database);
            db.setUserName(where.user);
            db.setConnectOptions(where.connectOptions());
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name());
            db.setDatabaseName(location);
        }
        if (!db.open())
            qFatal("second connection: %s", qPrintable(db.lastError().text()));
    }
    ~OtherClient()
    {
        QSqlDatabase::database(name(), false).close();
        QSqlDatabase::removeDatabase(name());
    }
    void exec(const QString &sql, const QVariantList &values)
    {
        QSqlQuery q(QSqlDatabase::database(name()));
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            qFatal("second connection: %s", qPrintable(q.lastError().text()));
    }

private:
    static QString name() { return QStringLiteral("other client"); }
};

store::Snippet row(qint32 id) { return testing::library().snippet(id).value(); }

} // namespace

class TestEditConflict : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetSeams(); }

    // The other client changes the title and code while the dialog is open; the user retitles.
    void changedElsewhere_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("storedHead");
        QTest::addColumn<QString>("storedCode");
        QTest::newRow("keep mine") << int(mb::Yes) << true << "mine"
                                   << "code";
        QTest::newRow("take theirs") << int(mb::No) << false << "theirs"
                                     << "their code";
        QTest::newRow("cancel") << int(mb::Cancel) << false << "theirs"
                                << "their code";
    }
    void changedElsewhere()
    {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QFETCH(QString, storedHead);
        QFETCH(QString, storedCode);
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        const qint32 b = lib.addCategory("b");
        const qint32 id = lib.addSnippet("title", a, "code", "comment", true);
        FrmEdit d(testing::library(), id);
        d.show();
        edit(&d, "TxtCodeHead")->setText("mine");
        OtherClient other(lib.path());
        other.exec("UPDATE Code SET Head = ?, code = ?, Groub = ? WHERE id = ?", {"theirs", "their code", b, id});

        MessageBoxSeam::setNextAnswer(answer);
        click(&d, "CmdAdd");
        QCOMPARE(MessageBoxSeam::count(), 1);
        const MessageBoxSeam::Record asked = MessageBoxSeam::last();
        QCOMPARE(asked.prompt, editing::text::ChangedElsewhere);
        QCOMPARE(asked.buttons(), mb::YesNoCancel);
        QCOMPARE(asked.captions.value(mb::Yes), editing::text::KeepMine);
        QCOMPARE(asked.captions.value(mb::No), editing::text::TakeTheirs);
        QCOMPARE(d.isVisible(), !closes);
        QCOMPARE(row(id).head.toString(), storedHead);
        QCOMPARE(row(id).code.toString(), storedCode);
        QCOMPARE(row(id).groub.toInt(), closes ? a : b);
        QVERIFY(store::isTrue(row(id).user));

        if (answer == mb::No) {
            // The dialog shows theirs; what was typed comes back with undo and is saved unasked.
            QCOMPARE(edit(&d, "TxtCodeHead")->text(), QStringLiteral("theirs"));
            QCOMPARE(richBox(&d, "RTxtCode")->text(), QStringLiteral("their code"));
            QCOMPARE(categoryList(&d)->currentIndex(), 1);
            edit(&d, "TxtCodeHead")->undo();
            QCOMPARE(edit(&d, "TxtCodeHead")->text(), QStringLiteral("mine"));
            richBox(&d, "RTxtCode")->undo();
            QCOMPARE(richBox(&d, "RTxtCode")->text(), QStringLiteral("code"));
            richBox(&d, "RTxtCode")->redo();
            click(&d, "CmdAdd");
            QCOMPARE(MessageBoxSeam::count(), 1);
            QVERIFY(!d.isVisible());
            QCOMPARE(row(id).head.toString(), QStringLiteral("mine"));
            QCOMPARE(row(id).code.toString(), QStringLiteral("their code"));
            QCOMPARE(row(id).groub.toInt(), b);
        } else if (answer == mb::Cancel) {
            click(&d, "CmdAdd"); // still theirs under the dialog: asked again
            QCOMPARE(MessageBoxSeam::count(), 2);
        }
    }

    void sameChangeElsewhereIsNoConflict()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        const qint32 id = lib.addSnippet("title", a, "code", "comment");
        FrmEdit d(testing::library(), id);
        d.show();
        edit(&d, "TxtCodeHead")->setText("same");
        OtherClient(lib.path()).exec("UPDATE Code SET Head = 'same' WHERE id = ?", {id});
        click(&d, "CmdAdd");
        QCOMPARE(MessageBoxSeam::count(), 0);
        QVERIFY(!d.isVisible());
    }

    void deletedElsewhereIsRefusedAndTheTextKept()
    {
        TempLibrary lib;
        const qint32 a = lib.addCategory("a");
        const qint32 id = lib.addSnippet("title", a, "code", "comment");
        FrmEdit d(testing::library(), id);
        d.show();
        edit(&d, "TxtCodeHead")->setText("mine");
        OtherClient(lib.path()).exec("DELETE FROM Code WHERE id = ?", {id});
        click(&d, "CmdAdd");
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(MessageBoxSeam::last().prompt, editing::text::EditedSnippetGone);
        QCOMPARE(MessageBoxSeam::last().title, messages::ErrorTitle);
        QVERIFY(d.isVisible());
        QCOMPARE(edit(&d, "TxtCodeHead")->text(), QStringLiteral("mine"));
        QCOMPARE(testing::library().snippetCount(), 0);
    }
};

TAMRISK_TEST_MAIN(TestEditConflict)
#include "tst_editconflict.moc"
