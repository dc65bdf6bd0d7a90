// Times making a package of 10,000 user snippets and applying it to a library of 100,000.
// usage: bench_exchange SOURCE_CORPUS TARGET_CORPUS
//   SOURCE_CORPUS: make_corpus.py output with 10,000 snippets (all are marked as the user's here)
//   TARGET_CORPUS: make_corpus.py output with 100,000 snippets
// Both are copied first; the corpora themselves are not changed.
#include "exchange/Package.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

int fail(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return fail(QStringLiteral("usage: bench_exchange SOURCE_CORPUS(10k) TARGET_CORPUS(100k)"));
    QTemporaryDir dir(QStringLiteral("/tmp/bench_exchange-XXXXXX"));
    const QString source = dir.filePath(QStringLiteral("source/codedb.mdb"));
    const QString target = dir.filePath(QStringLiteral("target/codedb.mdb"));
    QDir().mkpath(dir.filePath(QStringLiteral("source")));
    QDir().mkpath(dir.filePath(QStringLiteral("target")));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), source) || !QFile::copy(QString::fromLocal8Bit(argv[2]), target))
        return fail(QStringLiteral("cannot copy the corpora"));
    const QString package = dir.filePath(QStringLiteral("bench.cup"));

    try {
        store::LibraryConnection::open(source);
    } catch (const store::StoreError &e) {
        return fail(e.message());
    }
    QSqlQuery(store::LibraryConnection::database()).exec(QStringLiteral("UPDATE Code SET User = 1"));
    const int users = int(exchange::listUserSnippets().ids.size());

    QElapsedTimer timer;
    timer.start();
    try {
        exchange::createPackage(package, QStringLiteral("Bench"), QStringLiteral("2026/12/08"), {});
    } catch (const store::StoreError &e) {
        return fail(e.message());
    }
    const double createSeconds = timer.nsecsElapsed() / 1e9;
    store::LibraryConnection::close();

    qint64 before = 0;
    double readSeconds = 0;
    int added = 0;
    try {
        store::LibraryConnection::open(target);
        before = store::Library::snippetCount();
        timer.restart();
        const exchange::Package read = exchange::readPackage(package);
        readSeconds = timer.nsecsElapsed() / 1e9;
        added = exchange::applyPackage(read);
        exchange::appendCredits(QStringLiteral("2026/12/08"), QStringLiteral("Bench"), {});
    } catch (const platform::Error &e) {
        return fail(e.message());
    }
    const double applySeconds = timer.nsecsElapsed() / 1e9;
    const qint64 after = store::Library::snippetCount();
    store::LibraryConnection::close();

    std::printf("create package of %d user snippets: %.2f s (%.1f MB)\n", users, createSeconds,
                QFileInfo(package).size() / 1e6);
    std::printf("apply it to a library of %lld snippets: %.2f s (of which reading and checking %.2f s), %lld -> %lld\n",
                before, applySeconds, readSeconds, before, after);
    return added == users ? 0 : 1;
}
