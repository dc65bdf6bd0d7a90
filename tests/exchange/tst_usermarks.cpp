#include "TestSupport.h"

#include "browser/FrmMain.h"
#include "exchange/UserMarks.h"
#include "platform/RichTextBox.h"
#include "store/Library.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSqlQuery>
#include <QTimer>
#include <QTreeView>

using platform::MessageBoxSeam;

namespace {

const QString kMergeAllPrompt = QStringLiteral("سيتم دمج جميع الأكود الخاصة بك في قاعدة البيانات. هل تريد الاستمرار؟");

QString key(qint32 id) { return store::snippetKey(id); }

// What the tree draws the node's text in.
QColor drawnColour(const QTreeView *tree, const QModelIndex &node)
{
    const QVariant brush = node.data(Qt::ForegroundRole);
    return brush.isValid() ? brush.value<QBrush>().color() : tree->palette().color(QPalette::Text);
}

QVariant userFlag(qint32 id)
{
    QSqlQuery q(testing::library().connection().database());
    q.prepare(QStringLiteral("SELECT User FROM Code WHERE id = ?"));
    q.addBindValue(id);
    if (!q.exec() || !q.next())
        return QVariant();
    return q.value(0);
}

} // namespace

class TestUserMarks : public QObject
{
    Q_OBJECT

    std::unique_ptr<testing::TempLibrary> lib;
    std::unique_ptr<browser::FrmMain> main;
    qint32 group = 0, plain = 0, user = 0, nullUser = 0;

    void openMain()
    {
        main = std::make_unique<browser::FrmMain>(testing::library());
        main->load();
        exchange::installUserMarkCommands(*main);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    }

    QAction *action(const char *name) { return main->command(QLatin1String(name)); }

    // Opens the code menu from the menu bar and closes it again, as a user glancing at it.
    void dropCodeMenu()
    {
        QMenu *code = main->menu(QStringLiteral("code"));
        code->popup(main->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(code->isVisible());
        code->close();
    }

    // Right-clicks the node and records what the pop-up offers while it is open.
    QStringList popupOn(const QString &nodeKey)
    {
        main->selectNode(nodeKey);
        QTreeView *tree = main->TVCodeHead();
        const QRect rect = tree->visualRect(main->node(nodeKey));
        QStringList offered;
        QTimer::singleShot(0, this, [&] {
            for (const char *name : {"Add", "edit", "del", "sep", "UsrUn", "CurUsrCodRmv", "CurMrkUsr"})
                if (action(name)->isVisible())
                    offered.append(QLatin1String(name));
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
        });
        QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, rect.center());
        return offered;
    }

private slots:
    void init()
    {
        testing::resetSeams();
        lib = std::make_unique<testing::TempLibrary>();
        group = lib->addCategory(QStringLiteral("فئة"));
        plain = lib->addSnippet("plain", group, "Dim a", "learn a", false);
        user = lib->addSnippet("mine", group, "Dim b", "learn b", true);
        nullUser = lib->addSnippet("null flag", group, "Dim c", "learn c", false);
        lib->exec(QStringLiteral("UPDATE Code SET User = NULL WHERE id = ?"), {nullUser});
    }

    void cleanup()
    {
        main.reset();
        lib.reset();
    }

