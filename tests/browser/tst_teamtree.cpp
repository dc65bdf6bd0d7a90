// Another user (a second connection on the same library) changes it while the window is open:
// the tree follows in place. Runs once on a library file and once on a team library.
#include "MainWindowFixture.h"

#include "browser/CountText.h"
#include "platform/RichTextBox.h"
#include "store/Database.h"
#include "store/Library.h"
#include "store/NodeKey.h"
#include "store/PgLocation.h"

#include <QLabel>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTabBar>
#include <QTreeView>

namespace {

// Two seconds from another's commit to the window showing it.
constexpr int ShowsWithin = 2000;

// The other user: a connection of its own, writing plain SQL as any client of the tables may.
class OtherClient
{
public:
    OtherClient()
        : m_db(store::isPostgresLocation(testing::library().path())
                   ? std::make_unique<store::Database>(store::parsePgLocation(testing::library().path()), QString(),
                                                       QStringLiteral("other"))
                   : std::make_unique<store::Database>(testing::library().path()))
    {
        m_db->ensureOpen();
    }
    qint32 add(const QString &head, qint32 groub, const QString &code)
    {
        QSqlQuery q = m_db->query(
            QStringLiteral(
                "INSERT INTO Code (Head, Groub, code, Learn, \"User\") VALUES (?, ?, ?, '', ?) RETURNING id"),
            {head, groub, code, false});
        return q.next() ? q.value(0).toInt() : 0;
    }
    void run(const QString &sql, const QVariantList &values) { m_db->query(sql, values); }

private:
    std::unique_ptr<store::Database> m_db;
};

} // namespace

class TestTeamTree : public QObject, public testing::MainWindowFixture
{
    Q_OBJECT
private:
    QTreeView *tree() const { return main->TVCodeHead(); }
    QString count() const { return main->findChild<QLabel *>(QStringLiteral("panel3"))->text(); }

private slots:
    void init() { openLibrary(); }
    void cleanup() { closeAll(); }

    void othersAddEditAndDeleteShowInPlace()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 d = lib->addCategory("d");
        const qint32 a = lib->addSnippet("a", c, "code a");
        const qint32 b = lib->addSnippet("b", c, "code b");
        const qint32 e = lib->addSnippet("e", c, "code e");
        lib->addSnippet("x", d, "code x");
        openMain();
        tree()->expand(main->node(store::categoryKey(c)));
        main->TS1()->setCurrentIndex(0);
        main->selectNode(store::snippetKey(b));
        main->ShowSelectedSnippet();
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("code b"));
        OtherClient other;

        const qint32 added = other.add("bb", c, "code bb");
        QTRY_VERIFY_WITH_TIMEOUT(main->node(store::snippetKey(added)).isValid(), ShowsWithin);
        QCOMPARE(main->node(store::snippetKey(added)).row(), 2); // a, b, bb, e
        QCOMPARE(main->selectedKey(), store::snippetKey(b));
        QVERIFY(tree()->isExpanded(main->node(store::categoryKey(c))));
        QVERIFY(!tree()->isExpanded(main->node(store::categoryKey(d))));
        QCOMPARE(count(), browser::countText(5));

        other.run(QStringLiteral("UPDATE Code SET code = ? WHERE id = ?"), {QStringLiteral("code b, theirs"), b});
        QTRY_COMPARE_WITH_TIMEOUT(main->RTxt1()->text(), QStringLiteral("code b, theirs"), ShowsWithin);
        other.run(QStringLiteral("UPDATE Code SET Head = ? WHERE id = ?"), {QStringLiteral("a2"), a});
        QTRY_COMPARE_WITH_TIMEOUT(main->node(store::snippetKey(a)).data().toString(), QStringLiteral("a2"),
                                  ShowsWithin);
        QCOMPARE(main->selectedKey(), store::snippetKey(b));

        // The shown snippet goes: the one after it takes its place, and the view shows that one.
        other.run(QStringLiteral("DELETE FROM Code WHERE id = ?"), {b});
        QTRY_VERIFY_WITH_TIMEOUT(!main->node(store::snippetKey(b)).isValid(), ShowsWithin);
        QCOMPARE(main->selectedKey(), store::snippetKey(added));
        QCOMPARE(main->RTxt1()->text(), QStringLiteral("code bb"));
        QCOMPARE(count(), browser::countText(4));
        // The last of a category goes: its category is selected.
        main->selectNode(store::snippetKey(e));
        other.run(QStringLiteral("DELETE FROM Code WHERE Groub = ?"), {c});
        QTRY_COMPARE_WITH_TIMEOUT(main->selectedKey(), store::categoryKey(c), ShowsWithin);
        QVERIFY(main->RTxt1()->text().isEmpty());
    }

    void renameInProgressWaitsForTheEditor()
    {
        const qint32 c = lib->addCategory("c");
        const qint32 s = lib->addSnippet("before", c);
        openMain();
        main->selectNode(store::snippetKey(s));
        tree()->setFocus();
        tree()->edit(main->node(store::snippetKey(s)));
        QLineEdit *editor = nullptr;
        QTRY_VERIFY((editor = tree()->findChild<QLineEdit *>()) && editor->isVisible());
        editor->selectAll();
        editor->insert(QStringLiteral("mine"));
        const qint32 theirs = OtherClient().add("theirs", c, "");
        main->refreshTree(); // as the watcher would
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->text(), QStringLiteral("mine"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(main->node(store::snippetKey(theirs)).isValid(), ShowsWithin);
        QCOMPARE(main->node(store::snippetKey(s)).data().toString(), QStringLiteral("mine"));
        QCOMPARE(testing::library().snippet(s)->head.toString(), QStringLiteral("mine"));
        QCOMPARE(main->selectedKey(), store::snippetKey(s));
    }
};

TAMRISK_TEST_MAIN(TestTeamTree)
#include "tst_teamtree.moc"
