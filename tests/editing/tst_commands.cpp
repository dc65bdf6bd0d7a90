#include "DialogDriver.h"

#include "browser/CountText.h"
#include "browser/FrmMain.h"
#include "editing/Commands.h"
#include "editing/FrmAdd.h"
#include "editing/FrmEdit.h"
#include "editing/SnippetInput.h"
#include "editing/Texts.h"
#include "messages/ArabicMsgBox.h"
#include "platform/RichTextBox.h"
#include "store/Library.h"
#include "store/NodeKey.h"

#include <QLabel>
#include <QTreeView>

using namespace testing;
using browser::FrmMain;
using platform::MessageBoxSeam;
namespace mb = platform::mb;

namespace {

// Drives the modal dialog that the command under test opens, from inside the dialog's own
// event loop; `drive` must close it. ran() tells whether a modal dialog ever opened.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(QDialog *)> drive)
        : m_drive(std::move(drive))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            m_timer.stop();
            m_ran = true;
            m_drive(dialog);
            if (dialog->isVisible()) {
                qWarning("the driver left the dialog open; closing it");
                dialog->reject();
            }
        });
        m_timer.start();
    }
    bool ran() const { return m_ran; }

private:
    std::function<void(QDialog *)> m_drive;
    QTimer m_timer;
    bool m_ran = false;
};

QString keyOfSnippet(qint32 id) { return store::snippetKey(id); }

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TempLibrary> lib;
    std::unique_ptr<FrmMain> main;
    qint32 catA = 0, catB = 0, s1 = 0, s2 = 0, s3 = 0;

    QTreeView *tree() const { return main->TVCodeHead(); }
    QString countPanel() const { return main->findChild<QLabel *>("panel3")->text(); }
    int rootChildren() const { return tree()->model()->rowCount(main->node(store::RootKey)); }

    void doubleClick(const QString &key)
    {
        const QModelIndex item = main->node(key);
        QVERIFY(item.isValid());
        tree()->scrollTo(item); // opens its parents
        const QRect r = tree()->visualRect(item);
        QVERIFY(r.isValid());
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, r.center());
    }

