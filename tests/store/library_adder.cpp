// A second program on a library: adds a snippet every 50 ms (or every argv[2] ms) and prints the
// id of every add the store acknowledged, one per line, until its standard input is closed.
#include "store/Library.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    store::Library library;
    try {
        library.open(QString::fromLocal8Bit(argv[1]));
    } catch (const store::StoreError &e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    QTimer timer;
    int n = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        try {
            store::Snippet s;
            s.head = QStringLiteral("added %1").arg(++n);
            s.groub = 1;
            s.code = QStringLiteral("x");
            const qint32 id = library.addSnippet(s);
            std::printf("%d\n", id);
            std::fflush(stdout);
        } catch (const store::StoreError &e) {
            // Not acknowledged (the library was busy): not expected on disk.
            std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        }
    });
    timer.start(argc > 2 ? std::atoi(argv[2]) : 50);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            app.quit();
    });
    return app.exec();
}
