// Times converting a Jet library: the helper's copy alone and the whole conversion, each the
// median of RUNS runs on a fresh copy, beside the cost of starting any process (the floor of
// the helper's share) and of copying the file.
// usage: bench_jet [JET_LIBRARY [RUNS]]   (default: the fixture library, 20 runs)
#include "store/JetImport.h"
#include "store/LegacyMigration.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString source = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : QStringLiteral(TAMRISK_LEGACY_FIXTURES "/legacy-library.mdb");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    const qint64 bytes = QFileInfo(source).size();
    try {
        const double spawn = medianMs(runs, [] {
            QProcess p;
            p.start(QStringLiteral("/bin/true"), {});
            p.waitForFinished(-1);
        });
        const double copy = medianMs(runs, [&] {
            QTemporaryDir dir;
            QFile::copy(source, dir.filePath(QStringLiteral("codedb.mdb")));
        });
        const double helper = medianMs(runs, [&] {
            store::importJetFile(source, {QStringLiteral("Groub"), QStringLiteral("Code")});
        });
        store::JetMigrationResult last;
        const double migration = medianMs(runs, [&] {
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("codedb.mdb"));
            QFile::copy(source, path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
            last = store::migrateJetLibrary(store::planJetMigration(path, dir.filePath(QStringLiteral("data"))));
        });
        std::printf("Jet library: %s (%lld bytes, %d categories, %d snippets), median of %d runs\n",
                    qPrintable(QDir::toNativeSeparators(source)), bytes, last.categories, last.snippets, runs);
        std::printf("  anchor: start /bin/true            %8.2f ms\n", spawn);
        std::printf("  anchor: copy the file              %8.2f ms\n", copy);
        std::printf("  helper: copy into SQLite           %8.2f ms\n", helper);
        std::printf("  whole conversion (copy included)   %8.2f ms\n", migration);
        std::printf("  time limit the helper gets         %8d ms\n", store::jetImportTimeLimitMs(bytes));
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
