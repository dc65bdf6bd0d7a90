// Opens a library until its tree is shown, and prints the time and the peak memory beside the
// sqlite3 tool reading the tree's columns from the same file in the same run.
// Usage: bench_tree LIBRARY [expand]   (LIBRARY made by make_corpus.py; it may be written to:
//        opening adds the tree and search indexes, so run it on a copy). With "expand" the whole
//        tree is then expanded too. One library per run, so the peak is this library's.
#include "../BenchLibrary.h"
#include "browser/FrmMain.h"
#include "browser/Commands.h"
#include "store/Library.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTreeView>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double ms(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

// The raw floor: the sqlite3 tool reads the same columns the tree shows.
double sqliteMs(const QString &library)
{
    QProcess sqlite;
    sqlite.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    sqlite.start(QStringLiteral("sqlite3"), {library, QStringLiteral("SELECT id, Head, Groub, User FROM Code")});
    if (!sqlite.waitForFinished(-1) || sqlite.exitCode() != 0)
        return -1;
    return ms(t);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        std::printf("usage: bench_tree LIBRARY [expand]\n");
        return 2;
    }
    const QString library = QString::fromLocal8Bit(argv[1]);
    try {
        // Once, so the indexes a first open adds are not timed; then the file is warm for both.
        benchLibrary().open(library);
        benchLibrary().close();
    } catch (const store::StoreError &e) {
        std::printf("cannot open %s: %s\n", argv[1], qPrintable(e.message()));
        return 1;
    }
    const double anchor = sqliteMs(library);
    const double idle = peakMb();

    QElapsedTimer t;
    t.start();
    benchLibrary().open(library);
    const double connected = ms(t);
    browser::FrmMain main(benchLibrary());
    const double created = ms(t);
    main.load();
    const double loaded = ms(t);
    main.show();
    QCoreApplication::processEvents();
    const double opened = ms(t);
    const double openedPeak = peakMb();

    const QAbstractItemModel *tree = main.TVCodeHead()->model();
    const QModelIndex root = tree->index(0, 0);
    qint64 nodes = 0;
    for (int i = 0; i < tree->rowCount(root); ++i)
        nodes += tree->rowCount(tree->index(i, 0, root));
    std::printf("open %lld snippets until the tree is shown: %8.1f ms, sqlite3 reads the tree's columns %8.1f ms "
                "(%.1fx); peak memory %.0f MB (%.0f MB before the open)\n",
                nodes, opened, anchor, anchor > 0 ? opened / anchor : 0.0, openedPeak, idle);
    std::printf("  of which: connection %.1f ms, window %.1f ms, tree and status bar %.1f ms, first paint %.1f ms\n",
                connected, created - connected, loaded - created, opened - loaded);
    if (argc > 2 && qstrcmp(argv[2], "expand") == 0) {
        t.restart();
        main.command(browser::cmd::mnuOpenTree)->trigger();
        QCoreApplication::processEvents();
        std::printf("expand the whole tree: %8.1f ms; peak memory %.0f MB\n", ms(t), peakMb());
    }
    benchLibrary().close();
    return 0;
}
