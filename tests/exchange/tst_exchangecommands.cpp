#include "MainWindowFixture.h"

#include "PackageFiles.h"
#include "browser/CountText.h"
#include "browser/FrmMain.h"
#include "exchange/Commands.h"
#include "exchange/FrmCreateUpdate.h"
#include "exchange/FrmUpdate.h"
#include "store/Backup.h"
#include "store/CreateDb.h"
#include "store/Library.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

using browser::FrmMain;
using platform::FileDialogSeam;
using platform::MessageBoxSeam;
using testing::null;
using testing::OnModal;

namespace {

void click(QWidget *w, const char *name) { w->findChild<QPushButton *>(QString::fromLatin1(name))->click(); }

QModelIndexList snippetNodes(QTreeView *tree)
{
    QModelIndexList result;
    for (const QModelIndex &node : testing::treeNodes(tree->model()))
        if (store::nodeKind(FrmMain::keyOf(node)) == store::NodeKind::Snippet)
            result.append(node);
    return result;
}

} // namespace

class TestExchangeCommands : public QObject, public testing::MainWindowFixture
{
    Q_OBJECT
private:
    void openMain() { MainWindowFixture::openMain(exchange::installCommands); }
    QString countPanel() const { return main->findChild<QLabel *>("panel3")->text(); }

private slots:
    void init()
    {
        openLibrary();
        const qint32 a = lib->addCategory(QStringLiteral("عام"));
        lib->addSnippet("plain", a, "x", "y", false);
        lib->addSnippet("mine 1", a, "Dim a", QString(), true);
        lib->addSnippet("mine 2", a, "Dim b", "b", true);
    }

    void cleanup()
    {
        store::CreateDb::setCompactFailureHook({});
        closeAll();
    }

    void compactKeepsTheLibraryAndTheCount()
    {
        testing::library().deleteSnippet(1);
        openMain();
        const QString count = countPanel();
        QCOMPARE(count, browser::countText(2));
        int cursor = -1;
        store::CreateDb::setCompactFailureHook([&](store::CreateDb::CompactStep) {
            cursor = QGuiApplication::overrideCursor() ? int(QGuiApplication::overrideCursor()->shape()) : -1;
            return false;
        });
        for (int round = 0; round < 2; ++round) {
            main->runToolbarKey(QStringLiteral("compactDb"));
            QCOMPARE(cursor, int(Qt::WaitCursor));
            QVERIFY(!QGuiApplication::overrideCursor());
            QCOMPARE(QDir(lib->dir()).entryList(QDir::Files), QStringList{"codedb.mdb"});
            QVERIFY(testing::library().isOpen());
            QCOMPARE(countPanel(), count);
            QCOMPARE(main->ProgressBar1()->value(), 100);
            QVERIFY(main->ProgressBar1()->isHidden());
        }
        QCOMPARE(MessageBoxSeam::count(), 0);
        QCOMPARE(testing::library().snippet(3)->head.toString(), QStringLiteral("mine 2"));
        QCOMPARE(store::backupsOf(lib->path()).size(), 2); // one before each compaction
    }

    void aFailedCompactionIsReportedAndTheLibraryStaysOpen()
    {
        openMain();
        const QByteArray before = testing::readFile(lib->path());
        store::CreateDb::setCompactFailureHook(
            [](store::CreateDb::CompactStep s) { return s == store::CreateDb::CompactStep::BeforeRename; });
        main->command(QStringLiteral("mnuCompDbas"))->trigger();
        QCOMPARE(MessageBoxSeam::count(), 1);
        QCOMPARE(MessageBoxSeam::last().title, QStringLiteral("رسالة خطأ"));
        QVERIFY(MessageBoxSeam::last().prompt.contains(QStringLiteral("تعذر ضغط قاعدة البيانات")));
        QVERIFY(testing::library().isOpen());
        QCOMPARE(testing::readFile(lib->path()), before);
        QCOMPARE(QDir(lib->dir()).entryList(QDir::Files), QStringList{"codedb.mdb"});
        QCOMPARE(countPanel(), browser::countText(3));
    }

    void creatingAPackageAndMergingLeavesNoBlueNode()
    {
        openMain();
        const auto before = snippetNodes(main->TVCodeHead());
        QCOMPARE(
            std::count_if(before.cbegin(), before.cend(), [](const QModelIndex &i) { return FrmMain::isUserNode(i); }),
            2);
        const QString path = QDir(lib->dir()).filePath("out.cup");
        FileDialogSeam::setNextFileName(path);
        MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        OnModal onModal([](QDialog *dialog) {
            QVERIFY(qobject_cast<exchange::FrmCreateUpdate *>(dialog));
            click(dialog, "CmdCreate");
            click(dialog, "CmdCancel");
        });
        main->command(QStringLiteral("mnuCreateUpDat"))->trigger();
        QVERIFY(onModal.seen());
        QVERIFY(QFile::exists(path));
        QVERIFY(testing::library().isOpen());
        const auto nodes = snippetNodes(main->TVCodeHead());
        QCOMPARE(nodes.size(), 3);
        for (const QModelIndex &node : nodes)
            QVERIFY(!FrmMain::isUserNode(node));
    }

    void applyingAPackageRebuildsTheTreeAndTheCount()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("in.cup");
        testing::makeRawPackage(
            path,
            {{"new 1", "c", null(), 1, QStringLiteral("وارد")}, {"new 2", "c", null(), 1, QStringLiteral("وارد")}},
            {"n", "d", "o"});
        openMain();
        FileDialogSeam::setNextFileName(path);
        OnModal onModal([](QDialog *dialog) {
            QVERIFY(qobject_cast<exchange::FrmUpdate *>(dialog));
            click(dialog, "CmdInsert");
            click(dialog, "CmdCancel");
        });
        main->runToolbarKey(QStringLiteral("updat"));
        QVERIFY(onModal.seen());
        QCOMPARE(countPanel(), browser::countText(5));
        QVERIFY(main->node(store::categoryKey(2)).isValid());
        QCOMPARE(main->node(store::categoryKey(2)).data().toString(), QStringLiteral("وارد"));
        QCOMPARE(snippetNodes(main->TVCodeHead()).size(), 5);

        // The library as it was before the package, kept where the user is told to look.
        const QStringList backups = store::backupsOf(lib->path());
        QCOMPARE(backups.size(), 1);
        QVERIFY(backups.first().startsWith(store::backupFolder()));
        QVERIFY(backups.first().endsWith(QStringLiteral("-package.mdb")));
        main.reset();
        testing::library().open(backups.first(), true);
        QCOMPARE(testing::library().snippetCount(), 3);
        QCOMPARE(testing::library().snippet(3)->head.toString(), QStringLiteral("mine 2"));
        QCOMPARE(testing::library().categoryCount(), 1);
    }

    void anInvalidPackageIsReportedAndTheTreeComesBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.cup");
        testing::writeFile(path, "not a package");
        openMain();
        FileDialogSeam::setNextFileName(path);
        OnModal onModal([](QDialog *dialog) { dialog->reject(); });
        main->command(QStringLiteral("mnuUpDat"))->trigger();
        QVERIFY(!onModal.seen());
        QCOMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(MessageBoxSeam::last().prompt.contains(QStringLiteral("bad.cup")));
        QCOMPARE(snippetNodes(main->TVCodeHead()).size(), 3);
        QCOMPARE(countPanel(), browser::countText(3));
    }
};

TAMRISK_TEST_MAIN(TestExchangeCommands)
#include "tst_exchangecommands.moc"
