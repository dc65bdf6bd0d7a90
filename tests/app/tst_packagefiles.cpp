// Update packages handed to the program as files: by the desktop, the command line, or a second
// start that passes the file on to the window already open on the library.
#include "../exchange/PackageFiles.h"
#include "TestSupport.h"

#include "app/Application.h"
#include "app/SingleInstance.h"
#include "browser/FrmMain.h"
#include "exchange/FrmUpdate.h"
#include "store/Backup.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"
#include "store/LibraryLocation.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

using platform::MessageBoxSeam;
using testing::OnModal;

namespace {

// The window as the program opens it, every command wired.
void showWindow(browser::FrmMain &main)
{
    app::installCommands(main);
    main.load();
    main.show();
}

// A package of one snippet in dir.
QString onePackage(const QTemporaryDir &dir)
{
    const QString package = dir.filePath(QStringLiteral("in.cup"));
    testing::makeRawPackage(package, {{"new", "c", testing::null(), 1, QStringLiteral("وارد")}}, {"n", "d", "o"});
    return package;
}

} // namespace

class TestPackageFiles : public QObject
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }
    void cleanup() { testing::library().close(); }

    void aFileArgumentIsAPackageOrALibrary()
    {
        const QString here = QDir::currentPath();
        app::StartFiles files = app::startFiles(false, {}, {QStringLiteral("in/new.cup")});
        QCOMPARE(files.library, store::defaultLibraryPath());
        QCOMPARE(files.package, QDir(here).filePath(QStringLiteral("in/new.cup")));

        files = app::startFiles(false, {}, {QStringLiteral("other.mdb")});
        QCOMPARE(files.library, QDir(here).filePath(QStringLiteral("other.mdb")));
        QVERIFY(files.package.isEmpty());

        files = app::startFiles(true, QStringLiteral("/x/lib.mdb"), {QStringLiteral("file:///tmp/a%20b.CUP")});
        QCOMPARE(files.library, QStringLiteral("/x/lib.mdb"));
        QCOMPARE(files.package, QStringLiteral("/tmp/a b.CUP"));

        QVERIFY(!testing::errorOf([] {
                     app::startFiles(true, QStringLiteral("/x/lib.mdb"), {QStringLiteral("y.mdb")});
                 }).isEmpty());
        QVERIFY(!testing::errorOf([] {
                     app::startFiles(false, {}, {QStringLiteral("a.cup"), QStringLiteral("b.cup")});
                 }).isEmpty());
    }

    void aPackageGivenToASecondStartOpensInTheRunningWindow()
    {
        // The window a plain start opens: the default library, served to later starts.
        QVERIFY(!QFileInfo::exists(QFileInfo(QStringLiteral(TAMRISK_PROGRAM)).dir().filePath(store::LibraryFileName)));
        app::openLibrary(testing::library(), store::defaultLibraryPath());
        const qint64 before = testing::library().snippetCount();
        browser::FrmMain main(testing::library());
        showWindow(main);
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        app::SingleInstance instance(store::defaultLibraryPath());
        QVERIFY(instance.claim());
        connect(&instance, &app::SingleInstance::packageRequested, &main,
                [&main](const QString &package) { app::receivePackage(main, store::defaultLibraryPath(), package); });

        QTemporaryDir dir;
        const QString package = dir.filePath(QStringLiteral("وارد.cup"));
        testing::makeRawPackage(package,
                                {{"new 1", "c", testing::null(), 1, QStringLiteral("وارد")},
                                 {"new 2", "c", testing::null(), 1, QStringLiteral("وارد")}},
                                {"the sender", "2026-01-02", "notes"});

        QString shown, loaded, sender;
        int titles = -1;
        OnModal onModal([&](QDialog *dialog) {
            shown = dialog->objectName();
            if (auto *update = qobject_cast<exchange::FrmUpdate *>(dialog))
                loaded = update->PackagePath();
            sender = testing::control<QLineEdit>(dialog, "TxtName")->text();
            titles = testing::control<QListWidget>(dialog, "LstFind")->count();
            testing::control<QPushButton>(dialog, "CmdInsert")->click();
            testing::control<QPushButton>(dialog, "CmdCancel")->click();
        });
        QProcess second;
        second.setWorkingDirectory(dir.path());
        second.start(QStringLiteral(TAMRISK_PROGRAM), {QFileInfo(package).fileName()});
        QTRY_VERIFY_WITH_TIMEOUT(onModal.seen(), 20000);
        QCOMPARE(shown, QStringLiteral("FrmUpdate"));
        QCOMPARE(loaded, package);
        QCOMPARE(sender, QStringLiteral("the sender"));
        QCOMPARE(titles, 2);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);

        // Applied the one way the menu applies: the library kept first, then the snippets added.
        QTRY_COMPARE(testing::library().snippetCount(), before + 2);
        const QStringList backups = store::backupsOf(testing::library().path());
        QCOMPARE(backups.size(), 1);
        QVERIFY(backups.first().endsWith(QStringLiteral("-package.mdb")));
    }

    void aPackageWaitsForTheDialogOpenInTheWindow()
    {
        testing::TempLibrary lib;
        browser::FrmMain main(testing::library());
        showWindow(main);
        QTemporaryDir dir;
        const QString package = onePackage(dir);

        QDialog open(&main);
        bool shown = false, overTheOpenOne = false;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, [&] {
            if (auto *update = qobject_cast<exchange::FrmUpdate *>(QApplication::activeModalWidget())) {
                shown = true;
                overTheOpenOne = open.isVisible();
                update->reject();
            }
        });
        watch.start();
        QTimer::singleShot(0, &main, [&] {
            app::openPackage(main, package);
            QTimer::singleShot(600, &open, &QDialog::accept);
        });
        open.exec();
        QTRY_VERIFY(shown);
        QVERIFY(!overTheOpenOne);
    }

    void aReadOnlyLibrarySaysItCannotTakeThePackage()
    {
        testing::TempLibrary lib;
        testing::library().close();
        testing::library().open(lib.path(), true);
        browser::FrmMain main(testing::library());
        showWindow(main);
        app::showReadOnly(main);
        QTemporaryDir dir;
        const QString package = onePackage(dir);

        OnModal onModal([](QDialog *dialog) { dialog->close(); });
        app::openPackage(main, package);
        QTRY_COMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(MessageBoxSeam::last().prompt.contains(package));
        QVERIFY(MessageBoxSeam::last().prompt.contains(store::readOnlyLibraryMessage(testing::library().engine())));
        QVERIFY(!onModal.seen());
        QVERIFY(store::backupsOf(lib.path()).isEmpty());
    }

    void aWindowShowingAnotherLibraryRefusesThePackage()
    {
        testing::TempLibrary lib;
        browser::FrmMain main(testing::library());
        showWindow(main);
        QTemporaryDir dir;
        const QString package = onePackage(dir);

        OnModal onModal([](QDialog *dialog) { dialog->close(); });
        app::receivePackage(main, dir.filePath(QStringLiteral("started-on.mdb")), package);
        QTRY_COMPARE(MessageBoxSeam::count(), 1);
        QVERIFY(MessageBoxSeam::last().prompt.contains(package));
        QVERIFY(MessageBoxSeam::last().prompt.contains(QStringLiteral("العودة إلى مكتبة الملف")));
        QVERIFY(!onModal.seen());
        QVERIFY(store::backupsOf(lib.path()).isEmpty());
    }
};

TAMRISK_TEST_MAIN(TestPackageFiles)
#include "tst_packagefiles.moc"
