// Each source read from a small sample of its own: exactly the items expected, malformed files
// named in the message, encodings recognised, and sizes, loops and depth bounded.
#include "importing/core/ImportError.h"
#include "importing/core/ImportSource.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace importing::core;

namespace {

const QString data = QStringLiteral(TAMRISK_IMPORT_DATA);

struct Collect : ItemSink {
    QStringList items;
    QStringList skips;
    void item(const ImportItem &i) override
    {
        items.append(QStringList{i.category, i.title, i.code, i.comment, i.language, i.user ? "user" : "not user"}.join(
            QStringLiteral(" | ")));
    }
    void skipped(const SkippedItem &s) override { skips.append(s.origin + QStringLiteral(" -> ") + s.reason); }
};

QString row(const QString &category, const QString &title, const QString &code, const QString &comment,
            const QString &language, bool user = true)
{
    return QStringList{category, title, code, comment, language, user ? "user" : "not user"}.join(
        QStringLiteral(" | "));
}

Collect read(const QString &path, Format format)
{
    Collect sink;
    readSource(path, format, sink);
    sink.items.sort();
    return sink;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// A SQLite file built from the statements of a script in the test data.
void buildDatabase(const QString &script, const QString &target)
{
    QFile file(script);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString sql = QString::fromUtf8(file.readAll());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("build"));
        db.setDatabaseName(target);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString &statement : sql.split(QStringLiteral(";\n"), Qt::SkipEmptyParts)) {
            if (!statement.trimmed().isEmpty())
                QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("build"));
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestImportSource : public QObject
{
    Q_OBJECT

private slots:
    void folder()
    {
        const Collect sink = read(data + "/folder", Format::Folder);
        const QString vb = QStringLiteral("MsgBox \"مرحبا\"\r\n");
        QCOMPARE(sink.items,
                 sorted({row("أدوات", "hello", vb, "", "Visual Basic"), row("أدوات", "hello", vb, "", "Visual Basic"),
                         row("أدوات / نصوص", "trim", "def trim(s):\n    return s.strip()  # يقص\n", "", "Python"),
                         row("folder", "query", "SELECT 1;\n", "", "SQL")}));
        QCOMPARE(sink.skips, QStringList());
    }

    void exportAllFolder()
    {
        const Collect sink = read(data + "/export-all", Format::Folder);
        QCOMPARE(sink.items,
                 sorted({row("أدوات", "متغير", "Dim a As Integer\r\na = 1", "تعريف متغير\r\nسطر ثان", "Python"),
                         row("Misc", " Print ", "Print \"x\"", "", "", false), row("Misc", "", "", "", "", false)}));
        QCOMPARE(sink.skips, QStringList());
    }

    void vsCode()
    {
        const Collect sink = read(data + "/vscode", Format::VsCode);
        QCOMPARE(sink.items, sorted({row("python", "طباعة تحية", "print('مرحبا')\nprint(\"hello\")",
                                         "يطبع تحية\nالبادئة: pr، print", "Python"),
                                     row("python", "Duplicate", "x = 1", "", "Python"),
                                     row("python", "Duplicate", "x = 1", "البادئة: dup", "Python"),
                                     row("python", "دالة", "function f() {\n\treturn 'ب';\n}", "دالة // ليست تعليقاً",
                                         "JavaScript")}));
        QCOMPARE(sink.skips.size(), 1);
        QVERIFY(sink.skips.constFirst().contains("Not a snippet"));
    }

    void massCodeJson() { checkMassCode(read(data + "/masscode-db.json", Format::MassCode)); }

    void massCodeDatabase()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("massCode.db");
        buildDatabase(data + "/masscode-v4.sql", path);
        checkMassCode(read(path, Format::MassCode));
    }

    void massCodeVault()
    {
        const Collect sink = read(data + "/masscode-vault", Format::MassCode);
        QCOMPARE(sink.items, sorted({row("ويب / CSS", "زر", ".btn { color: blue; }", "زر أزرق", "CSS"),
                                     row("ويب / CSS", "زر", ".btn { color: blue; }", "", "CSS"),
                                     row("ويب", "Page - HTML", "<p>مرحبا</p>\n```", "", "HTML"),
                                     row("ويب", "Page - Script", "alert('hi');", "", "JavaScript"),
                                     row("غير مصنف", "Inbox one", "echo مرحبا", "سطر أول\nsecond line", "Bash")}));
        QCOMPARE(sink.skips.size(), 1);
        QVERIFY(sink.skips.constFirst().contains("Old.md"));
    }