private slots:
    void init()
    {
        resetSeams();
        lib = std::make_unique<TempLibrary>();
        catA = lib->addCategory(QStringLiteral("أ فئة"));
        catB = lib->addCategory(QStringLiteral("ب فئة"));
        s1 = lib->addSnippet("one", catA, "code one", "comment one", false);
        s2 = lib->addSnippet("two", catA, "code two", "", true);
        s3 = lib->addSnippet("three", catB, "code three", "", false);
        main = std::make_unique<FrmMain>(testing::library());
        main->load();
        editing::installCommands(*main);
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    }

    void cleanup()
    {
        main.reset();
        lib.reset();
    }

    // ---- add

    void addRebuildsTheTreeOnlyAfterTheDialogCloses()
    {
        int childrenWhileOpen = -1, childrenAfterAdd = -1;
        QString dialogName;
        ModalDriver driver([&](QDialog *d) {
            dialogName = d->objectName();
            childrenWhileOpen = rootChildren();
            edit(d, "TxtCodeHead")->setText("new one");
            richBox(d, "RTxtCode")->setText("Dim n");
            categoryList(d)->setCurrentIndex(1);
            click(d, "CmdAdd");
            childrenAfterAdd = rootChildren();
            click(d, "CmdCancel");
        });
        main->runToolbarKey(QStringLiteral("InsertCode"));
        QVERIFY(driver.ran());
        QCOMPARE(dialogName, QStringLiteral("FrmAdd"));
        QCOMPARE(childrenWhileOpen, 0);
        QCOMPARE(childrenAfterAdd, 0);
        QCOMPARE(rootChildren(), 2);
        QCOMPARE(testing::library().snippetCount(), 4);
        const store::Snippet added = testing::library().allSnippets().last();
        const QModelIndex node = main->node(keyOfSnippet(added.id));
        QVERIFY(node.isValid());
        QCOMPARE(node.data().toString(), QStringLiteral("new one"));
        QCOMPARE(FrmMain::keyOf(node.parent()), store::categoryKey(catB));
        QVERIFY(FrmMain::isUserNode(node));
        QCOMPARE(countPanel(), browser::countText(4));
        QVERIFY(main->selectedKey().isEmpty());
    }

    void addFromTheMenuWithNothingAddedKeepsTheCount()
    {
        ModalDriver driver([](QDialog *d) { click(d, "CmdCancel"); });
        main->command(QStringLiteral("Add"))->trigger();
        QVERIFY(driver.ran());
        QCOMPARE(countPanel(), browser::countText(3));
        QVERIFY(main->node(keyOfSnippet(s3)).isValid());
        QVERIFY(main->TVCodeHead()->isExpanded(main->node(store::RootKey)));
    }

    void categoryAddedInTheDialogAppearsAfterwards()
    {
        ModalDriver driver([](QDialog *d) {
            edit(d, "TxtAddGroub")->setText(QStringLiteral("ج فئة"));
            click(d, "CmdAddGroub");
            QTest::keyClick(d, Qt::Key_Escape);
        });
        main->command(QStringLiteral("Add"))->trigger();
        QVERIFY(driver.ran());
        QCOMPARE(rootChildren(), 3);
    }

    // ---- edit

    void doubleClickOpensTheSnippet()
    {
        QString title, code, comment, dialogName;
        int category = -1;
        qint32 editedId = 0;
        ModalDriver driver([&](QDialog *d) {
            dialogName = d->objectName();
            if (auto *dialog = qobject_cast<editing::FrmEdit *>(d))
                editedId = dialog->EditedSnippetId();
            title = edit(d, "TxtCodeHead")->text();
            code = richBox(d, "RTxtCode")->text();
            comment = richBox(d, "RTxtLearn")->text();
            category = categoryList(d)->currentIndex();
            click(d, "CmdCancel");
        });
        doubleClick(keyOfSnippet(s1));
        QTRY_VERIFY(driver.ran());
        QCOMPARE(dialogName, QStringLiteral("FrmEdit"));
        QCOMPARE(title, QStringLiteral("one"));
        QCOMPARE(code, QStringLiteral("code one"));
        QCOMPARE(comment, QStringLiteral("comment one"));
        QCOMPARE(category, 0);
        QCOMPARE(editedId, s1);
        QCOMPARE(main->selectedKey(), keyOfSnippet(s1));
    }

    void doubleClickOnACategoryOpensNothing()
    {
        ModalDriver driver([](QDialog *d) { d->reject(); });
        doubleClick(store::categoryKey(catA));
        QVERIFY(!driver.ran());
        QCOMPARE(MessageBoxSeam::count(), 0);
    }

    void editWithoutASnippetSelectedShowsTheMessage()
    {
        const QString expected = QStringLiteral("يجب أن تحدد الكود الذي تريد تعديله أولاً!")
                                 + QString(32, QLatin1Char(' '));
        ModalDriver driver([](QDialog *d) { d->reject(); });
        tree()->clearSelection();
        main->command(QStringLiteral("edit"))->trigger();
        main->selectNode(store::RootKey);
        main->runToolbarKey(QStringLiteral("EditCode"));
        main->selectNode(store::categoryKey(catB));
        main->command(QStringLiteral("edit"))->trigger();
        QCOMPARE(MessageBoxSeam::count(), 3);
        for (const MessageBoxSeam::Record &r : MessageBoxSeam::records()) {
            QCOMPARE(r.prompt, expected);
            QCOMPARE(r.title, QStringLiteral("رسالة خطأ"));
            QCOMPARE(r.buttons(), mb::OkOnly);
            QCOMPARE(r.icon(), mb::Critical);
        }
        QVERIFY(!driver.ran());
        QCOMPARE(rootChildren(), 2); // nothing was rebuilt
        QCOMPARE(main->selectedKey(), store::categoryKey(catB));
    }

    void movingToAnotherCategorySelectsTheNodeUnderItsNewParent()
    {
        main->selectNode(keyOfSnippet(s1));
        ModalDriver driver([](QDialog *d) {
            edit(d, "TxtCodeHead")->setText(QStringLiteral(" moved "));
            categoryList(d)->setCurrentIndex(1);
            click(d, "CmdAdd");
        });
        main->runToolbarKey(QStringLiteral("EditCode"));
        QVERIFY(driver.ran());
        const store::Snippet row = *testing::library().snippet(s1);
        QCOMPARE(row.head.toString(), QStringLiteral("moved"));
        QCOMPARE(row.groub.toInt(), catB);
        QVERIFY(!store::isTrue(row.user));
        QCOMPARE(main->selectedKey(), keyOfSnippet(s1));
        const QModelIndex node = main->node(keyOfSnippet(s1));
        QCOMPARE(node.data().toString(), QStringLiteral("moved"));
        QCOMPARE(FrmMain::keyOf(node.parent()), store::categoryKey(catB));
        QVERIFY(!FrmMain::isUserNode(node));
        QVERIFY(FrmMain::isUserNode(main->node(keyOfSnippet(s2))));
    }

    void cancelledEditLeavesTheRowAndReselects()
    {
        main->selectNode(keyOfSnippet(s2));
        ModalDriver driver([](QDialog *d) {
            edit(d, "TxtCodeHead")->setText("changed");
            click(d, "CmdCancel");
        });
        main->command(QStringLiteral("edit"))->trigger();
        QVERIFY(driver.ran());
        QCOMPARE(testing::library().snippet(s2)->head.toString(), QStringLiteral("two"));
        QCOMPARE(main->selectedKey(), keyOfSnippet(s2));
        QVERIFY(FrmMain::isUserNode(main->node(keyOfSnippet(s2))));
    }

    void editOfASnippetGoneFromTheLibrary()
    {
        main->selectNode(keyOfSnippet(s3));
        QVERIFY(testing::library().deleteSnippet(s3));
        ModalDriver driver([](QDialog *d) { d->reject(); });
        main->command(QStringLiteral("edit"))->trigger();
        QVERIFY(!driver.ran());
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(MessageBoxSeam::last().prompt, editing::text::SnippetMissing);
        QVERIFY(!main->node(keyOfSnippet(s3)).isValid()); // the rebuilt tree no longer shows it
        QVERIFY(main->selectedKey().isEmpty());
    }

    void deletingTheEditedSnippetsCategoryInTheDialog()
    {
        main->selectNode(keyOfSnippet(s3));
        QString afterSave;
        bool stillOpen = false;
        ModalDriver driver([&](QDialog *d) {
            MessageBoxSeam::setNextAnswer(mb::Yes);
            click(d, "CmdDelGroub");
            click(d, "CmdAdd");
            afterSave = MessageBoxSeam::last().prompt;
            stillOpen = d->isVisible();
            click(d, "CmdCancel");
        });
        main->command(QStringLiteral("edit"))->trigger();
        QVERIFY(driver.ran());
        QCOMPARE(afterSave, editing::text::EditedSnippetGone);
        QVERIFY(stillOpen);
        QCOMPARE(testing::library().snippetCount(), 2);
        QCOMPARE(rootChildren(), 1);
        QVERIFY(main->selectedKey().isEmpty());
    }

    // ---- delete

    void deleteWithNothingSelectedSelectsTheRoot()
    {
        tree()->clearSelection();
        QVERIFY(main->selectedKey().isEmpty());
        main->command(QStringLiteral("del"))->trigger();
        QCOMPARE(main->selectedKey(), store::RootKey);
        QCOMPARE(MessageBoxSeam::count(), 0);
        main->command(QStringLiteral("del"))->trigger();
        QCOMPARE(MessageBoxSeam::count(), 0);
        QCOMPARE(main->selectedKey(), store::RootKey);
        QCOMPARE(testing::library().snippetCount(), 3);
        QCOMPARE(testing::library().categoryCount(), 2);
        QCOMPARE(rootChildren(), 2);
    }

    void answeringNoKeepsTheSnippetAndTheCategory()
    {
        main->selectNode(keyOfSnippet(s1));
        MessageBoxSeam::setNextAnswer(mb::No);
        main->command(QStringLiteral("del"))->trigger();
        QCOMPARE(MessageBoxSeam::last().prompt,
                 QStringLiteral("هل تريد حذف الكود المحدد؟") + QString(30, QLatin1Char(' ')));
        QCOMPARE(MessageBoxSeam::last().title, QStringLiteral("رسالة تأكيد"));
        QCOMPARE(MessageBoxSeam::last().buttons(), mb::YesNo);
        QCOMPARE(MessageBoxSeam::last().icon(), mb::Question);
        QVERIFY(testing::library().snippet(s1));
        QVERIFY(main->node(keyOfSnippet(s1)).isValid());

        main->selectNode(store::categoryKey(catA));
        MessageBoxSeam::setNextAnswer(mb::No);
        main->runToolbarKey(QStringLiteral("DelCode"));
        QCOMPARE(MessageBoxSeam::last().prompt,
                 QStringLiteral("سيتم حذف الفئة وجميع الأكواد الفرعية المرتبطة بها. هل تريد حذف الفئة الحالية؟"));
        QCOMPARE(testing::library().categoryCount(), 2);
        QCOMPARE(testing::library().snippetCount(), 3);
        QVERIFY(main->node(store::categoryKey(catA)).isValid());
    }

    void deletingASnippetLowersTheCountAndKeepsTheEmptyCategory()
    {
        main->selectNode(keyOfSnippet(s3));
        MessageBoxSeam::setNextAnswer(mb::Yes);
        main->command(QStringLiteral("del"))->trigger();
        QVERIFY(!testing::library().snippet(s3));
        QVERIFY(!main->node(keyOfSnippet(s3)).isValid());
        const QModelIndex category = main->node(store::categoryKey(catB));
        QVERIFY(category.isValid());
        QCOMPARE(tree()->model()->rowCount(category), 0);
        QCOMPARE(countPanel(), browser::countText(2));
        QVERIFY(main->node(keyOfSnippet(s1)).isValid());
        QVERIFY(main->node(keyOfSnippet(s2)).isValid());
    }

    void deletingACategoryRemovesItsSnippetsEverywhere()
    {
        main->selectNode(store::categoryKey(catA));
        MessageBoxSeam::setNextAnswer(mb::Yes);
        main->command(QStringLiteral("del"))->trigger();
        QVERIFY(!main->node(store::categoryKey(catA)).isValid());
        QVERIFY(!main->node(keyOfSnippet(s1)).isValid());
        QVERIFY(!main->node(keyOfSnippet(s2)).isValid());
        QCOMPARE(rootChildren(), 1);
        QCOMPARE(testing::library().categoryCount(), 1);
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(countPanel(), browser::countText(1));
    }

    void aNodeWhoseRowIsGoneIsNotRemoved()
    {
        QVERIFY(testing::library().deleteSnippet(s1));
        main->selectNode(keyOfSnippet(s1));
        MessageBoxSeam::setNextAnswer(mb::Yes);
        main->command(QStringLiteral("del"))->trigger();
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(main->node(keyOfSnippet(s1)).isValid());
        QCOMPARE(main->selectedKey(), keyOfSnippet(s1));
        QCOMPARE(countPanel(), browser::countText(3)); // not refreshed: nothing was deleted
    }

    void deleteKeyInTheTreeDeletes()
    {
        main->selectNode(keyOfSnippet(s2));
        tree()->setFocus();
        QTRY_VERIFY(tree()->hasFocus());
        MessageBoxSeam::setNextAnswer(mb::Yes);
        QTest::keyClick(tree(), Qt::Key_Delete);
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(!testing::library().snippet(s2));
        QVERIFY(!main->node(keyOfSnippet(s2)).isValid());
        QCOMPARE(countPanel(), browser::countText(2));
    }

    void deleteKeyInTheViewDeletesOnce()
    {
        main->selectNode(keyOfSnippet(s2));
        main->RTxt1()->setFocus();
        QTRY_VERIFY(main->RTxt1()->hasFocus());
        MessageBoxSeam::setNextAnswer(mb::Yes);
        QTest::keyClick(main->RTxt1(), Qt::Key_Delete);
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(!testing::library().snippet(s2));
        QVERIFY(!main->node(keyOfSnippet(s2)).isValid());
    }

    void failedDeleteIsReportedAndKeepsTheNode()
    {
        lib->exec(
            "CREATE TRIGGER no_delete BEFORE DELETE ON Code BEGIN SELECT RAISE(ABORT, 'database is locked'); END");
        main->selectNode(keyOfSnippet(s1));
        MessageBoxSeam::setNextAnswer(mb::Yes);
        main->command(QStringLiteral("del"))->trigger();
        QCOMPARE(MessageBoxSeam::count(), 2);
        QVERIFY(MessageBoxSeam::last().prompt.startsWith(editing::text::DeleteSnippetFailed));
        QCOMPARE(MessageBoxSeam::last().title, messages::ErrorTitle);
        QVERIFY(testing::library().snippet(s1));
        QVERIFY(main->node(keyOfSnippet(s1)).isValid());

        main->selectNode(store::categoryKey(catA));
        MessageBoxSeam::setNextAnswer(mb::Yes);
        main->command(QStringLiteral("del"))->trigger();
        QVERIFY(MessageBoxSeam::last().prompt.startsWith(editing::text::DeleteCategoryFailed));
        QCOMPARE(testing::library().categoryCount(), 2);
        QCOMPARE(testing::library().snippetCount(), 3);
        QVERIFY(main->node(store::categoryKey(catA)).isValid());
    }
};

TAMRISK_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
