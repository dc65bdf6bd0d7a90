// Times update packages beside SQLite doing the same work by hand, in the same run:
//   - making a package of 10,000 user snippets   vs  create + INSERT ... SELECT + VACUUM INTO
//   - opening and checking it                     vs  quick_check + a scan of the same columns
//   - applying it to a library of 100,000         vs  INSERT ... SELECT of the same rows
//   - reading and applying a generated 250 MB package, with the peak memory of each step above
//     the process's use before it (VmHWM, reset between steps), vs a raw scan and INSERT ... SELECT.
// usage: bench_exchange SOURCE_CORPUS TARGET_CORPUS [BIG_MB]
//   SOURCE_CORPUS: make_corpus.py output with 10,000 snippets (all are marked as the user's here)
//   TARGET_CORPUS: make_corpus.py output with 100,000 snippets
//   BIG_MB: size of the generated package (default 250; 0 skips it)
// Both corpora are copied first; they themselves are not changed.
#include "../BenchLibrary.h"
#include "exchange/core/Package.h"
#include "store/Library.h"
#include "store/SearchIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <optional>

#include <unistd.h>

#include <sqlite3.h>

namespace {

int fail(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    return 1;
}

// A "Vm...:" figure of /proc/self/status, in MB.
double statusMb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

// Starts a new peak: the high-water mark becomes the present use (Linux 4.0 and later).
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

struct Step {
    double seconds = 0;
    double startMb = 0, peakMb = 0;
};

Step measure(const std::function<void()> &work)
{
    resetPeak();
    const double start = statusMb("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    work();
    Step s;
    s.seconds = timer.nsecsElapsed() / 1e9;
    s.startMb = start;
    s.peakMb = statusMb("VmHWM:");
    return s;
}

void sql(sqlite3 *db, const QString &text)
{
    char *error = nullptr;
    if (sqlite3_exec(db, text.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : "?");
        sqlite3_free(error);
        throw store::StoreError(message + QStringLiteral(" in: ") + text);
    }
}

QString quoted(const QString &path)
{
    QString p = path;
    p.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + p + QLatin1Char('\'');
}

// Runs work on a connection of its own to file.
double raw(const QString &file, const std::function<void(sqlite3 *)> &work)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    QElapsedTimer timer;
    timer.start();
    work(db);
    const double seconds = timer.nsecsElapsed() / 1e9;
    sqlite3_close(db);
    return seconds;
}

const char *kPackageTables = "CREATE TABLE Code (Head TEXT, Code TEXT, Learn TEXT, Groub INTEGER, GroubNam TEXT);"
                             "CREATE TABLE User (Name TEXT, Date TEXT, Notes TEXT);";

// A package of about megabytes MB: rows of 10,000 characters of code, 40 categories.
void makeBigPackage(const QString &path, int megabytes)
{
    raw(path, [&](sqlite3 *db) {
        sql(db, QString::fromLatin1(kPackageTables));
        sql(db, QStringLiteral("INSERT INTO User VALUES ('Bench', '2026/12/09', NULL)"));
        sql(db, QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                               "INSERT INTO Code SELECT 'Big snippet ' || i, hex(randomblob(5000)), "
                               "'comment ' || i, i % 40, 'Big category ' || (i % 40) FROM n")
                    .arg(qint64(megabytes) * 100));
    });
}

const char *indexState()
{
    switch (benchLibrary().searchIndex().status()) {
    case store::SearchIndex::Status::Ready:
        return "ready";
    case store::SearchIndex::Status::Building:
        return "building";
    default:
        return "unavailable";
    }
}

