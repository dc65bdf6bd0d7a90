// Two programs on one library: one compacts while the other keeps adding.
#include "TestSupport.h"

#include "exchange/Compact.h"
#include "store/Backup.h"
#include "store/CreateDb.h"
#include "store/Database.h"
#include "store/Library.h"
#include "store/StarterLibrary.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using namespace store;

class TestTwoProcesses : public QObject
{
    Q_OBJECT
private slots:
    void everyAcknowledgedAddSurvivesACompaction()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("codedb.mdb");
        {
            const Database db(path);
            createLibraryTables(db);
            db.exec("BEGIN");
            db.exec("INSERT INTO Groub (Caption) VALUES ('c')");
            db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
                    "INSERT INTO Code (Head, Groub, code, Learn, User) "
                    "SELECT 'title ' || i, 1, printf('%.100c', 'x'), 'learn', 0 FROM n");
            db.exec("DELETE FROM Code WHERE id % 2 = 0"); // something for the compaction to reclaim
            db.exec("COMMIT");
        }
        const qint64 before = QFileInfo(path).size();

        QProcess adder;
        adder.start(QStringLiteral(TAMRISK_LIBRARY_ADDER), {path});
        QVERIFY(adder.waitForStarted());
        QStringList acknowledged;
        const auto read = [&] {
            acknowledged += QString::fromLatin1(adder.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
            return acknowledged.size();
        };
        QTRY_VERIFY_WITH_TIMEOUT(read() >= 3, 20000);

        CreateDb().CompactDbx(path);
        QVERIFY(QFileInfo(path).size() < before * 3 / 4);
        const int atCompaction = read();
        QTRY_VERIFY_WITH_TIMEOUT(read() >= atCompaction + 5, 20000);
        adder.closeWriteChannel();
        QVERIFY(adder.waitForFinished(20000));
        QCOMPARE(adder.exitCode(), 0);
        read();

        testing::library().open(path, true);
        for (const QString &id : acknowledged)
            QVERIFY2(testing::library().snippet(id.toInt()).has_value(), qPrintable(QStringLiteral("lost id ") + id));
        QCOMPARE(testing::library().snippetCount(), 100000 + acknowledged.size());
        testing::library().close();
    }

    // The whole compaction command, its backup first, while another program adds every 20 ms:
    // the backup must not start over at each of those writes, and no acknowledged add is lost.
    void aCompactionWithItsBackupFinishesOnABusyLibrary()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("codedb.mdb");
        {
            const Database db(path);
            createLibraryTables(db);
            db.exec("BEGIN");
            db.exec("INSERT INTO Groub (Caption) VALUES ('c')");
            db.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60000) "
                    "INSERT INTO Code (Head, Groub, code, Learn, User) "
                    "SELECT 'title ' || i, 1, printf('%.300c', 'x'), 'learn', 0 FROM n");
            db.exec("DELETE FROM Code WHERE id > 50000");
            db.exec("COMMIT");
        }
        const QStringList backupsBefore = backupsOf(path);
        QString error = testing::errorOf([&] { testing::library().open(path); });
        QVERIFY2(error.isEmpty(), qPrintable(error));

        QProcess adder;
        adder.start(QStringLiteral(TAMRISK_LIBRARY_ADDER), {path, QStringLiteral("20")});
        QVERIFY(adder.waitForStarted());
        QStringList acknowledged;
        const auto read = [&] {
            acknowledged += QString::fromLatin1(adder.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
            return acknowledged.size();
        };
        QTRY_VERIFY_WITH_TIMEOUT(read() >= 10, 20000);

        QElapsedTimer clock;
        clock.start();
        error = testing::errorOf([] { exchange::compactLibrary(testing::library()); });
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(clock.elapsed() < 60000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(backupsOf(path).size(), backupsBefore.size() + 1);
        testing::library().close();
        const int atCompaction = read();
        QTRY_VERIFY_WITH_TIMEOUT(read() >= atCompaction + 10, 20000);
        adder.closeWriteChannel();
        QVERIFY(adder.waitForFinished(20000));
        QCOMPARE(adder.exitCode(), 0);
        read();

        error = testing::errorOf([&] { testing::library().open(path, true); });
        QVERIFY2(error.isEmpty(), qPrintable(error));
        for (const QString &id : acknowledged)
            QVERIFY2(testing::library().snippet(id.toInt()).has_value(), qPrintable(QStringLiteral("lost id ") + id));
        QCOMPARE(testing::library().snippetCount(), 50000 + acknowledged.size());
        testing::library().close();
        QVERIFY(!QFileInfo::exists(path + QLatin1Char('_')));
    }
};

TAMRISK_TEST_MAIN(TestTwoProcesses)
#include "tst_twoprocesses.moc"
