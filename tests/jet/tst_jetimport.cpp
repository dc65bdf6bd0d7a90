#include "TestSupport.h"

#include "store/JetImport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace store;

namespace {

QString fixture(const QString &name) { return QStringLiteral(TAMRISK_LEGACY_FIXTURES "/") + name; }

// Every row of a table of the helper's copy, in the copy's order, values as text with Null as "<null>".
QList<QStringList> rows(const QString &sqlite, const QString &table)
{
    QList<QStringList> result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copy"));
        db.setDatabaseName(sqlite);
        if (!db.open())
            return result;
        QSqlQuery q(db);
        q.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table));
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i).isNull() ? QStringLiteral("<null>") : q.value(i).toString());
            result.append(row);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("copy"));
    return result;
}

QStringList columns(const QString &sqlite, const QString &table)
{
    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copy"));
        db.setDatabaseName(sqlite);
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
        while (q.next())
            names.append(q.value(1).toString());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("copy"));
    return names;
}

QString script(const QString &dir, const QString &name, const QByteArray &body)
{
    const QString path = QDir(dir).filePath(name);
    testing::writeFile(path, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

bool isArabic(const QString &text)
{
    return text.contains(QRegularExpression(QStringLiteral("[\\x{0621}-\\x{064A}]")));
}

} // namespace

class TestJetImport : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setJetHelperForTests({}); }

    void plainAndEncryptedPackagesGiveTheSameRows()
    {
        const QStringList tables = {QStringLiteral("code"), QStringLiteral("USER")};
        const JetCopy plain = importJetFile(fixture(QStringLiteral("legacy-package.cup")), tables);
        const JetCopy encrypted = importJetFile(fixture(QStringLiteral("legacy-package-encrypted.cup")), tables);

        QCOMPARE(columns(plain.path(), QStringLiteral("code")),
                 (QStringList{"Head", "Code", "Learn", "Groub", "GroubNam"}));
        const QList<QStringList> code = rows(plain.path(), QStringLiteral("code"));
        const QList<QStringList> expected = {
            {"نسخ ملف", "FileCopy \"C:\\a.txt\", \"C:\\b.txt\" ' نسخ الملف", "ينسخ ملفا إلى مكان آخر", "2", "الملفات"},
            {"Len function", "n = Len(\"مرحبا\") ' n = 5", "<null>", "4", "Strings"},
            {"رسالة ترحيب", "MsgBox \"أهلا وسهلا\"", "تظهر رسالة ترحيب", "<null>", "جديد"},
            {"اتصال ADO",
             "Dim cn As New ADODB.Connection\r\ncn.Open \"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=data.mdb\" ' اتصال",
             "مثال اتصال بقاعدة البيانات", "1", "قواعد البيانات"},
        };
        QCOMPARE(code, expected);
        QCOMPARE(code[3][1].size(), 103);
        const QList<QStringList> header = {{"أحمد", "2004/05/17", "ملاحظات التحديث"}};
        QCOMPARE(rows(plain.path(), QStringLiteral("USER")), header);

        QCOMPARE(rows(encrypted.path(), QStringLiteral("code")), code);
        QCOMPARE(rows(encrypted.path(), QStringLiteral("USER")), header);
    }

    void readsTheSuiteEncryptedDatabase()
    {
        const JetCopy copy = importJetFile(fixture(QStringLiteral("public-db-enc.mdb")), {QStringLiteral("Table1")});
        QCOMPARE(rows(copy.path(), QStringLiteral("Table1")),
                 (QList<QStringList>{{"1", "hello", "0"}, {"2", "world", "42"}}));
    }

    void badFilesAreRefusedAndLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("tables");
        const QByteArray good = testing::readFile(fixture(QStringLiteral("legacy-library.mdb")));
        QVERIFY(good.size() > 8 * 4096);
        const QStringList library = {QStringLiteral("Groub"), QStringLiteral("Code")};
        QRandomGenerator seeded(12);
        auto *random = &seeded;
        auto noise = [&](qsizetype n) {
            QByteArray b(n, Qt::Uninitialized);
            for (char &c : b)
                c = char(random->bounded(256));
            return b;
        };

        QTest::newRow("cut in half") << good.left(good.size() / 2) << library;
        QByteArray garbage = good;
        for (qsizetype page = 4096; page < garbage.size(); page += 3 * 4096)
            garbage.replace(page, 4096, noise(4096));
        QTest::newRow("garbage pages") << garbage << library;
        QTest::newRow("header and random bytes") << good.left(4096) + noise(good.size() - 4096) << library;
        QTest::newRow("header only") << good.left(0x20) << library;
        QTest::newRow("without the tables")
            << testing::readFile(fixture(QStringLiteral("public-db-enc.mdb"))) << QStringList{"Code", "User"};
        QTest::newRow("not a Jet file") << QByteArray("SQLite format 3\0", 16) + noise(4080) << library;
    }

    void badFilesAreRefusedAndLeftAlone()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, tables);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.mdb"));
        testing::writeFile(path, bytes);
        try {
            importJetFile(path, tables);
            QFAIL("a bad file was taken in");
        } catch (const StoreError &e) {
            QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
            QVERIFY2(isArabic(e.message()), qPrintable(e.message()));
        }
        QCOMPARE(testing::readFile(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"bad.mdb"});
    }

    void helperTroubleIsReported_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("crash") << QByteArray("kill -SEGV $$") << QStringLiteral("توقف برنامج القراءة فجأة");
        QTest::newRow("hang") << QByteArray("exec sleep 30") << QStringLiteral("لم تنته قراءة الملف");
        QTest::newRow("failure") << QByteArray("echo 'noise' >&2; echo 'tamrisk-jet-import: سبب التجربة' >&2; exit 1")
                                 << QStringLiteral(": سبب التجربة");
        QTest::newRow("silent failure") << QByteArray("exit 4") << QStringLiteral("برمز الخطأ 4");
        QTest::newRow("damaged file") << QByteArray("echo 'tamrisk-jet-import: صفحة مفقودة' >&2; exit 3")
                                      << QStringLiteral("تالف، فلم يؤخذ منه شيء: صفحة مفقودة");
        QTest::newRow("no output") << QByteArray("exit 0") << QStringLiteral("لم يكتب برنامج القراءة شيئاً");
    }

    void helperTroubleIsReported()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        setJetHelperForTests(script(dir.path(), QStringLiteral("helper"), body), 300);
        const QString path = fixture(QStringLiteral("legacy-package.cup"));
        try {
            importJetFile(path, {QStringLiteral("Code")});
            QFAIL("the helper's trouble went unnoticed");
        } catch (const StoreError &e) {
            QVERIFY2(e.message().contains(expected), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("legacy-package.cup")), qPrintable(e.message()));
        }
    }

    void helperIsFound()
    {
        QVERIFY(QFileInfo(jetHelperPath()).isExecutable());
        QCOMPARE(jetImportTimeLimitMs(100 * 1024), 5000);
        QCOMPARE(jetImportTimeLimitMs(10 * 1024 * 1024), 40960);
    }
};

TAMRISK_TEST_MAIN(TestJetImport)
#include "tst_jetimport.moc"
