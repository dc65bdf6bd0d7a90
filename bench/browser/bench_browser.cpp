// Times showing a large coloured snippet (against the uncoloured floor) and opening a library
// until its tree is shown.
// Usage: bench_browser [LIBRARY]   (LIBRARY e.g. made by make_corpus.py with 100000 snippets)
#include "browser/FrmMain.h"
#include "platform/RichTextBox.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>

namespace {

QString vbText(qsizetype bytes)
{
    const QString block = QStringLiteral("Public Function Total(ByVal items As Collection) As Long\r\n"
                                         "    Dim i As Long, sum As Long ' مجموع العناصر\r\n"
                                         "    For i = 1 To items.Count\r\n"
                                         "        If Not IsEmpty(items(i)) Then sum = sum + CLng(items(i))\r\n"
                                         "    Next i\r\n"
                                         "    Total = sum\r\n"
                                         "End Function\r\n");
    QString text;
    text.reserve(bytes + block.size());
    while (text.size() < bytes)
        text += block;
    return text;
}

double ms(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QTemporaryDir dir;
    store::LibraryConnection::create(dir.filePath("codedb.mdb"), false);
    {
        browser::FrmMain main;
        main.load();
        const QByteArray sizes = qgetenv("BENCH_SIZES_KB").isEmpty() ? QByteArray("1000,10000")
                                                                     : qgetenv("BENCH_SIZES_KB");
        for (const QByteArray &kb : sizes.split(',')) {
            const double mb = kb.toDouble() / 1000.0;
            const QString text = vbText(qsizetype(mb * 1000 * 1000));
            QElapsedTimer t;
            t.start();
            main.RTxt1()->setText(text);
            const double floor = ms(t);
            t.restart();
            main.ColorKeywords(text, true);
            const double coloured = ms(t);
            std::printf("show %5.1f MB snippet: coloured %8.1f ms (%6.2f MB/s), uncoloured floor %8.1f ms\n", mb,
                        coloured, mb / (coloured / 1000.0), floor);
        }
    }
    store::LibraryConnection::close();

    if (argc > 1) {
        QElapsedTimer t;
        t.start();
        try {
            store::LibraryConnection::open(QString::fromLocal8Bit(argv[1]));
        } catch (const store::StoreError &e) {
            std::printf("cannot open %s: %s\n", argv[1], qPrintable(e.message()));
            return 1;
        }
        browser::FrmMain main;
        main.load();
        main.show();
        QCoreApplication::processEvents();
        const double opened = ms(t);
        int nodes = 0;
        const QAbstractItemModel *tree = main.TVCodeHead()->model();
        for (int i = 0; i < tree->rowCount(tree->index(0, 0)); ++i)
            nodes += tree->rowCount(tree->index(i, 0, tree->index(0, 0)));
        std::printf("open library with %d snippets until the tree is shown: %.1f ms\n", nodes, opened);
    }
    return 0;
}
