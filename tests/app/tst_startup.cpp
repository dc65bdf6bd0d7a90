#include "TestSupport.h"

#include "app/SingleInstance.h"
#include "exchange/Compact.h"
#include "store/Backup.h"

#include "app/Application.h"
#include "store/Library.h"

#include <QDir>
#include <QFile>
#include <QProcess>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void init() { testing::resetSeams(); }
    void cleanup() { testing::library().close(); }

    void firstStartCreatesTheStarterLibrary()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/codedb.mdb");
        app::openLibrary(testing::library(), path);
        QVERIFY(QFile::exists(path));
        QVERIFY(testing::library().categoryCount() >= 3);
        QVERIFY(testing::library().snippetCount() >= 5);
        int mine = 0;
        for (const auto &s : testing::library().snippetSummaries())
            mine += store::isTrue(s.user) ? 1 : 0;
        QVERIFY(mine > 0);
    }

    void aJetLibraryIsConvertedAfterAskingAndOpened()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("codedb.mdb");
        QVERIFY(QFile::copy(QStringLiteral(TAMRISK_LEGACY_FIXTURES "/legacy-library.mdb"), path));
        const QByteArray original = testing::readFile(path);
        platform::MessageBoxSeam::setNextAnswer(platform::mb::No);
        QVERIFY(!testing::errorOf([&] { app::openLibrary(testing::library(), path); }).isEmpty());
        QCOMPARE(testing::readFile(path), original);
        QVERIFY(!testing::library().isOpen());

        platform::MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        QCOMPARE(app::openLibrary(testing::library(), path), path);
        QVERIFY(testing::library().isOpen());
        QCOMPARE(testing::library().snippetCount(), 12);
        QCOMPARE(testing::readFile(path + ".jet-backup"), original);
        // The question, then the summary of what was taken over.
        QVERIFY(platform::MessageBoxSeam::last().prompt.contains(QStringLiteral("12")));
    }

    void anEmptyTeamDatabaseBecomesALibraryAfterAsking()
    {
        testing::TempPgDatabase db;
        platform::MessageBoxSeam::setNextAnswer(platform::mb::No);
        QVERIFY(testing::errorOf([&] {
                    app::openLibrary(testing::library(), db.uri());
                }).contains(QStringLiteral("فارغة")));
        QVERIFY(!testing::library().isOpen());
        platform::MessageBoxSeam::setNextAnswer(platform::mb::Yes);
        QCOMPARE(app::openLibrary(testing::library(), db.uri()), db.uri());
        QVERIFY(platform::MessageBoxSeam::last().prompt.contains(QStringLiteral("إنشاء جدولي")));
        QCOMPARE(testing::library().engine(), store::Engine::Postgres);
        store::Snippet s;
        s.head = QStringLiteral("t");
        s.groub = testing::library().addCategory(QStringLiteral("c"));
        testing::library().addSnippet(s);
        // No file to copy or compact: the server's own upkeep runs, everyone stays connected.
        QVERIFY(store::keepBackup(testing::library(), store::BackupReason::Compaction).isEmpty());
        exchange::compactLibrary(testing::library());
        QVERIFY(testing::library().isOpen());
        QCOMPARE(testing::library().snippetCount(), 1);
        // One window per team library, whatever password the URI carries.
        QString withPassword = db.uri();
        withPassword.replace(QStringLiteral("postgres@"), QStringLiteral("postgres:pw@"));
        QVERIFY(withPassword != db.uri());
        QCOMPARE(app::SingleInstance::serverName(withPassword), app::SingleInstance::serverName(db.uri()));
    }

    void foreignFileIsReportedAndLeftAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("codedb.mdb");
        const QByteArray bytes = QByteArray("\x00\x01\x00\x00Standard Jet DB", 19) + QByteArray(4096, '\x11');
        testing::writeFile(path, bytes);
        const QString message = testing::errorOf([&] { app::openLibrary(testing::library(), path); });
        QVERIFY(message.contains(QDir::toNativeSeparators(path)));
        QVERIFY(message.contains(QStringLiteral("ليس قاعدة بيانات")));
        QCOMPARE(testing::readFile(path), bytes);
    }

    void missingInAReadOnlyPlaceIsReported()
    {
        // Tests may run as root, who writes anywhere: a path under a file can never be created.
        QTemporaryDir dir;
        testing::writeFile(dir.filePath("blocker"), "x");
        const QString path = dir.filePath("blocker/codedb.mdb");
        QVERIFY(testing::errorOf([&] { app::openLibrary(testing::library(), path); }).contains(path));
    }

    void programShowsTheMessageAndExits()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("codedb.mdb");
        testing::writeFile(path, "not a library at all");
        QProcess program;
        program.setProgram(QCoreApplication::applicationFilePath());
        program.setArguments({"--run-program", "--library", path});
        program.start();
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 1);
        QVERIFY(program.readAllStandardOutput().contains(QStringLiteral("تعذر فتح مكتبة الأكواد").toUtf8()));
        QCOMPARE(testing::readFile(path), QByteArray("not a library at all"));
    }
};

static void printBox(const platform::MessageBoxSeam::Record &record)
{
    fputs(record.prompt.toUtf8().constData(), stdout);
    fflush(stdout);
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--run-program") == 0) {
        // The real program, with its message box answered and printed.
        platform::MessageBoxSeam::enable(true);
        platform::MessageBoxSeam::setHook(printBox);
        QList<char *> args{argv[0]};
        for (int i = 2; i < argc; ++i)
            args.append(argv[i]);
        int n = int(args.size());
        return app::run(n, args.data());
    }
    testing::isolateHome();
    QApplication application(argc, argv);
    testing::resetSeams();
    TestStartup tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_startup.moc"
