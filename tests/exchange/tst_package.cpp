#include "TestSupport.h"

#include "PackageFiles.h"
#include "exchange/Package.h"
#include "exchange/Texts.h"
#include "store/CreateDb.h"
#include "store/Library.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

using namespace exchange;
using testing::categoryNames;
using testing::null;

namespace {

// Category name of a snippet, by its category number.
QString categoryOf(const store::Snippet &s)
{
    for (const store::Category &c : testing::library().categories())
        if (QVariant(c.id).toString() == s.groub.toString())
            return c.caption.toString();
    return {};
}

// Bytes this process has read or written through system calls (a line of /proc/self/io).
qint64 ioCounter(const char *name)
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/io");
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith(QByteArray(name) + ':'))
            return line.mid(qstrlen(name) + 1).trimmed().toLongLong();
    qFatal("no %s in /proc/self/io", name);
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT
private slots:
    void writesExactlyTheUserSnippets()
    {
        testing::TempLibrary lib;
        const qint32 a = lib.addCategory(QStringLiteral("واجهات"));
        const qint32 b = lib.addCategory("Files");
        lib.addSnippet("plain 1", a, "x", "y", false);
        lib.addSnippet(QStringLiteral("نافذة"), a, "Form1.Show", QString(), true);
        lib.addSnippet("plain 2", b, "x", "y", QVariant());
        lib.addSnippet("Open file", b, "Open f", "opens", true);
        lib.addSnippet("plain 3", b, "x", "y", false);
        QCOMPARE(listUserSnippets(testing::library()).titles, QStringList({QStringLiteral("نافذة"), "Open file"}));

        const QString path = QDir(lib.dir()).filePath("out.cup");
        const QStringList titles = createPackage(testing::library(), path, "Sami", "2026/12/08", "notes");
        QCOMPARE(titles, QStringList({QStringLiteral("نافذة"), "Open file"}));
        QVERIFY(testing::library().isOpen());
        QCOMPARE(testing::library().path(), lib.path());
        QVERIFY(!QFile::exists(path + "_"));

        testing::SqlFile f(path);
        const auto rows = f.rows("SELECT Head, Code, Learn, Groub, GroubNam FROM Code ORDER BY rowid");
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][0].toString(), QStringLiteral("نافذة"));
        QCOMPARE(rows[0][1].toString(), QStringLiteral("Form1.Show"));
        QVERIFY(rows[0][2].isNull()); // empty comment: Null, never ""
        QCOMPARE(rows[0][3].toInt(), a);
        QCOMPARE(rows[0][4].toString(), QStringLiteral("واجهات"));
        QCOMPARE(rows[1][4].toString(), QStringLiteral("Files"));
        QCOMPARE(rows[1][2].toString(), QStringLiteral("opens"));
        const auto header = f.rows("SELECT Name, Date, Notes FROM User");
        QCOMPARE(header.size(), 1);
        QCOMPARE(header[0], QVariantList({"Sami", "2026/12/08", "notes"}));
        // Nothing else in the file but the (here empty) table of languages.
        QCOMPARE(f.value("SELECT count(*) FROM sqlite_master").toInt(), 3);
        QCOMPARE(f.value("SELECT count(*) FROM SnippetLanguage").toInt(), 0);
        // The library keeps its marks until the user chooses to merge.
        QCOMPARE(listUserSnippets(testing::library()).ids.size(), 2);
    }

    void emptyHeaderGivesNullFieldsOfSizeOne()
    {
        testing::TempLibrary lib;
        lib.addSnippet("t", lib.addCategory("c"), "x", "y", true);
        const QString path = QDir(lib.dir()).filePath("h.cup");
        createPackage(testing::library(), path, QString(), QString(), QString());
        testing::SqlFile f(path);
        const auto header = f.rows("SELECT Name, Date, Notes FROM User");
        QCOMPARE(header.size(), 1);
        for (const QVariant &v : header[0])
            QVERIFY(v.isNull());
        QVERIFY(f.exec("INSERT INTO User (Name, Date, Notes) VALUES ('a', 'b', 'c')"));
        QVERIFY(!f.exec("INSERT INTO User (Name) VALUES ('ab')"));
        QVERIFY(!f.exec("INSERT INTO User (Notes) VALUES ('ab')"));
    }

    void headerSizesFollowTheTexts()
    {
        testing::TempLibrary lib;
        lib.addSnippet("t", lib.addCategory("c"), "x", "y", true);
        const QString path = QDir(lib.dir()).filePath("h.cup");
        const QString longest(254, QChar(0x0639));
        createPackage(testing::library(), path, longest, "d", QString());
        testing::SqlFile f(path);
        QCOMPARE(f.value("SELECT Name FROM User").toString(), longest);
        QVERIFY(f.exec("INSERT INTO User (Name, Date) VALUES (?, 'dd')", {QString(255, 'n')}));
        QVERIFY(!f.exec("INSERT INTO User (Name) VALUES (?)", {QString(256, 'n')}));
        QVERIFY(!f.exec("INSERT INTO User (Date) VALUES ('ddd')"));
    }

    void tooLongTextsAreRefusedBeforeWriting()
    {
        testing::TempLibrary lib;
        const qint32 c = lib.addCategory(QString(51, QChar(0x0641)));
        lib.addSnippet("t", c, "x", "y", true);
        const QString path = QDir(lib.dir()).filePath("long.cup");
        QVERIFY_THROWS_EXCEPTION(PackageError, checkPackageable(testing::library(), QString(), QString(), QString()));
        QVERIFY_THROWS_EXCEPTION(PackageError, createPackage(testing::library(), path, "n", "d", "o"));
        QVERIFY(!QFile::exists(path));
        QVERIFY(testing::library().isOpen());

        testing::library().renameCategory(c, QString(50, QChar(0x0641)));
        checkPackageable(testing::library(), QString(), QString(), QString());
        QVERIFY_THROWS_EXCEPTION(PackageError,
                                 checkPackageable(testing::library(), QString(255, 'x'), QString(), QString()));
        QVERIFY_THROWS_EXCEPTION(PackageError,
                                 checkPackageable(testing::library(), QString(), QString(), QString(255, 'x')));
        lib.exec("UPDATE Code SET Head = ?", {QString(101, 'h')});
        QVERIFY_THROWS_EXCEPTION(PackageError, checkPackageable(testing::library(), QString(), QString(), QString()));
    }

    void aFailedCompactionRemovesThePackageAndReopensTheLibrary()
    {
        testing::TempLibrary lib;
        lib.addSnippet("t", lib.addCategory("c"), "x", "y", true);
        const QString path = QDir(lib.dir()).filePath("p.cup");
        store::CreateDb::setCompactFailureHook(
            [](store::CreateDb::CompactStep s) { return s == store::CreateDb::CompactStep::AfterCopy; });
        QVERIFY_THROWS_EXCEPTION(store::StoreError, createPackage(testing::library(), path, "n", "d", "o"));
        store::CreateDb::setCompactFailureHook({});
        QCOMPARE(QDir(lib.dir()).entryList(QDir::Files), QStringList{"codedb.mdb"});
        QVERIFY(testing::library().isOpen());
        QCOMPARE(testing::library().path(), lib.path());
        QCOMPARE(listUserSnippets(testing::library()).ids.size(), 1);
    }

    void theLibraryItselfIsNeverReplaced()
    {
        testing::TempLibrary lib;
        lib.addSnippet("t", lib.addCategory("c"), "x", "y", true);
        const QByteArray before = testing::readFile(lib.path());
        QVERIFY_THROWS_EXCEPTION(PackageError, createPackage(testing::library(), lib.path(), "n", "d", "o"));
        QCOMPARE(testing::readFile(lib.path()), before);
        QCOMPARE(testing::library().snippetCount(), 1);
    }

    void aPackageWithoutSnippetsHasItsHeader()
    {
        testing::TempLibrary lib;
        lib.addSnippet("t", lib.addCategory("c"), "x", "y", false);
        const QString path = QDir(lib.dir()).filePath("e.cup");
        QVERIFY(createPackage(testing::library(), path, "n", QString(), QString()).isEmpty());
        const Package package = readPackage(path);
        QVERIFY(package.rows.isEmpty());
        QCOMPARE(package.header.name.toString(), QStringLiteral("n"));
        QVERIFY(package.header.date.isNull());
    }

    void roundTripKeepsArabicAndLargeTexts()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("حزمة.cup"));
        QString big;
        big.reserve(1 << 20);
        while (big.size() < (1 << 20))
            big += QStringLiteral("Dim x As Long ' تعليق عربي\r\n");
        big.truncate(1 << 20);
        struct Sent {
            QString head, code, learn, category;
        };
        const QList<Sent> sent = {
            {QStringLiteral("فتح ملف نصي"), QStringLiteral("Open \"a.txt\" For Input As #1"),
             QStringLiteral("يفتح الملف للقراءة"), QStringLiteral("الملفات")},
            {QStringLiteral("كود كبير"), big, QStringLiteral("سطر\r\nسطر آخر"), QStringLiteral("الملفات")},
            {QStringLiteral("Mixed عربي"), QStringLiteral("x = \"ك\""), QString(), QStringLiteral("Strings")},
        };
        {
            testing::TempLibrary a;
            QHash<QString, qint32> ids;
            for (const Sent &s : sent) {
                if (!ids.contains(s.category))
                    ids.insert(s.category, a.addCategory(s.category));
                a.addSnippet(s.head, ids.value(s.category), s.code, s.learn, true);
            }
            a.addSnippet("not sent", ids.value(QStringLiteral("Strings")), "x", "y", false);
            createPackage(testing::library(), path, QStringLiteral("سامي"), "2026/12/08", QStringLiteral("ملاحظة"));
        }
        testing::TempLibrary b;
        b.addCategory("Strings");
        const Package package = readPackage(path);
        QCOMPARE(package.header.name.toString(), QStringLiteral("سامي"));
        QCOMPARE(applyPackage(testing::library(), package), 3);
        const QList<store::Snippet> got = testing::library().allSnippets();
        QCOMPARE(got.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(got[i].head.toString(), sent[i].head);
            QCOMPARE(got[i].code.toString(), sent[i].code);
            QCOMPARE(got[i].learn.isNull(), sent[i].learn.isEmpty());
            QCOMPARE(got[i].learn.toString(), sent[i].learn);
            QCOMPARE(categoryOf(got[i]), sent[i].category);
            QVERIFY(got[i].user.isNull()); // arrives unmarked
        }
        QCOMPARE(categoryNames(), QStringList({"Strings", QStringLiteral("الملفات")}));
    }

    void categoriesAreMatchedByExactName()
    {
        testing::TempLibrary lib;
        const qint32 files = lib.addCategory("Files");
        lib.addCategory("Files"); // a second of the same name is not used
        Package p;
        p.header = {null(), null(), null()};
        p.rows = {
            {"a", "x", null(), 1, "Files"}, {"b", "x", null(), 1, "files"}, {"c", "x", null(), 1, "Files "},
            {"d", "x", null(), 7, "New"},   {"e", "x", null(), 7, "New"},
        };
        QCOMPARE(applyPackage(testing::library(), p), 5);
        QCOMPARE(categoryNames(), QStringList({"Files", "Files", "files", "Files ", "New"}));
        const auto snippets = testing::library().allSnippets();
        QCOMPARE(snippets[0].groub.toInt(), files);
        QCOMPARE(snippets[3].groub, snippets[4].groub);
        // Applying again adds everything once more, into the same categories.
        QCOMPARE(applyPackage(testing::library(), p), 5);
        QCOMPARE(testing::library().snippetCount(), 10);
        QCOMPARE(testing::library().categoryCount(), 5);
    }

    void rowsWithoutACategoryGoUnderUncategorised()
    {
        testing::TempLibrary lib;
        Package p;
        p.rows = {
            {"no number", "x", null(), QVariant(QMetaType::fromType<qlonglong>()), "Files"},
            {"no name", "x", null(), 3, null()},
            {"both", null(), null(), QVariant(QMetaType::fromType<qlonglong>()), null()},
        };
        QCOMPARE(applyPackage(testing::library(), p), 3);
        QCOMPARE(categoryNames(), QStringList{QStringLiteral("بدون تصنيف")});
        QCOMPARE(testing::library().snippetCount(), 3);
        QVERIFY(testing::library().allSnippets()[2].code.isNull());
    }

    void aFailurePartWayAddsNothing_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("rows in memory") << false;
        QTest::newRow("rows streamed from the file") << true;
    }

    void aFailurePartWayAddsNothing()
    {
        QFETCH(bool, fromFile);
        testing::TempLibrary lib;
        lib.addSnippet("old", lib.addCategory("Old"), "x", "y", false);
        // The library refuses the last snippet, after thousands went in.
        lib.exec("CREATE TRIGGER refuse BEFORE INSERT ON Code WHEN NEW.Head = 'boom' "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        const QByteArray before = testing::readFile(lib.path());
        Package p;
        for (int i = 0; i < 3000; ++i)
            p.rows.append({QStringLiteral("fine %1").arg(i), "x", null(), 1, QStringLiteral("New %1").arg(i % 7)});
        p.rows.append({"boom", "x", null(), 1, "Old"});
        if (fromFile) {
            const QString path = QDir(lib.dir()).filePath("p.cup");
            QList<QVariantList> rows;
            for (const PackageRow &r : p.rows)
                rows.append({r.head, r.code, r.learn, r.groub, r.groubNam});
            testing::makeRawPackage(path, rows, {"n", "d", "o"});
            const PackageFile package(path);
            QCOMPARE(package.rowCount(), 3001);
            QVERIFY_THROWS_EXCEPTION(store::StoreError, applyPackage(testing::library(), package));
        } else {
            QVERIFY_THROWS_EXCEPTION(store::StoreError, applyPackage(testing::library(), p));
        }
        QCOMPARE(testing::library().snippetCount(), 1);
        QCOMPARE(categoryNames(), QStringList{"Old"});
        QCOMPARE(testing::readFile(lib.path()), before);
    }

    void invalidFilesAreRejected_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        const QString invalid = QStringLiteral("ليس ملف تحديث صالحاً");
        for (const char *k : {"text", "empty", "truncated", "view", "trigger", "virtual", "noUser", "noHeader",
                              "missingColumn", "blobTitle", "hugeNumber", "generated"})
            QTest::newRow(k) << QString::fromLatin1(k) << invalid;
        // Files that cannot be read at all say why, not that they are invalid.
        QTest::newRow("directory") << "directory" << QStringLiteral("تعذرت قراءة الملف");
        QTest::newRow("missing") << "missing" << QStringLiteral("الملف غير موجود");
        QTest::newRow("fifo") << "fifo" << QStringLiteral("ليس ملفاً عادياً");
    }

    void invalidFilesAreRejected()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.cup");
        const QVariantList header{"n", "d", "o"};
        const QList<QVariantList> rows{{"t", "c", "l", 1, "g"}};
        if (kind == "text") {
            testing::writeFile(path, "this is not a package\r\n");
        } else if (kind == "empty") {
            testing::writeFile(path, {});
        } else if (kind == "truncated") {
            QList<QVariantList> many;
            for (int i = 0; i < 200; ++i)
                many.append({QString("t%1").arg(i), QString(500, 'c'), null(), 1, "g"});
            testing::makeRawPackage(path, many, header);
            const QByteArray bytes = testing::readFile(path);
            testing::writeFile(path, bytes.left(bytes.size() / 2));
        } else if (kind == "view") {
            testing::SqlFile f(path);
            f.mustExec("CREATE TABLE Snippets (Head TEXT, Code TEXT, Learn TEXT, Groub INTEGER, GroubNam TEXT)");
            f.mustExec("CREATE VIEW Code AS SELECT * FROM Snippets");
            f.mustExec("CREATE TABLE User (Name TEXT, Date TEXT, Notes TEXT)");
            f.mustExec("INSERT INTO User VALUES ('n', 'd', 'o')");
        } else if (kind == "trigger") {
            testing::makeRawPackage(path, rows, header,
                                    {"CREATE TABLE Log (x)",
                                     "CREATE TRIGGER t AFTER INSERT ON Code BEGIN INSERT INTO Log VALUES (1); END"});
        } else if (kind == "virtual") {
            testing::makeRawPackage(path, rows, header, {"CREATE VIRTUAL TABLE v USING fts4(x)"});
        } else if (kind == "noUser") {
            testing::makeRawPackage(path, rows, header, {"DROP TABLE User"});
        } else if (kind == "noHeader") {
            testing::makeRawPackage(path, rows, {});
        } else if (kind == "missingColumn") {
            testing::SqlFile f(path);
            f.mustExec("CREATE TABLE Code (Head TEXT, Code TEXT, Learn TEXT, Groub INTEGER)");
            f.mustExec("CREATE TABLE User (Name TEXT, Date TEXT, Notes TEXT)");
            f.mustExec("INSERT INTO User VALUES ('n', 'd', 'o')");
        } else if (kind == "blobTitle") {
            testing::makeRawPackage(path, {{QByteArray("\x01\x02", 2), "c", null(), 1, "g"}}, header);
        } else if (kind == "hugeNumber") {
            testing::makeRawPackage(path, {{"t", "c", null(), qint64(1) << 40, "g"}}, header);
        } else if (kind == "generated") {
            testing::SqlFile f(path);
            f.mustExec("CREATE TABLE Code (Head TEXT, Code TEXT, Learn TEXT, Groub INTEGER, "
                       "GroubNam TEXT GENERATED ALWAYS AS (upper(Head)))");
            f.mustExec("CREATE TABLE User (Name TEXT, Date TEXT, Notes TEXT)");
            f.mustExec("INSERT INTO User VALUES ('n', 'd', 'o')");
        } else if (kind == "directory") {
            QDir().mkpath(path);
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); // opening it would block
        }
        const QString error = testing::errorOf([&] { readPackage(path); });
        QVERIFY(error.contains(QDir::toNativeSeparators(path)));
        QVERIFY2(error.contains(expected), qPrintable(error));
        if (expected != QStringLiteral("ليس ملف تحديث صالحاً"))
            QVERIFY(!error.contains(QStringLiteral("ليس ملف تحديث صالحاً")));
    }

    // A header that claims gigabytes the file does not hold: refused without reading or copying them.
    void aHugeSparseClaimIsRefusedAtOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("huge.cup");
        testing::makeRawPackage(path, {{"t", "c", null(), 1, "g"}}, {"n", "d", "o"});
        const qint64 claimed = qint64(6) << 30;
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            const quint32 pages = quint32(claimed / 4096);
            const char count[4] = {char(pages >> 24), char(pages >> 16), char(pages >> 8), char(pages)};
            QVERIFY(f.seek(28) && f.write(count, 4) == 4);
            QVERIFY(f.resize(claimed)); // sparse: a few blocks on the disk
        }
        const qint64 readBefore = ioCounter("rchar"), writtenBefore = ioCounter("wchar");
        const QString error = testing::errorOf([&] { readPackage(path); });
        QVERIFY2(error.contains(QStringLiteral("ليس ملف تحديث صالحاً")), qPrintable(error));
        // Neither read through nor copied: a few megabytes at most either way.
        QCOMPARE_LT(ioCounter("rchar") - readBefore, qint64(16) << 20);
        QCOMPARE_LT(ioCounter("wchar") - writtenBefore, qint64(16) << 20);
    }

    // Titles are cut to what the title box holds; category names, which the add dialog takes at any
    // length, are kept whole.
    void overlongFieldsApplyAsTheAddDialogWould()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("long.cup");
        const QString title = QString(HeadSize, QChar(0x0639)) + QStringLiteral("tail");
        const QString category(GroubNamSize + 10, QChar(0x0641));
        testing::makeRawPackage(path, {{title, "c", null(), 1, category}}, {"n", "d", "o"});
        const PackageFile package(path);
        QCOMPARE(package.titles(), QStringList{title.left(HeadSize)});
        testing::TempLibrary lib;
        const QByteArray before = testing::readFile(lib.path());
        const ApplyPreview preview = previewApply(testing::library(), package); // what a dry run reports
        QCOMPARE(preview.snippets, 1);
        QCOMPARE(preview.newCategories, QStringList{category});
        QCOMPARE(testing::readFile(lib.path()), before);
        QCOMPARE(applyPackage(testing::library(), package), 1);
        const store::Snippet s = testing::library().allSnippets().at(0);
        QCOMPARE(s.head.toString(), title.left(HeadSize));
        QCOMPARE(categoryOf(s), category);
        QVERIFY(previewApply(testing::library(), package).newCategories.isEmpty());
    }

    // The languages go with the package, keyed by its own rows, and come out under the new ids;
    // a name the program does not know is kept as it is.
    void languagesTravelWithThePackage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("langs.cup");
        {
            testing::TempLibrary a;
            const qint32 c = a.addCategory("c");
            a.addSnippet("not mine", c, "x", "y", false);
            const qint32 py = a.addSnippet("py", c, "print(1)", QString(), true);
            a.addSnippet("vb", c, "Dim x", QString(), true);
            const qint32 odd = a.addSnippet("odd", c, "?", QString(), true);
            testing::library().setSnippetLanguage(py, QStringLiteral("Python"));
            testing::library().setSnippetLanguage(odd, QStringLiteral("Fortran 77"));
            createPackage(testing::library(), path, "n", "d", QString());
            testing::SqlFile f(path);
            QCOMPARE(f.rows("SELECT id, Language FROM SnippetLanguage ORDER BY id"),
                     QList<QVariantList>({{1, "Python"}, {3, "Fortran 77"}}));
        }
        testing::TempLibrary b;
        b.addSnippet("before", b.addCategory("c"), "x"); // so the new ids differ from the package's
        const Package package = readPackage(path);
        QCOMPARE(package.rows[0].language, QStringLiteral("Python"));
        QCOMPARE(package.rows[1].language, QString());
        QCOMPARE(applyPackage(testing::library(), PackageFile(path)), 3);
        QHash<QString, QString> byTitle;
        for (const store::Snippet &s : testing::library().allSnippets())
            byTitle.insert(s.head.toString(), testing::library().snippetLanguage(s.id));
        QCOMPARE(byTitle.value("py"), QStringLiteral("Python"));
        QCOMPARE(byTitle.value("vb"), QStringLiteral("Visual Basic"));
        QCOMPARE(byTitle.value("odd"), QStringLiteral("Fortran 77"));
        QCOMPARE(byTitle.value("before"), QStringLiteral("Visual Basic"));
        QCOMPARE(testing::library().snippetLanguages().size(), 2);
    }

    // A package from before languages (no such table) applies as all Visual Basic.
    void aPackageWithoutLanguagesIsAllVisualBasic()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("old.cup");
        testing::makeRawPackage(path, {{"t", "c", "", 5, "g"}, {"u", "d", "", 5, "g"}}, {"n", null(), "o"});
        testing::TempLibrary lib;
        QCOMPARE(applyPackage(testing::library(), PackageFile(path)), 2);
        QVERIFY(testing::library().snippetLanguages().isEmpty());
    }

    // A NUL would cut a title, a category name or a code wherever it is read as a C string: the
    // package is refused whole, and the message names the field.
    void aNulInAnyTextRefusesThePackage_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("field");
        QTest::newRow("title") << 0 << QStringLiteral("عنوان");
        QTest::newRow("code") << 1 << QStringLiteral("نص");
        QTest::newRow("comment") << 2 << QStringLiteral("شرح");
        QTest::newRow("category") << 4 << QStringLiteral("اسم تصنيف");
    }

    void aNulInAnyTextRefusesThePackage()
    {
        QFETCH(int, column);
        QFETCH(QString, field);
        QTemporaryDir dir;
        const QString path = dir.filePath("nul.cup");
        QVariantList row{"t", "c", "l", 1, "g"};
        row[column] = QString::fromUtf8("ab\0cd", 5);
        testing::makeRawPackage(path, {{"ok", "c", "l", 1, "g"}, row}, {"n", "d", "o"});
        const QString error = testing::errorOf([&] { readPackage(path); });
        QVERIFY2(error.contains(field) && error.contains(QStringLiteral("NUL")), qPrintable(error));
    }

    void aValidHandMadePackageIsRead()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("ok.cup");
        testing::makeRawPackage(path, {{"t", "c", "", 5, "g"}, {null(), null(), null(), null(), null()}},
                                {"n", null(), "o"});
        const QByteArray before = testing::readFile(path);
        const Package package = readPackage(path);
        QCOMPARE(package.rows.size(), 2);
        QVERIFY(package.rows[0].learn.isNull()); // "" counts as no value
        QCOMPARE(package.rows[0].groub.toInt(), 5);
        QVERIFY(package.header.date.isNull());
        // Reading never writes the file.
        QCOMPARE(testing::readFile(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"ok.cup"});
    }

    // Jet packages, plain and encrypted, go through the same checks and apply the same way.
    void jetPackagesApplyLikeSqliteOnes()
    {
        QList<QStringList> applied;
        for (const char *name : {"legacy-package.cup", "legacy-package-encrypted.cup"}) {
            QTemporaryDir dir;
            const QString path = dir.filePath(QString::fromLatin1(name));
            QVERIFY(QFile::copy(QStringLiteral(TAMRISK_LEGACY_FIXTURES "/") + QString::fromLatin1(name), path));
            const QByteArray before = testing::readFile(path);
            const Package package = readPackage(path);
            QCOMPARE(package.header.name.toString(), QStringLiteral("أحمد"));
            QCOMPARE(package.header.notes.toString(), QStringLiteral("ملاحظات التحديث"));
            QCOMPARE(package.rows.size(), 4);
            QVERIFY(package.rows[1].learn.isNull());
            testing::TempLibrary lib;
            lib.addCategory(QStringLiteral("Strings"));
            QCOMPARE(applyPackage(testing::library(), package), 4);
            QVERIFY(testing::library().snippetLanguages().isEmpty()); // Jet packages have none
            QStringList rows;
            for (const store::Snippet &s : testing::library().allSnippets())
                rows << QStringLiteral("%1|%2|%3|%4")
                            .arg(s.head.toString(), s.code.toString(), s.learn.toString(),
                                 testing::library().categories().at(s.groub.toInt() - 1).caption.toString());
            applied << rows;
            QCOMPARE(testing::readFile(path), before);
        }
        QCOMPARE(applied[0], applied[1]);
        QCOMPARE(
            applied[0].at(0),
            QStringLiteral("نسخ ملف|FileCopy \"C:\\a.txt\", \"C:\\b.txt\" ' نسخ الملف|ينسخ ملفا إلى مكان آخر|الملفات"));
        // A Null category number goes under the uncategorised category, whatever its name says.
        QVERIFY(applied[0].at(2).endsWith(QStringLiteral("|") + store::UncategorisedCaption));

        // One cut inside its long texts is refused as damaged, never applied with what could be read.
        QTemporaryDir dir;
        const QString cut = dir.filePath(QStringLiteral("cut.cup"));
        testing::writeFile(
            cut, testing::readFile(QStringLiteral(TAMRISK_LEGACY_FIXTURES "/legacy-package.cup")).left(108000));
        try {
            readPackage(cut);
            QFAIL("a cut package was read");
        } catch (const PackageError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("تالف")), qPrintable(e.message()));
        }
    }

    void creditsAreAppendedBesideTheLibrary()
    {
        testing::TempLibrary lib;
        QCOMPARE(creditsPath(testing::library()), QDir(lib.dir()).filePath("Cred.txt"));
        appendCredits(testing::library(), "2026/12/08", QStringLiteral("سامي"), "a\nb");
        appendCredits(testing::library(), PackageHeader{null(), null(), null()});
        // One line per field, whatever the package holds: no forged lines, no control characters.
        appendCredits(testing::library(), "d\x01", QStringLiteral("n\r\nforged\u202Egpj.exe"),
                      QString::fromUtf8("x\0y\x1b\u0085z", 7));
        QCOMPARE(testing::readFile(creditsPath(testing::library())),
                 QStringLiteral("2026/12/08\r\nسامي\r\na b\r\n\r\n\r\n\r\n\r\n\r\n"
                                "d \r\nn  forged gpj.exe\r\nx y  z\r\n\r\n")
                     .toUtf8());
        QFile::remove(creditsPath(testing::library()));
        QDir().mkpath(creditsPath(testing::library())); // cannot be written
        QVERIFY_THROWS_EXCEPTION(platform::FileError, appendCredits(testing::library(), "d", "n", "o"));
    }

    void aReadOnlyLibraryGetsNoCredits()
    {
        testing::TempLibrary lib;
        const QString path = lib.path();
        testing::library().close();
        testing::library().open(path, true);
        QVERIFY(!testing::errorOf([] { appendCredits(testing::library(), "d", "n", "o"); }).isEmpty());
        QVERIFY(!QFileInfo::exists(creditsPath(testing::library())));
    }

    void countLinesHaveTheSignBlank()
    {
        QCOMPARE(text::countLine(text::SearchResult, 3, text::Items), QStringLiteral("نتيجة البحث: 3عنصر/عناصر"));
        QCOMPARE(text::countLine(text::Added, 0, text::ItemsDone), QStringLiteral("تم إضافة: 0عنصر/عناصر بنجاح"));
    }
};

TAMRISK_TEST_MAIN(TestPackage)
#include "tst_package.moc"