    void snippetsLab()
    {
        const Collect sink = read(data + "/snippetslab.json", Format::SnippetsLab);
        QCOMPARE(sink.items,
                 sorted({row("قواعد البيانات", "عدد الصفوف", "SELECT COUNT(*) FROM t;", "يعد الصفوف", "SQL"),
                         row("قواعد البيانات", "Backup - Dump", "pg_dump db > db.sql", "", "Bash"),
                         row("قواعد البيانات", "Backup - ملاحظة", "نسخة كل ليلة", "", ""),
                         row("قواعد البيانات", "عدد الصفوف", "SELECT COUNT(*) FROM t;", "", "SQL"),
                         row("غير مصنف", "Swift hello", "print(\"مرحبا\")", "", "Swift")}));
        QCOMPARE(sink.skips, QStringList());
    }

    void cherryTree()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("notes.ctb");
        buildDatabase(data + "/cherrytree.sql", path);
        const Collect sink = read(path, Format::CherryTree);
        const QString python = QStringLiteral("with open(\"a\") as f:\n    print(f.read())");
        QCOMPARE(sink.items, sorted({row("برمجة / Python", "قراءة ملف", python, "", "Python"),
                                     row("برمجة / Python", "قراءة ملف", python, "", "Python"),
                                     row("برمجة / Python", "شرح", "cat a.txt\n\nwc -l a.txt",
                                         "يعرض الملف كاملاً\nthen counts lines", "Bash"),
                                     row("notes", "Notes", "plain words", "", "")}));
        QCOMPARE(sink.skips.size(), 1);
        QVERIFY(sink.skips.constFirst().contains("نص فقط"));
        QCOMPARE(detectFormat(path), std::optional(Format::CherryTree));
    }

    void detect_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("format");
        QTest::newRow("folder") << data + "/folder"
                                << "folder";
        QTest::newRow("export-all") << data + "/export-all"
                                    << "folder";
        QTest::newRow("vscode folder") << data + "/vscode"
                                       << "vscode";
        QTest::newRow("vscode json") << data + "/vscode/python.json"
                                     << "vscode";
        QTest::newRow("code-snippets") << data + "/vscode/python.code-snippets"
                                       << "vscode";
        QTest::newRow("masscode json") << data + "/masscode-db.json"
                                       << "masscode";
        QTest::newRow("masscode vault") << data + "/masscode-vault"
                                        << "masscode";
        QTest::newRow("snippetslab") << data + "/snippetslab.json"
                                     << "snippetslab";
        QTest::newRow("not a source") << data + "/masscode-v4.sql"
                                      << "";
    }

    void detect()
    {
        QFETCH(QString, path);
        QFETCH(QString, format);
        const std::optional<Format> found = detectFormat(path);
        QCOMPARE(found ? formatName(*found) : QString(), format);
        if (found)
            QCOMPARE(formatFromName(format), found);
    }

    void malformed_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Format>("format");
        QTest::addColumn<QString>("place");
        QTest::newRow("export-all") << data + "/malformed/export/index.json" << Format::Folder << "السطر 2";
        QTest::newRow("vscode") << data + "/malformed/python.json" << Format::VsCode << "السطر 3، العمود 33";
        QTest::newRow("masscode json") << data + "/malformed/db.json" << Format::MassCode << "السطر 3";
        QTest::newRow("masscode vault") << data + "/malformed/vault/Folder/broken.md" << Format::MassCode << "السطر 1";
        QTest::newRow("masscode database") << "masscode.db" << Format::MassCode << "";
        QTest::newRow("snippetslab") << data + "/malformed/snippetslab.json" << Format::SnippetsLab << "السطر 3";
        QTest::newRow("cherrytree") << "broken.ctb" << Format::CherryTree << "مكسورة";
    }

    void malformed()
    {
        QFETCH(QString, path);
        QFETCH(Format, format);
        QFETCH(QString, place);
        QTemporaryDir dir;
        QString source = path;
        QString named = path;
        if (path == "masscode.db") {
            named = source = dir.filePath(path);
            writeBytes(source, QByteArray("SQLite format 3\0", 16) + QByteArray(4096, '\x7f'));
        } else if (path == "broken.ctb") {
            named = source = dir.filePath(path);
            buildDatabase(data + "/malformed/cherrytree.sql", source);
        } else if (path.endsWith("index.json")) {
            source = QFileInfo(path).path();
        } else if (path.endsWith("broken.md")) {
            source = data + "/malformed/vault";
        }
        Collect sink;
        try {
            readSource(source, format, sink);
            QFAIL("no ImportError");
        } catch (const ImportError &error) {
            QVERIFY2(error.message().contains(QDir::toNativeSeparators(named)), qPrintable(error.message()));
            QVERIFY2(error.message().contains(place), qPrintable(error.message()));
        }
    }

    void encodings()
    {
        QTemporaryDir dir;
        const QString arabic = QStringLiteral("مرحبا\nhello");
        writeBytes(dir.filePath("utf16le.txt"),
                   QByteArray("\xFF\xFE")
                       + QByteArray(reinterpret_cast<const char *>(arabic.utf16()), arabic.size() * 2));
        QByteArray be("\xFE\xFF");
        for (const QChar c : arabic)
            be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
        writeBytes(dir.filePath("utf16be.txt"), be);
        writeBytes(dir.filePath("cp1256.txt"), QByteArray("\xE3\xD1\xCD\xC8\xC7\nhello"));
        writeBytes(dir.filePath("utf8bom.txt"), QByteArray("\xEF\xBB\xBF") + arabic.toUtf8());
        writeBytes(dir.filePath("binary.bin"), QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
        writeBytes(dir.filePath("control.dat"), QByteArray("\x01\x02\x03\xE3\xD1"));
        const Collect sink = read(dir.path(), Format::Folder);
        const QString category = QFileInfo(dir.path()).fileName();
        QCOMPARE(sink.items,
                 sorted({row(category, "cp1256", arabic, "", ""), row(category, "utf16be", arabic, "", ""),
                         row(category, "utf16le", arabic, "", ""), row(category, "utf8bom", arabic, "", "")}));
        QCOMPARE(sink.skips.size(), 2);
        for (const QString &skip : sink.skips)
            QVERIFY2(skip.contains("ليس ملفاً نصياً"), qPrintable(skip));
    }

    void bounds()
    {
        QTemporaryDir dir;
        // Sparse files: the size is there without the disk or the time to write it.
        QFile huge(dir.filePath("huge.json"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(2) * 1024 * 1024 * 1024));
        huge.close();
        QDir(dir.path()).mkpath("tree/a");
        QFile big(dir.filePath("tree/a/big.txt"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(qint64(100) * 1024 * 1024));
        big.close();
        QVERIFY(QFile::link(dir.filePath("tree"), dir.filePath("tree/a/loop")));
        QString deep = dir.filePath("tree/deep");
        for (int i = 0; i < 40; ++i)
            deep += QStringLiteral("/d");
        QVERIFY(QDir().mkpath(deep));
        writeBytes(deep + "/x.txt", "x");

        QElapsedTimer timer;
        timer.start();
        Collect sink;
        try {
            readSource(dir.filePath("huge.json"), Format::VsCode, sink);
            QFAIL("a 2 GB file was read");
        } catch (const ImportError &error) {
            QVERIFY2(error.message().contains(QDir::toNativeSeparators(dir.filePath("huge.json"))),
                     qPrintable(error.message()));
        }
        readSource(dir.filePath("tree"), Format::Folder, sink);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(sink.items, QStringList());
        const QString skipped = sink.skips.join('\n');
        QCOMPARE(sink.skips.size(), 3);
        QVERIFY2(skipped.contains("big.txt -> الملف أكبر من 64"), qPrintable(skipped));
        QVERIFY2(skipped.contains("loop -> رابط رمزي"), qPrintable(skipped));
        QVERIFY2(skipped.contains("أعمق من 32"), qPrintable(skipped));
    }

private:
    void checkMassCode(const Collect &sink)
    {
        QCOMPARE(sink.items, sorted({row("ويب / CSS", "زر", ".btn { color: blue; }", "زر أزرق", "CSS"),
                                     row("ويب / CSS", "زر", ".btn { color: blue; }", "", "CSS"),
                                     row("ويب", "Page - HTML", "<p>مرحبا</p>", "", "HTML"),
                                     row("ويب", "Page - Script", "alert('hi');", "", "JavaScript"),
                                     row("غير مصنف", "Inbox one", "echo مرحبا", "", "Bash")}));
        QCOMPARE(sink.skips.size(), 1);
        QVERIFY(sink.skips.constFirst().contains("Old"));
    }
};

QTEST_GUILESS_MAIN(TestImportSource)
#include "tst_importsource.moc"