    void markThenMergeChangesOnlyTheFlagAndColour()
    {
        openMain();
        const auto before = testing::library().snippet(plain);
        // A dark palette, where black text would not be read: a merged node is drawn like every other node.
        QPalette dark = main->TVCodeHead()->palette();
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        main->TVCodeHead()->setPalette(dark);
        // Persistent: a rebuilt tree would leave it invalid, so "same node" can fail.
        const QPersistentModelIndex item = main->node(key(plain));
        QVERIFY(!browser::FrmMain::isUserNode(item));
        main->selectNode(key(plain));
        QTreeView *tree = main->TVCodeHead();
        const QModelIndex category = main->node(store::categoryKey(group));
        tree->expand(category);

        dropCodeMenu();
        QVERIFY(action("CurMrkUsr")->isEnabled());
        action("CurMrkUsr")->trigger();
        QVERIFY(store::isTrue(userFlag(plain)));
        QCOMPARE(QPersistentModelIndex(main->node(key(plain))), item);
        QVERIFY(browser::FrmMain::isUserNode(item));
        QCOMPARE(drawnColour(tree, item), QColor(0, 0, 255));

        dropCodeMenu();
        QVERIFY(action("CurUsrCodRmv")->isEnabled());
        QVERIFY(!action("CurMrkUsr")->isEnabled());
        action("CurUsrCodRmv")->trigger();
        QCOMPARE(userFlag(plain).toInt(), 0);
        QVERIFY(!userFlag(plain).isNull());
        QVERIFY(!browser::FrmMain::isUserNode(item));
        QCOMPARE(drawnColour(tree, item), QColor(230, 230, 230));
        QCOMPARE(drawnColour(tree, item), drawnColour(tree, main->node(key(nullUser))));

        const auto after = testing::library().snippet(plain);
        QCOMPARE(after->head, before->head);
        QCOMPARE(after->groub, before->groub);
        QCOMPARE(after->code, before->code);
        QCOMPARE(after->learn, before->learn);
        QCOMPARE(testing::library().snippetCount(), 3);
        // Only the colour changed: same node, still selected, category still open.
        QCOMPARE(QPersistentModelIndex(main->node(key(plain))), item);
        QCOMPARE(main->selectedKey(), key(plain));
        QVERIFY(tree->isExpanded(category));
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    void aNodeWhoseRowIsGoneChangesNothing()
    {
        openMain();
        lib->exec(QStringLiteral("DELETE FROM Code WHERE id IN (?, ?)"), {plain, user});
        main->selectNode(key(plain));
        QVERIFY(!exchange::markSelectedSnippet(*main, true));
        QVERIFY(!browser::FrmMain::isUserNode(main->node(key(plain))));

        main->selectNode(key(user));
        QVERIFY(browser::FrmMain::isUserNode(main->node(key(user))));
        action("CurUsrCodRmv")->trigger();
        QVERIFY(browser::FrmMain::isUserNode(main->node(key(user))));
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    void commandsOnTheRootOrACategoryDoNothing()
    {
        openMain();
        main->selectNode(store::categoryKey(group));
        QVERIFY(!exchange::markSelectedSnippet(*main, true));
        main->selectNode(store::RootKey);
        QVERIFY(!exchange::markSelectedSnippet(*main, false));
        QVERIFY(store::isTrue(userFlag(user)));
        QVERIFY(!store::isTrue(userFlag(plain)));
    }

    void mergeAllAnsweredNoChangesNothing()
    {
        openMain();
        main->selectNode(key(plain));
        const QPersistentModelIndex selected = main->node(key(plain));
        const QString shown = main->RTxt1()->text();
        MessageBoxSeam::setNextAnswer(platform::mb::No);
        action("UsrUn")->trigger();
        QCOMPARE(MessageBoxSeam::count(), 1);
        const auto box = MessageBoxSeam::last();
        QCOMPARE(box.prompt, kMergeAllPrompt);
        QCOMPARE(box.title, QStringLiteral("رسالة تأكيد"));
        QCOMPARE(box.buttons(), 4);
        QCOMPARE(box.icon(), 32);
        QVERIFY(box.arabic());
        QVERIFY(store::isTrue(userFlag(user)));
        QVERIFY(userFlag(nullUser).isNull());
        QCOMPARE(QPersistentModelIndex(main->node(key(plain))), selected);
        QCOMPARE(main->selectedKey(), key(plain));
        QVERIFY(browser::FrmMain::isUserNode(main->node(key(user))));
        QCOMPARE(main->RTxt1()->text(), shown);
    }

    void mergeAllAnsweredYesRebuildsWithoutBlue()
    {
        lib->addSnippet("mine too", group, "x", "y", true);
        openMain();
        main->selectNode(key(user));
        MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        action("UsrUn")->trigger();
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(main->selectedKey().isEmpty()); // rebuilt: no node selected
        QCOMPARE(main->TVCodeHead()->model()->rowCount(main->node(store::RootKey)), 1);
        QCOMPARE(main->TVCodeHead()->model()->rowCount(main->node(store::categoryKey(group))), 4);
        for (const store::SnippetSummary &s : testing::library().snippetSummaries()) {
            QVERIFY(!store::isTrue(s.user));
            QVERIFY(!browser::FrmMain::isUserNode(main->node(key(s.id))));
        }
        // Null is not "true", so it is left as it is.
        QVERIFY(userFlag(nullUser).isNull());
        QCOMPARE(userFlag(user).toInt(), 0);
    }

    void mergeAllRebuildsEvenWithNothingMarked()
    {
        lib->exec(QStringLiteral("UPDATE Code SET User = 0 WHERE id = ?"), {user});
        openMain();
        main->selectNode(key(plain));
        main->TVCodeHead()->expand(main->node(store::categoryKey(group)));
        MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        action("UsrUn")->trigger();
        QVERIFY(main->selectedKey().isEmpty());
        QVERIFY(!main->TVCodeHead()->isExpanded(main->node(store::categoryKey(group))));
        QVERIFY(main->TVCodeHead()->isExpanded(main->node(store::RootKey)));
        QVERIFY(main->RTxt1()->text().isEmpty());
    }

    void nullFlagCountsAsNotMarked()
    {
        openMain();
        QVERIFY(!browser::FrmMain::isUserNode(main->node(key(nullUser))));
        main->selectNode(key(nullUser));
        dropCodeMenu();
        QVERIFY(action("CurMrkUsr")->isEnabled());
        QVERIFY(!action("CurUsrCodRmv")->isEnabled());
        QCOMPARE(popupOn(key(nullUser)), (QStringList{"Add", "edit", "del", "CurMrkUsr"}));
        QCOMPARE(testing::library().clearUserMarks(), 1);
        QVERIFY(userFlag(nullUser).isNull());
    }

    void menuBarEnablingFollowsTheSelectedNode()
    {
        openMain();
        struct Case {
            QString key;
            bool merge, mark;
        };
        const QList<Case> cases = {{store::RootKey, false, false},
                                   {store::categoryKey(group), false, false},
                                   {key(user), true, false},
                                   {key(plain), false, true}};
        for (const Case &c : cases) {
            main->selectNode(c.key);
            dropCodeMenu();
            QVERIFY2(action("CurUsrCodRmv")->isEnabled() == c.merge, qPrintable(c.key));
            QVERIFY2(action("CurMrkUsr")->isEnabled() == c.mark, qPrintable(c.key));
            // The menu bar enables and disables; it does not hide.
            QVERIFY(action("UsrUn")->isVisible());
            QVERIFY(action("CurUsrCodRmv")->isVisible());
            QVERIFY(action("CurMrkUsr")->isVisible());
        }
    }

    void popupShowsOnlyWhatFitsAndLeavesTheUserItemsSo()
    {
        openMain();
        QCOMPARE(popupOn(key(user)), (QStringList{"Add", "edit", "del", "CurUsrCodRmv"}));
        QCOMPARE(popupOn(key(plain)), (QStringList{"Add", "edit", "del", "CurMrkUsr"}));
        QCOMPARE(popupOn(store::categoryKey(group)), (QStringList{"Add", "edit", "del"}));
        QCOMPARE(popupOn(store::RootKey), (QStringList{"Add", "edit", "del"}));
        // After a pop-up on a category the two stay hidden in the menu bar too, until the next pop-up.
        QVERIFY(action("UsrUn")->isVisible());
        QVERIFY(action("sep")->isVisible());
        main->selectNode(key(plain));
        dropCodeMenu();
        QVERIFY(!action("CurMrkUsr")->isVisible());
        QVERIFY(!action("CurUsrCodRmv")->isVisible());
        QCOMPARE(popupOn(key(plain)), (QStringList{"Add", "edit", "del", "CurMrkUsr"}));
        dropCodeMenu();
        QVERIFY(action("CurMrkUsr")->isVisible());
        QVERIFY(action("CurMrkUsr")->isEnabled());
        QVERIFY(!action("CurUsrCodRmv")->isVisible());
    }

    void storeFailureLeavesFlagAndColour()
    {
        openMain();
        main->selectNode(key(plain));
        testing::library().close();
        QVERIFY(!exchange::markSelectedSnippet(*main, true));
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(MessageBoxSeam::last().title, QStringLiteral("رسالة خطأ"));
        QVERIFY(!browser::FrmMain::isUserNode(main->node(key(plain))));
    }
};

TAMRISK_TEST_MAIN(TestUserMarks)
#include "tst_usermarks.moc"
