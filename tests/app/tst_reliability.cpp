// A damaged library, a read-only library and a second start on one library, as the program
// meets them.
#include "MainWindowFixture.h"

#include "app/Application.h"
#include "app/SingleInstance.h"
#include "browser/FrmMain.h"
#include "platform/RichTextBox.h"
#include "store/Backup.h"
#include "store/Library.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>

#include <unistd.h>

using platform::MessageBoxSeam;

class TestReliability : public QObject
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }
    void cleanup() { testing::library().close(); }

    void aDamagedPageIsReportedNotShownAsEmpty()
    {
        testing::TempLibrary lib;
        const qint32 cat = lib.addCategory(QStringLiteral("عام"));
        const qint32 sound = lib.addSnippet("sound", cat, "Dim sound As Integer");
        // Long enough to spread over several overflow pages, one of which is damaged below.
        const qint32 damaged = lib.addSnippet("damaged", cat, QString(40000, 'Q'));
        const QString backup = store::keepBackup(testing::library(), store::BackupReason::Daily);
        testing::library().close();

        QByteArray bytes = testing::readFile(lib.path());
        const int pageSize = 4096;
        QList<int> overflow; // pages holding nothing but the long code after their next-page number
        for (int page = 0; (page + 1) * pageSize <= bytes.size(); ++page)
            if (bytes.mid(page * pageSize + 4, pageSize - 4) == QByteArray(pageSize - 4, 'Q'))
                overflow.append(page);
        QVERIFY(overflow.size() >= 3);
        bytes.replace(overflow.at(1) * pageSize, 4, QByteArray(4, '\0')); // the chain ends too early
        testing::writeFile(lib.path(), bytes);

        app::openLibrary(testing::library(), lib.path());
        browser::FrmMain main(testing::library());
        app::installCommands(main);
        main.load();
        main.show();
        app::checkLibraryInBackground(main);
        // The start-up check finds it, and names the backup to restore.
        QTRY_COMPARE_WITH_TIMEOUT(MessageBoxSeam::count(), 1, 10000);
        QVERIFY(MessageBoxSeam::last().prompt.contains(QStringLiteral("مكتبة الأكواد تالفة")));
        QVERIFY(MessageBoxSeam::last().prompt.contains(QDir::toNativeSeparators(backup)));

        main.selectNode(store::snippetKey(sound));
        main.ShowSelectedSnippet();
        QVERIFY(main.RTxt1()->text().contains(QStringLiteral("Dim sound")));
        main.selectNode(store::snippetKey(damaged));
        main.ShowSelectedSnippet();
        QTRY_COMPARE(MessageBoxSeam::count(), 2);
        QVERIFY(MessageBoxSeam::last().prompt.contains(QStringLiteral("مكتبة الأكواد تالفة")));
        QVERIFY(!main.RTxt1()->text().contains(QStringLiteral("Dim sound")));
        QVERIFY_THROWS_EXCEPTION(store::DamagedLibraryError, testing::library().snippet(damaged));
    }

    void aReadOnlyLibrarySaysSoAndWritesNothing()
    {
        testing::TempLibrary lib;
        lib.addSnippet("a", lib.addCategory("c"), "x");
        testing::library().close();
        const QByteArray before = testing::readFile(lib.path());

        // As root a folder without write permission can still be written: only a user is stopped.
        if (::geteuid() != 0) {
            const auto perms = QFile::permissions(lib.dir());
            QFile::setPermissions(lib.dir(), QFile::ReadOwner | QFile::ExeOwner);
            app::openLibrary(testing::library(), lib.path());
            const bool detected = testing::library().isReadOnly();
            testing::library().close();
            QFile::setPermissions(lib.dir(), perms);
            QVERIFY(detected);
        }

        app::openLibrary(testing::library(), lib.path(), true);
        QVERIFY(testing::library().isReadOnly());
        browser::FrmMain main(testing::library());
        app::installCommands(main);
        main.load();
        app::showReadOnly(main);
        main.show();
        QVERIFY(main.windowTitle().contains(QStringLiteral("للقراءة فقط")));
        QVERIFY(main.findChild<QLabel *>("readOnlyNotice")->isVisible());
        for (const char *name : {"Add", "edit", "del", "mnuUpDat", "mnuImport", "mnuCompDbas", "UsrUn"})
            QVERIFY2(!main.command(QLatin1String(name))->isEnabled(), name);
        main.selectNode(store::snippetKey(1));
        main.updateCodeMenu(false);
        QVERIFY(!main.command("CurMrkUsr")->isEnabled());
        main.runToolbarKey(QStringLiteral("InsertCode")); // no dialog to type into
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(testing::errorOf([] { testing::library().renameSnippet(1, QStringLiteral("b")); }),
                 store::readOnlyLibraryMessage(testing::library().engine()));
        testing::library().close();
        QCOMPARE(testing::readFile(lib.path()), before);
    }

    void aSecondStartBringsTheFirstWindowForward()
    {
        testing::TempLibrary lib;
        app::SingleInstance first(lib.path());
        QVERIFY(first.claim());
        QSignalSpy raised(&first, &app::SingleInstance::raiseRequested);

        QProcess second;
        second.start(QStringLiteral(TAMRISK_PROGRAM), {QStringLiteral("--library"), lib.path()});
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(raised.count(), 1);

        // Asked for, another window opens all the same (it renders itself and quits).
        const QString png = QDir(lib.dir()).filePath("shot.png");
        QProcess another;
        another.start(QStringLiteral(TAMRISK_PROGRAM),
                      {QStringLiteral("--library"), lib.path(), QStringLiteral("--new-instance"),
                       QStringLiteral("--screenshot"), png});
        QTRY_COMPARE_WITH_TIMEOUT(another.state(), QProcess::NotRunning, 30000);
        QCOMPARE(another.exitCode(), 0);
        QVERIFY(QFile::exists(png));
        QCOMPARE(raised.count(), 1);
    }

    void theVersionPrintsWithoutADisplay()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")); // would abort without a display
        QProcess program;
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TAMRISK_PROGRAM), {QStringLiteral("--version")});
        QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 20000);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(program.readAllStandardOutput(), QByteArray("tamrisk " PROJECT_VERSION "\n"));
    }
};

TAMRISK_TEST_MAIN(TestReliability)
#include "tst_reliability.moc"