void line(const char *what, double seconds, double anchor, const char *anchorWhat)
{
    std::printf("%-46s %7.3f s   %-34s %7.3f s   ratio %5.2f\n", what, seconds, anchorWhat, anchor,
                anchor > 0 ? seconds / anchor : 0.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return fail(QStringLiteral("usage: bench_exchange SOURCE_CORPUS(10k) TARGET_CORPUS(100k) [BIG_MB]"));
    const int bigMb = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 250;
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_exchange-XXXXXX"));
    const QString source = dir.filePath(QStringLiteral("source/codedb.mdb"));
    const QString target = dir.filePath(QStringLiteral("target/codedb.mdb"));
    QDir().mkpath(dir.filePath(QStringLiteral("source")));
    QDir().mkpath(dir.filePath(QStringLiteral("target")));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), source) || !QFile::copy(QString::fromLocal8Bit(argv[2]), target))
        return fail(QStringLiteral("cannot copy the corpora"));
    // The copies' writeback would otherwise compete with the first syncs timed below.
    ::sync();
    const QString package = dir.filePath(QStringLiteral("bench.cup"));
    const QString anchorPackage = dir.filePath(QStringLiteral("anchor.cup"));
    const QString big = dir.filePath(QStringLiteral("big.cup"));

    try {
        // ---- create -------------------------------------------------------------------------
        benchLibrary().open(source);
        QSqlQuery(benchLibrary().connection().database()).exec(QStringLiteral("UPDATE Code SET User = 1"));
        const qint64 users = exchange::listUserSnippets(benchLibrary()).ids.size();
        const Step create = measure([&] {
            exchange::createPackage(benchLibrary(), package, QStringLiteral("Bench"), QStringLiteral("2026/12/08"), {});
        });
        benchLibrary().close();
        const double createAnchor = raw(anchorPackage + QLatin1Char('_'), [&](sqlite3 *db) {
            sql(db, QString::fromLatin1(kPackageTables));
            sql(db, QStringLiteral("ATTACH %1 AS lib").arg(quoted(source)));
            sql(db, QStringLiteral("BEGIN; INSERT INTO Code SELECT NULLIF(c.Head, ''), NULLIF(c.code, ''), "
                                   "NULLIF(c.Learn, ''), c.Groub, g.Caption FROM lib.Code c LEFT JOIN lib.Groub g "
                                   "ON g.Groub = c.Groub WHERE c.User = 1 ORDER BY c.rowid; "
                                   "INSERT INTO User VALUES ('Bench', '2026/12/08', NULL); COMMIT"));
            sql(db, QStringLiteral("VACUUM INTO %1").arg(quoted(anchorPackage)));
        });
        line(qPrintable(QStringLiteral("create package of %1 user snippets").arg(users)), create.seconds, createAnchor,
             "sqlite: create + INSERT SELECT + VACUUM");

        // ---- apply 10k ------------------------------------------------------------------------
        benchLibrary().open(target);
        // A library in use has its search index; the apply keeps it in step.
        QElapsedTimer indexing;
        indexing.start();
        benchLibrary().searchIndex().buildAll();
        std::printf("   (search index of the target built in %.1f s, not timed)\n", indexing.nsecsElapsed() / 1e9);
        const qint64 before = benchLibrary().snippetCount();
        const char *state = indexState();
        // Each step and its anchor start with nothing left to write back from the steps before.
        ::sync();
        std::optional<exchange::PackageFile> opened;
        const Step open = measure([&] { opened.emplace(package); });
        ::sync();
        const double openAnchor = raw(package, [&](sqlite3 *db) {
            sql(db, QStringLiteral("PRAGMA quick_check"));
            sql(db, QStringLiteral("SELECT count(*), total(typeof(Head) = 'blob' OR typeof(Code) = 'blob' OR "
                                   "typeof(Learn) = 'blob' OR typeof(Groub) = 'real' OR typeof(GroubNam) = 'blob') "
                                   "FROM Code"));
        });
        ::sync();
        int added = 0;
        const Step apply = measure([&] {
            added = exchange::applyPackage(benchLibrary(), *opened);
            exchange::appendCredits(benchLibrary(), QStringLiteral("2026/12/08"), QStringLiteral("Bench"), {});
        });
        opened.reset();
        const qint64 after = benchLibrary().snippetCount();
        // The window folds the new rows into the search index afterwards, in short steps.
        ::sync();
        const Step fold = measure([] {
            while (benchLibrary().searchIndex().buildStep(20)) { }
        });
        benchLibrary().close();
        const double foldAnchor = raw(package, [&](sqlite3 *db) {
            sql(db, QStringLiteral("CREATE VIRTUAL TABLE temp.f USING fts5(h, c, l, tokenize='trigram'); "
                                   "INSERT INTO temp.f SELECT Head, Code, Learn FROM Code"));
        });
        ::sync();
        // The rows as they are, under the sender's category numbers: spread over the categories
        // as the applied ones are, so the tree index is written alike.
        const double applyAnchor = raw(target, [&](sqlite3 *db) {
            sql(db, QStringLiteral("ATTACH %1 AS package").arg(quoted(package)));
            sql(db, QStringLiteral("BEGIN; INSERT INTO Code (Head, Groub, code, Learn) SELECT Head, Groub, Code, "
                                   "Learn FROM package.Code ORDER BY rowid; COMMIT"));
        });
        line("open and check the package", open.seconds, openAnchor, "sqlite: quick_check + type scan");
        line(qPrintable(QStringLiteral("apply it to a library of %1 (%2 -> %3)").arg(before).arg(before).arg(after)),
             apply.seconds, applyAnchor, "sqlite: INSERT SELECT, same rows");
        std::printf("   (search index of the library: %s; %.1f MB package)\n", state, QFileInfo(package).size() / 1e6);
        line("then fold them into the search index (background)", fold.seconds, foldAnchor,
             "sqlite: FTS5 trigram index, same rows");
        if (added != users)
            return fail(QStringLiteral("added %1 of %2").arg(added).arg(users));

        // ---- a big package ----------------------------------------------------------------------
        if (bigMb > 0) {
            makeBigPackage(big, bigMb);
            const double idle = statusMb("VmRSS:");
            benchLibrary().open(target);
            std::optional<exchange::PackageFile> file;
            qint64 titles = 0;
            const Step read = measure([&] {
                file.emplace(big);
                titles = file->titles().size();
            });
            const double readAnchor = raw(big, [&](sqlite3 *db) {
                sql(db, QStringLiteral("SELECT sum(length(Head)), sum(length(Code)) FROM Code"));
            });
            const Step bigApply = measure([&] { exchange::applyPackage(benchLibrary(), *file); });
            file.reset();
            benchLibrary().close();
            const double bigAnchor = raw(target, [&](sqlite3 *db) {
                sql(db, QStringLiteral("ATTACH %1 AS package").arg(quoted(big)));
                sql(db, QStringLiteral("BEGIN; INSERT INTO Code (Head, Groub, code, Learn) SELECT Head, 1, Code, "
                                       "Learn FROM package.Code ORDER BY rowid; COMMIT"));
            });
            std::printf("%.0f MB package of %lld snippets (idle use %.0f MB):\n", QFileInfo(big).size() / 1e6, titles,
                        idle);
            line("  read and check it (open + titles)", read.seconds, readAnchor, "sqlite: scan every text");
            line("  apply it", bigApply.seconds, bigAnchor, "sqlite: INSERT SELECT, same rows");
            std::printf("  peak memory: read %.0f MB (%.0f MB before it), apply %.0f MB (%.0f MB before it); "
                        "%.0f MB above idle at most\n",
                        read.peakMb, read.startMb, bigApply.peakMb, bigApply.startMb,
                        qMax(read.peakMb, bigApply.peakMb) - idle);
        }
    } catch (const platform::Error &e) {
        return fail(e.message());
    }
    return 0;
}
