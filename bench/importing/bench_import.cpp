// Times imports into a library of 100,000 snippets beside SQLite inserting the same rows by hand in
// one transaction, with the peak memory of each (getrusage of a child process that does only that):
//   - a folder of N files (100 category folders), and one of N/10 files, to show that memory does
//     not follow the folder's size;
//   - one VS Code snippets file of N snippets.
// usage: bench_import CORPUS [N=100000] [WORK_DIR]
//   CORPUS: make_corpus.py output (copied first; the corpus itself is not changed).
// The search index of the target is built before the runs (not timed): a library in use has it.
#include "../BenchLibrary.h"
#include "importing/core/Apply.h"
#include "store/Backup.h"
#include "store/Library.h"
#include "store/SearchIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace importing::core;

int fail(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    return 1;
}

// The rows every source and the raw insert hold: category, title, code. Deterministic.
struct Row {
    QString category, title, code;
};

Row rowAt(int i)
{
    static const char *words[] = {"Dim", "As", "String", "If", "Then", "End", "Sub", "Function", "For", "Next",
                                  "strName", "lngCount", "rsData", "txtValue", "objConn"};
    QString code;
    quint32 x = quint32(i) * 2654435761u + 1;
    while (code.size() < 900) {
        for (int w = 0; w < 8; ++w) {
            x = x * 1664525u + 1013904223u;
            code += QLatin1String(words[(x >> 16) % 15]) + QLatin1Char(' ');
        }
        code += (x % 7 == 0) ? QStringLiteral("' تعليق بالعربية\n") : QStringLiteral("\n");
    }
    return {QStringLiteral("فئة %1 Import").arg(i % 100), QStringLiteral("Imported %1 مستورد").arg(i), code};
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void makeFolder(const QString &root, int n)
{
    for (int i = 0; i < n; ++i) {
        const Row r = rowAt(i);
        const QString dir = root + QLatin1Char('/') + r.category;
        if (i < 100)
            QDir().mkpath(dir);
        writeFile(dir + QLatin1Char('/') + r.title + QStringLiteral(".vb"), r.code.toUtf8());
    }
}

void makeVsCode(const QString &path, int n)
{
    // Written by hand: one QJsonObject of 100,000 members would be built in quadratic time.
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write("{\n");
    for (int i = 0; i < n; ++i) {
        const Row r = rowAt(i);
        const QJsonObject entry{{QStringLiteral("prefix"), QStringLiteral("p%1").arg(i)},
                                {QStringLiteral("scope"), QStringLiteral("vb")},
                                {QStringLiteral("body"), QJsonArray::fromStringList(r.code.split(QLatin1Char('\n')))},
                                {QStringLiteral("description"), QStringLiteral("وصف %1").arg(i)}};
        QByteArray member = QJsonDocument(QJsonObject{{r.title, entry}}).toJson(QJsonDocument::Compact);
        member = member.mid(1, member.size() - 2); // without the braces
        f.write(member);
        f.write(i + 1 < n ? ",\n" : "\n");
    }
    f.write("}\n");
}

double rssMb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// Runs work in a child process on a fresh copy of the indexed library; the child prints its figures.
void measured(const char *name, const QString &pristine, const QString &work,
              const std::function<QString(const QString &)> &run)
{
    QFile::remove(work);
    if (!QFile::copy(pristine, work))
        qFatal("cannot copy %s", qPrintable(pristine));
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        // The library's file is mapped (mmap_size): its pages count in the peak of getrusage though
        // they are the file's, not memory of the program. The anonymous part is sampled on the side.
        std::atomic<bool> done{false};
        double anonPeak = 0;
        std::thread sampler([&] {
            while (!done) {
                anonPeak = std::max(anonPeak, rssMb("RssAnon:"));
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        const QString figures = run(work);
        done = true;
        sampler.join();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%-34s %s, peak %.0f MB (anonymous %.0f MB)\n", name, qPrintable(figures), usage.ru_maxrss / 1024.0,
                    anonPeak);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::printf("%-34s failed (status %d)\n", name, status);
}

QString importInto(const QString &library, const QString &source, Format format)
{
    benchLibrary().open(library);
    const double before = rssMb("VmRSS:");
    QElapsedTimer t;
    t.start();
    ImportResult r;
    try {
        r = applyImport(benchLibrary(), sourceAt(source, format), DuplicateChoice::Skip);
    } catch (const platform::Error &e) {
        return QStringLiteral("failed: ") + e.message();
    }
    return QStringLiteral("%1 s (%2 added, %3 skipped; backup included), before %4 MB")
        .arg(t.nsecsElapsed() / 1e9, 0, 'f', 2)
        .arg(r.added)
        .arg(r.skipped)
        .arg(before, 0, 'f', 0);
}

// The parts of an import on their own: the backup it keeps first, and reading the source (a preview
// of new categories reads the source and touches the library hardly at all).
QString backupOnly(const QString &library)
{
    benchLibrary().open(library);
    QElapsedTimer t;
    t.start();
    store::keepBackup(benchLibrary(), store::BackupReason::Package);
    return QStringLiteral("%1 s").arg(t.nsecsElapsed() / 1e9, 0, 'f', 2);
}

QString readOnly(const QString &library, const QString &source, Format format)
{
    benchLibrary().open(library);
    QElapsedTimer t;
    t.start();
    const ImportPreview p = previewImport(benchLibrary(), sourceAt(source, format), DuplicateChoice::Skip);
    return QStringLiteral("%1 s (%2 items)").arg(t.nsecsElapsed() / 1e9, 0, 'f', 2).arg(p.items);
}

QString rawInsert(const QString &library, int n)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(library).constData(), &db);
    QElapsedTimer t;
    t.start();
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt *category = nullptr, *snippet = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO Groub (Caption) VALUES (?)", -1, &category, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO Code (Head, Groub, code, Learn, User) VALUES (?, ?, ?, '', 1)", -1, &snippet,
                       nullptr);
    qint64 ids[100];
    for (int c = 0; c < 100; ++c) {
        const QByteArray name = rowAt(c).category.toUtf8();
        sqlite3_bind_text(category, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_step(category);
        sqlite3_reset(category);
        ids[c] = sqlite3_last_insert_rowid(db);
    }
    for (int i = 0; i < n; ++i) {
        const Row r = rowAt(i);
        const QByteArray title = r.title.toUtf8(), code = r.code.toUtf8();
        sqlite3_bind_text(snippet, 1, title.constData(), int(title.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(snippet, 2, ids[i % 100]);
        sqlite3_bind_text(snippet, 3, code.constData(), int(code.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(snippet) != SQLITE_DONE)
            return QStringLiteral("failed: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_reset(snippet);
    }
    sqlite3_finalize(category);
    sqlite3_finalize(snippet);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double s = t.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    return QStringLiteral("%1 s (%2 rows, texts made on the fly)").arg(s, 0, 'f', 2).arg(n);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return fail(QStringLiteral("usage: bench_import CORPUS [N=100000] [WORK_DIR]"));
    QTemporaryDir temp(argc > 3 ? QString::fromLocal8Bit(argv[3]) + QStringLiteral("/bench-import-XXXXXX")
                                : QDir::tempPath() + QStringLiteral("/bench-import-XXXXXX"));
    // Backups the imports keep go under the work folder, never into the user's own.
    qputenv("XDG_DATA_HOME", QFile::encodeName(temp.path() + QStringLiteral("/data")));
    QCoreApplication app(argc, argv);
    const int n = argc > 2 ? QByteArray(argv[2]).toInt() : 100000;
    const QString dir = temp.path();
    const QString pristine = dir + QStringLiteral("/indexed.mdb"), work = dir + QStringLiteral("/work.mdb");
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), pristine))
        return fail(QStringLiteral("cannot copy the corpus"));

    QElapsedTimer t;
    t.start();
    makeFolder(dir + QStringLiteral("/folder"), n);
    makeFolder(dir + QStringLiteral("/folder-tenth"), n / 10);
    makeVsCode(dir + QStringLiteral("/all.code-snippets"), n);
    std::printf("sources made in %.1f s (not timed): %d files, %d files, one VS Code file of %.0f MB\n",
                t.nsecsElapsed() / 1e9, n, n / 10, QFileInfo(dir + QStringLiteral("/all.code-snippets")).size() / 1e6);
    {
        benchLibrary().open(pristine);
        t.restart();
        benchLibrary().searchIndex().buildAll();
        std::printf("library of %lld snippets, search index built in %.1f s (not timed)\n",
                    benchLibrary().snippetCount(), t.nsecsElapsed() / 1e9);
        benchLibrary().close();
    }
    std::fflush(stdout);

    measured("SQLite, same rows, one transaction", pristine, work, [&](const QString &lib) { return rawInsert(lib, n); });
    measured("import, folder", pristine, work, [&](const QString &lib) {
        return importInto(lib, dir + QStringLiteral("/folder"), Format::Folder);
    });
    measured("  of which the backup", pristine, work, backupOnly);
    measured("  reading the folder (preview)", pristine, work, [&](const QString &lib) {
        return readOnly(lib, dir + QStringLiteral("/folder"), Format::Folder);
    });
    measured("import, folder of a tenth", pristine, work, [&](const QString &lib) {
        return importInto(lib, dir + QStringLiteral("/folder-tenth"), Format::Folder);
    });
    measured("import, VS Code file", pristine, work, [&](const QString &lib) {
        return importInto(lib, dir + QStringLiteral("/all.code-snippets"), Format::VsCode);
    });
    measured("  reading the VS Code file (preview)", pristine, work, [&](const QString &lib) {
        return readOnly(lib, dir + QStringLiteral("/all.code-snippets"), Format::VsCode);
    });
    return 0;
}
