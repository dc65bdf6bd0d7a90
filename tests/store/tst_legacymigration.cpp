#include "TestSupport.h"

#include "store/Backup.h"
#include "store/JetImport.h"
#include "store/LegacyMigration.h"
#include "store/Library.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace store;

namespace {

const QByteArray kLibraryDigest = "c8863905a90e0fcb8193bb177361b1ef2967983bebf5c3a5488ab5e9f19de900";

QString fixture() { return QStringLiteral(TAMRISK_LEGACY_FIXTURES "/legacy-library.mdb"); }

QByteArray digest(const QString &path)
{
    return QCryptographicHash::hash(testing::readFile(path), QCryptographicHash::Sha256).toHex();
}

// A copy of the fixture library as dir/codedb.mdb.
QString copyLibrary(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("codedb.mdb"));
    if (!QFile::copy(fixture(), path))
        qFatal("cannot copy the fixture library");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

QList<QVariantList> rows(const QString &path, const QString &sql)
{
    QList<QVariantList> result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("probe"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(sql);
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            result.append(row);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("probe"));
    return result;
}

QStringList filesIn(const QTemporaryDir &dir) { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

QString nullText() { return QStringLiteral("<null>"); }
QString shown(const QVariant &v) { return v.isNull() ? nullText() : v.toString(); }

} // namespace

class TestLegacyMigration : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        setMigrationFailureHook({});
        setJetHelperForTests({});
        testing::library().close();
    }

    void convertsTheFixtureLibrary()
    {
        QVERIFY2(digest(fixture()) == kLibraryDigest, "fixture changed");
        QTemporaryDir dir;
        const QString path = copyLibrary(dir);
        const JetMigrationPlan plan = planJetMigration(path, dir.filePath(QStringLiteral("fallback")));
        QCOMPARE(plan.target, path);
        QCOMPARE(plan.backup, path + QStringLiteral(".jet-backup"));
        QVERIFY(!plan.inFallbackFolder);
        QVERIFY(migrationText::prompt(plan).contains(QDir::toNativeSeparators(plan.backup)));

        QList<MigrationPhase> phases;
        qint64 lastWritten = 0, writeTotal = -1;
        const JetMigrationResult result = migrateJetLibrary(plan, [&](MigrationPhase phase, qint64 done, qint64 total) {
            if (phases.isEmpty() || phases.last() != phase)
                phases.append(phase);
            if (phase == MigrationPhase::Writing) {
                lastWritten = done;
                writeTotal = total;
            }
        });
        QCOMPARE(phases, (QList<MigrationPhase>{MigrationPhase::Reading, MigrationPhase::Writing,
                                                MigrationPhase::Checking, MigrationPhase::Replacing}));
        QCOMPARE(lastWritten, 16);
        QCOMPARE(writeTotal, 16);

        QCOMPARE(result.library, path);
        QCOMPARE(result.original, plan.backup);
        QCOMPARE(result.categories, 4);
        QCOMPARE(result.snippets, 12);
        QCOMPARE(result.userSnippets, 5);
        QCOMPARE(result.uncategorised, 2);
        QVERIFY(result.createdUncategorised);
        QCOMPARE(digest(result.original), kLibraryDigest);
        QCOMPARE(filesIn(dir), (QStringList{"codedb.mdb", "codedb.mdb.jet-backup"}));

        QCOMPARE(rows(path, QStringLiteral("SELECT Groub, Caption FROM Groub ORDER BY Groub")),
                 (QList<QVariantList>{{1, "قواعد البيانات"},
                                      {2, "الملفات"},
                                      {4, "Strings"},
                                      {5, QVariant(QMetaType::fromType<QString>())},
                                      {6, UncategorisedCaption}}));
        QVERIFY(rows(path, QStringLiteral("SELECT Caption FROM Groub WHERE Groub = 5"))[0][0].isNull());

        // id, Head, Groub, User, code chars, code UTF-8 bytes, Learn
        const QList<QVariantList> code = rows(
            path, QStringLiteral("SELECT id, Head, Groub, User, code, Learn FROM Code ORDER BY id"));
        QCOMPARE(code.size(), 12);
        struct Expected {
            int id;
            const char *head;
            int groub, user, chars, bytes;
            QVariant learn; // text, or an int for a length in characters, or Null
        };
        const QVariant null(QMetaType::fromType<QString>());
        const QList<Expected> expected = {
            {1, "فتح قاعدة بيانات Access", 1, 0, 174, 204, 35},
            {2, "Open an ADO connection", 1, 1, 112, 112, "Jet 4.0 provider"},
            {3, "قراءة ملف نصي", 2, 0, 127, 142, ""},
            {4, "كتابة ملف", 2, 1, 63, 68, null},
            {5, "Check empty string", 4, 0, 48, 48, 35},
            {6, "دالة Mid للنصوص", 4, 0, 823, 1245, 36},
            {8, "وحدة الملفات الكاملة", 2, 1, 22496, 25304, 35},
            {9, "Orphan: category deleted", 6, 0, 15, 15, "التصنيف محذوف"},
            {10, "بدون اسم تصنيف", 5, 1, 45, 61, "رسالة ترحيب بالعربي"},
            {11, "Select Case مع النصوص", 5, 0, 83, 86, "اختيار حسب قيمة النص"},
            {12, "UCase و LCase", 4, 1, 46, 61, "Latin and عربي mixed"},
            {13, "Replace", 6, 0, 24, 24, "Groub is Null"},
        };
        for (int i = 0; i < expected.size(); ++i) {
            const Expected &e = expected[i];
            const QVariantList &row = code[i];
            const QString where = QStringLiteral("id %1").arg(e.id);
            QVERIFY2(row[0].toInt() == e.id, qPrintable(where));
            QVERIFY2(row[1].toString() == QString::fromUtf8(e.head), qPrintable(where));
            QVERIFY2(row[2].toInt() == e.groub, qPrintable(where));
            QVERIFY2(row[3].toInt() == e.user && !row[3].isNull(), qPrintable(where));
            QVERIFY2(row[4].toString().size() == e.chars, qPrintable(where));
            QVERIFY2(row[4].toString().toUtf8().size() == e.bytes, qPrintable(where));
            if (e.learn.isNull())
                QVERIFY2(row[5].isNull(), qPrintable(where));
            else if (e.learn.typeId() == QMetaType::Int)
                QVERIFY2(!row[5].isNull() && row[5].toString().size() == e.learn.toInt(), qPrintable(where));
            else
                QVERIFY2(!row[5].isNull() && row[5].toString() == e.learn.toString(),
                         qPrintable(where + QLatin1Char(' ') + shown(row[5])));
        }
        auto codeOf = [&](int id) {
            for (const QVariantList &row : code)
                if (row[0].toInt() == id)
                    return row[4].toString();
            return QString();
        };
        QCOMPARE(codeOf(5), QStringLiteral("Dim x As String\r\nIf x = \"\" Then Exit Sub\r\nEnd If"));
        QCOMPARE(codeOf(12), QStringLiteral("s = UCase(s)\r\nt = LCase(s) ' تحويل حالة الأحرف"));
        QCOMPARE(codeOf(10), QStringLiteral("MsgBox \"السلام عليكم\", vbInformation, \"ترحيب\""));
        QCOMPARE(codeOf(9), QStringLiteral("MsgBox \"Orphan\""));
        QCOMPARE(codeOf(13), QStringLiteral("s = Replace(s, \"a\", \"b\")"));
        const QString longest = codeOf(8);
        QCOMPARE(QCryptographicHash::hash(longest.toUtf8(), QCryptographicHash::Sha256).toHex(),
                 QByteArray("3a4d0225b19cdf783b68ef76ce0371019b1587709f58df9498a3f4dce5f51380"));
        QCOMPARE(longest.count(QStringLiteral("\r\n")), 722);
        QCOMPARE(longest.count(QStringLiteral("End Sub")), 90);
        QVERIFY(longest.startsWith(QStringLiteral("' وحدة الملفات الكاملة\r\nOption Explicit\r\n\r\n")));
        QVERIFY(longest.endsWith(QStringLiteral("\r\nEnd Sub")));

        // The program opens it as any library, and new rows continue after the highest ids.
        testing::library().open(path);
        QCOMPARE(testing::library().addCategory(QStringLiteral("جديد")), 7);
        Snippet s;
        s.head = QStringLiteral("جديد");
        s.groub = 7;
        QCOMPARE(testing::library().addSnippet(s), 14);
        testing::library().close();
        QCOMPARE(digest(result.original), kLibraryDigest);
        QVERIFY(migrationText::done(result).contains(QStringLiteral("أكواد المستخدم: 5")));
    }

    void aFailureLeavesTheOriginalInPlace_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("helperFails");
        QTest::newRow("helper fails") << -1 << true;
        QTest::newRow("after reading") << int(MigrationStep::AfterRead) << false;
        QTest::newRow("after writing") << int(MigrationStep::AfterWrite) << false;
        QTest::newRow("after checking") << int(MigrationStep::AfterCheck) << false;
        QTest::newRow("after the backup") << int(MigrationStep::AfterBackup) << false;
    }

    // The converted library is as readable as the original was; the backup of it is the owner's.
    void theConvertedLibraryKeepsTheOriginalsMode()
    {
        const auto owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        for (const QFile::Permissions mode : {owner | QFile::ReadGroup | QFile::ReadOther, owner}) {
            QTemporaryDir dir;
            const QString path = copyLibrary(dir);
            QVERIFY(QFile::setPermissions(path, mode));
            const QString backup = keepFileBackup(path, BackupReason::Migration);
            migrateJetLibrary(planJetMigration(path, dir.filePath(QStringLiteral("fallback"))));
            QCOMPARE(QFile::permissions(path), mode);
            QCOMPARE(QFile::permissions(backup) & ~owner, QFile::Permissions());
            QCOMPARE(QFile::permissions(backupFolder()) & ~(owner | QFile::ExeOwner | QFile::ExeUser),
                     QFile::Permissions());
        }
    }

    void aFailureLeavesTheOriginalInPlace()
    {
        QFETCH(int, step);
        QFETCH(bool, helperFails);
        QTemporaryDir dir, scripts;
        const QString path = copyLibrary(dir);
        if (helperFails) {
            const QString helper = scripts.filePath(QStringLiteral("helper"));
            testing::writeFile(helper, "#!/bin/sh\necho 'tamrisk-jet-import: قرص تالف' >&2\nexit 1\n");
            QFile::setPermissions(helper, QFile::ReadOwner | QFile::ExeOwner);
            setJetHelperForTests(helper);
        }
        setMigrationFailureHook([step](MigrationStep at) { return int(at) == step; });
        const JetMigrationPlan plan = planJetMigration(path, dir.filePath(QStringLiteral("fallback")));
        try {
            migrateJetLibrary(plan);
            QFAIL("the conversion went on");
        } catch (const StoreError &e) {
            QVERIFY2(e.message().contains(QDir::toNativeSeparators(path)), qPrintable(e.message()));
            if (helperFails)
                QVERIFY2(e.message().contains(QStringLiteral("قرص تالف")), qPrintable(e.message()));
        }
        QCOMPARE(digest(path), kLibraryDigest);
        QCOMPARE(filesIn(dir), QStringList{"codedb.mdb"});
    }

    // Cut where the fault report saw "0 categories, 0 snippets" and snippets with empty code.
    void aCutLibraryIsRefusedAsDamaged_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("read");
        QTest::newRow("before the tables") << 115089 << QStringLiteral("لم يمكن قراءة أي صف منه");
        QTest::newRow("in the long texts") << 152345 << QStringLiteral("الجدول Groub \u200f4 من 4");
    }

    void aCutLibraryIsRefusedAsDamaged()
    {
        QFETCH(int, size);
        QFETCH(QString, read);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("codedb.mdb"));
        const QByteArray cut = testing::readFile(fixture()).left(size);
        testing::writeFile(path, cut);
        const JetMigrationPlan plan = planJetMigration(path, dir.filePath(QStringLiteral("fallback")));
        try {
            migrateJetLibrary(plan);
            QFAIL("a cut library was converted");
        } catch (const StoreError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("تالف")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(read), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("بقي الملف الأصلي في مكانه")), qPrintable(e.message()));
        }
        QCOMPARE(testing::readFile(path), cut);
        QCOMPARE(filesIn(dir), QStringList{"codedb.mdb"});
    }

    void aReadOnlyFolderSendsTheLibraryToTheFallback()
    {
        QTemporaryDir dir;
        const QString path = copyLibrary(dir);
        const QString fallback = dir.filePath(QStringLiteral("data"));
        setMigrationFailureHook([](MigrationStep at) { return at == MigrationStep::ProbeFolder; });
        JetMigrationPlan plan = planJetMigration(path, fallback);
        QVERIFY(plan.inFallbackFolder);
        QVERIFY(!plan.alreadyConverted);
        QCOMPARE(plan.target, QDir(fallback).filePath(QStringLiteral("codedb.mdb")));
        QCOMPARE(plan.backup, path);
        QVERIFY(migrationText::prompt(plan).contains(QDir::toNativeSeparators(plan.target)));

        const JetMigrationResult result = migrateJetLibrary(plan);
        QCOMPARE(result.library, plan.target);
        QCOMPARE(result.original, path);
        QCOMPARE(digest(path), kLibraryDigest);
        QCOMPARE(filesIn(dir), QStringList{"codedb.mdb"});
        QCOMPARE(rows(plan.target, QStringLiteral("SELECT count(*) FROM Code"))[0][0].toInt(), 12);

        // The next start opens what was converted instead of asking again.
        plan = planJetMigration(path, fallback);
        QVERIFY(plan.alreadyConverted);
        QVERIFY_THROWS_EXCEPTION(StoreError, migrateJetLibrary(plan));
        QCOMPARE(digest(path), kLibraryDigest);

        // Nowhere to write at all: refused, nothing changed.
        QTemporaryDir other;
        const QString second = copyLibrary(other);
        testing::writeFile(other.filePath(QStringLiteral("file")), "x");
        plan = planJetMigration(second, other.filePath(QStringLiteral("file/data")));
        QVERIFY_THROWS_EXCEPTION(StoreError, migrateJetLibrary(plan));
        QCOMPARE(digest(second), kLibraryDigest);
        QCOMPARE(filesIn(other), (QStringList{"codedb.mdb", "file"}));
    }
};

TAMRISK_TEST_MAIN(TestLegacyMigration)
#include "tst_legacymigration.moc"
