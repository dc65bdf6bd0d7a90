// The trash window and the edit dialog's history, driven through the main window's commands.
#include "DialogDriver.h"

#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "editing/Commands.h"
#include "editing/FrmEdit.h"
#include "editing/Texts.h"
#include "store/Library.h"
#include "store/NodeKey.h"

#include <QComboBox>
#include <QListWidget>
#include <QTreeView>
#include <QTreeWidget>

using namespace testing;
using browser::FrmMain;
using platform::MessageBoxSeam;
namespace mb = platform::mb;

class TestTrashWindow : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<TempLibrary> lib;
    std::unique_ptr<FrmMain> main;

private slots:
    void init()
    {
        resetSeams();
        lib = std::make_unique<TempLibrary>();
        main = std::make_unique<FrmMain>(testing::library());
        editing::installCommands(*main);
        main->load();
        main->show();
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
    }

    void cleanup()
    {
        main.reset();
        lib.reset();
    }

    void aDeletedCategoryComesBackFromTheTrashWindow()
    {
        const qint32 category = lib->addCategory(QStringLiteral("أدوات"));
        const qint32 id = lib->addSnippet(QStringLiteral("أداة"), category, QStringLiteral("Dim x\r\n"),
                                          QStringLiteral("تعليق"), true);
        lib->addSnippet(QStringLiteral("أخرى"), category);
        main->rebuildTree();
        const store::Snippet before = *testing::library().snippet(id);

        main->selectNode(store::categoryKey(category));
        MessageBoxSeam::setNextAnswer(mb::Yes);
        main->command(browser::cmd::del)->trigger();
        QVERIFY(!main->node(store::snippetKey(id)).isValid());

        bool shown = false;
        OnModal driver([&](QDialog *d) {
            shown = d->objectName() == QLatin1String("frmTrash");
            auto *list = control<QTreeWidget>(d, "lstTrash");
            QCOMPARE(list->topLevelItemCount(), 2);
            QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("أدوات"));
            // Deleting one for good asks first; No keeps it.
            list->setCurrentItem(list->topLevelItem(0));
            MessageBoxSeam::setNextAnswer(mb::No);
            click(d, "CmdDeleteForever");
            QCOMPARE(MessageBoxSeam::last().prompt, editing::text::ConfirmDeleteForever);
            QCOMPARE(list->topLevelItemCount(), 2);
            list->selectAll();
            click(d, "CmdRestore");
            QCOMPARE(list->topLevelItemCount(), 0);
            QVERIFY(!button(d, "CmdEmptyTrash")->isEnabled());
            click(d, "CmdClose");
        });
        main->command(browser::cmd::mnuTrash)->trigger();
        QVERIFY(driver.seen());
        QVERIFY(shown);
        // The tree was read again: the category and its snippets are back, the snippet as it was.
        QVERIFY(main->node(store::categoryKey(category)).isValid());
        QVERIFY(main->node(store::snippetKey(id)).isValid());
        const store::Snippet after = *testing::library().snippet(id);
        QCOMPARE(after.head, before.head);
        QCOMPARE(after.code, before.code);
        QCOMPARE(after.learn, before.learn);
        QCOMPARE(after.groub, before.groub);
        QVERIFY(store::isTrue(after.user));
    }

    void anEarlierVersionIsRestoredFromTheEditDialog()
    {
        const qint32 category = lib->addCategory(QStringLiteral("c"));
        const qint32 id = lib->addSnippet(QStringLiteral("الأصل"), category, QStringLiteral("first"));
        QVERIFY(testing::library().updateSnippet(
            {id, QStringLiteral("الثاني"), category, QStringLiteral("second"), QString(), {}}));
        main->rebuildTree();
        main->selectNode(store::snippetKey(id));

        OnModal driver([&](QDialog *d) {
            auto *history = control<QListWidget>(d, "lstHistory");
            QCOMPARE(history->count(), 1);
            QVERIFY(history->item(0)->text().endsWith(QStringLiteral("الأصل")));
            QVERIFY(!button(d, "CmdRestoreVersion")->isEnabled());
            history->setCurrentRow(0);
            MessageBoxSeam::setNextAnswer(mb::Yes);
            click(d, "CmdRestoreVersion");
            QCOMPARE(MessageBoxSeam::last().prompt, editing::text::ConfirmRestoreVersion);
        });
        main->command(browser::cmd::edit)->trigger();
        QVERIFY(driver.seen());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        const store::Snippet row = *testing::library().snippet(id);
        QCOMPARE(row.head.toString(), QStringLiteral("الأصل"));
        QCOMPARE(row.code.toString(), QStringLiteral("first"));
        // The restore was an edit: the version it replaced leads the history.
        const QList<store::SnippetVersion> history = testing::library().snippetHistory(id);
        QCOMPARE(history.size(), 2);
        QCOMPARE(history[0].head.toString(), QStringLiteral("الثاني"));
        QCOMPARE(main->selectedKey(), store::snippetKey(id));
    }

    // Changing only the language in the edit dialog keeps the version it replaces, language and all.
    void aChangeOfLanguageAloneIsKept()
    {
        const qint32 id = lib->addSnippet(QStringLiteral("t"), lib->addCategory(QStringLiteral("c")), QStringLiteral("x = 1"));
        testing::library().setSnippetLanguage(id, QStringLiteral("Python"));
        main->rebuildTree();
        main->selectNode(store::snippetKey(id));
        OnModal driver([&](QDialog *d) {
            control<QComboBox>(d, "cmbLanguage")->setCurrentText(QStringLiteral("Ruby"));
            click(d, "CmdAdd");
        });
        main->command(browser::cmd::edit)->trigger();
        QVERIFY(driver.seen());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(testing::library().snippetLanguage(id), QStringLiteral("Ruby"));
        const QList<store::SnippetVersion> history = testing::library().snippetHistory(id);
        QCOMPARE(history.size(), 1);
        QCOMPARE(history[0].language, QStringLiteral("Python"));
        QCOMPARE(history[0].code.toString(), QStringLiteral("x = 1"));
    }
};

TAMRISK_TEST_MAIN(TestTrashWindow)
#include "tst_trashwindow.moc"
