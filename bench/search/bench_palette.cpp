// Times the quick palette over a library, e.g. the benchmark corpus:
//   python3 make_corpus.py /tmp/lib100k.mdb 100000 && bench_palette /tmp/lib100k.mdb
// The library is copied first. Printed, each beside its anchor from the same run:
// - from `tamrisk --palette` to a palette that takes keys, with a window already running on the
//   library (the window shows it) and without (the palette starts alone), beside starting and
//   ending `tamrisk --version`, a start of the same program that does nothing;
// - each keystroke of a word typed letter by letter: the palette's answer (search, order and
//   categories), beside the find dialog's search for the same letters.
#include "../BenchLibrary.h"
#include "app/SingleInstance.h"
#include "search/core/QuickSearch.h"
#include "store/Library.h"
#include "store/SearchIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// Starts program with arguments and waits for the palette's ready file; ms from the start.
double timeUntilReady(const QString &program, const QStringList &arguments, const QString &readyFile,
                      QProcess &process)
{
    QFile::remove(readyFile);
    const qint64 start = monotonicNs();
    process.start(program, arguments);
    for (int waited = 0; waited < 20000; ++waited) {
        QFile file(readyFile);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray stamp = file.readAll();
            if (!stamp.isEmpty())
                return (stamp.toLongLong() - start) / 1e6;
        }
        QThread::usleep(200);
        QCoreApplication::processEvents();
    }
    return -1;
}

double timeVersion(const QString &program)
{
    QElapsedTimer t;
    t.start();
    QProcess::execute(program, {QStringLiteral("--version")});
    return t.nsecsElapsed() / 1e6;
}

void startupFigures(const QString &program, const QString &library, const QString &readyFile)
{
    QList<double> alone, running, version;
    for (int i = 0; i < 5; ++i) {
        QProcess palette;
        alone << timeUntilReady(program, {QStringLiteral("--palette"), QStringLiteral("--library"), library},
                                readyFile, palette);
        palette.kill();
        palette.waitForFinished();
        version << timeVersion(program);
    }

    QProcess window;
    window.start(program, {QStringLiteral("--library"), library});
    const QString name = app::SingleInstance::serverName(library);
    for (int i = 0; i < 400; ++i) { // until the window answers on its channel
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(50))
            break;
        QThread::msleep(50);
    }
    // The first request waits for the window to finish opening; the figures are for a window in use.
    for (int i = 0; i < 6; ++i) {
        QProcess second;
        running << timeUntilReady(program, {QStringLiteral("--palette"), QStringLiteral("--library"), library},
                                  readyFile, second);
        second.waitForFinished();
        if (i == 0)
            running.clear();
    }
    window.kill();
    window.waitForFinished();

    std::printf("start to a palette that takes keys (median of 5):\n");
    std::printf("  window running:         %8.1f ms\n", median(running));
    std::printf("  alone (opens library):  %8.1f ms\n", median(alone));
    std::printf("  anchor tamrisk --version: %6.1f ms\n", median(version));
}

void keystrokeFigures(const QString &word)
{
    const QHash<qint32, QString> categories = search::QuickSearch::categoryNames(benchLibrary());
    std::printf("typing \"%s\" (ms per keystroke: palette / find dialog's search, matches):\n", qPrintable(word));
    double worst = 0;
    for (int n = 1; n <= word.size(); ++n) {
        const QString typed = word.left(n);
        QElapsedTimer t;
        t.start();
        search::QuickSearch quick(benchLibrary(), typed, categories);
        quick.runToEnd();
        const QList<search::QuickHit> shown = quick.results();
        const double palette = t.nsecsElapsed() / 1e6;

        t.restart();
        search::SearchFields fields;
        fields.caption = fields.code = fields.learn = true;
        search::SearchOptions options;
        options.arabic = true;
        search::SnippetSearch plain(benchLibrary(), typed, fields, search::SnippetSearch::Measure(), options);
        plain.runToEnd();
        const double anchor = t.nsecsElapsed() / 1e6;
        worst = std::max(worst, palette);
        std::printf("  %-14s %8.1f / %8.1f   %lld matches (%lld shown)\n", qPrintable(typed), palette, anchor,
                    qlonglong(plain.hits().size()), qlonglong(shown.size()));
    }
    std::printf("  slowest keystroke: %.1f ms\n", worst);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_palette LIBRARY_FILE [TAMRISK_PROGRAM]\n");
        return 2;
    }
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                     : QDir(QCoreApplication::applicationDirPath())
                                           .filePath(QStringLiteral("../../src/app/tamrisk"));
    QTemporaryDir dir;
    const QString library = dir.filePath(QStringLiteral("codedb.mdb"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), library)) {
        std::fprintf(stderr, "cannot copy the library\n");
        return 1;
    }
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const QString readyFile = dir.filePath(QStringLiteral("ready"));
    qputenv("TAMRISK_PALETTE_READY_FILE", QFile::encodeName(readyFile));

    benchLibrary().open(library);
    if (benchLibrary().searchIndex().status() != store::SearchIndex::Status::Ready)
        benchLibrary().searchIndex().buildAll();
    std::printf("%lld snippets\n", qlonglong(benchLibrary().snippetCount()));
    keystrokeFigures(QStringLiteral("Connection"));
    keystrokeFigures(QStringLiteral("الملفات"));
    benchLibrary().close();

    startupFigures(program, library, readyFile);
    return 0;
}
