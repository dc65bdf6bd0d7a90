// Times showing a large coloured snippet (against the uncoloured view and a bare setPlainText) and opening a library
// until its tree is shown.
// Usage: bench_browser [LIBRARY]   (LIBRARY e.g. made by make_corpus.py with 100000 snippets)
#include "../BenchLibrary.h"
#include "BenchText.h"
#include "browser/FrmMain.h"
#include "platform/RichTextBox.h"
#include "store/Library.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextEdit>
#include <QTemporaryDir>
#include <QTreeView>
#include <cstdio>

namespace {

double ms(const QElapsedTimer &t) { return t.nsecsElapsed() / 1e6; }

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QTemporaryDir dir;
    benchLibrary().create(dir.filePath("codedb.mdb"), false);
    {
        browser::FrmMain main(benchLibrary());
        main.load();
        const QByteArray sizes = qgetenv("BENCH_SIZES_KB").isEmpty() ? QByteArray("1000,10000")
                                                                     : qgetenv("BENCH_SIZES_KB");
        main.resize(1000, 700);
        main.show();
        QCoreApplication::processEvents();
        platform::RichTextBox *view = main.RTxt1();
        QTextEdit bare;
        bare.setLineWrapMode(QTextEdit::NoWrap);
        bare.resize(view->size());
        for (const QByteArray &kb : sizes.split(',')) {
            const double mb = kb.toDouble() / 1000.0;
            const QString text = bench::vbText(qsizetype(mb * 1000 * 1000));
            QElapsedTimer t;
            // Raw anchor: the widget's own plain text, not drawn.
            t.start();
            bare.setPlainText(text);
            const double anchor = ms(t);
            bare.clear();
            // Uncoloured in the view, drawn once.
            t.restart();
            view->setText(text);
            view->repaint();
            const double floor = ms(t);
            view->setText(QString());
            // Coloured: until the view has drawn the text with its first screen coloured ...
            t.restart();
            main.ColorKeywords(text, true);
            view->repaint();
            const double shown = ms(t);
            // ... and until the last block is coloured and the progress bar is gone.
            while (main.ProgressBar1()->isVisible())
                QCoreApplication::processEvents();
            const double coloured = ms(t);
            // Scrolling through the whole text: the slowest of 40 jumps, each drawn.
            QScrollBar *bar = view->verticalScrollBar();
            double worst = 0;
            for (int i = 1; i <= 40; ++i) {
                t.restart();
                bar->setValue(int(qint64(bar->maximum()) * i / 40));
                view->repaint();
                worst = std::max(worst, ms(t));
            }
            std::printf("%5.1f MB snippet: shown coloured %7.1f ms (%5.2fx uncoloured %7.1f ms, %5.2fx setPlainText "
                        "%7.1f ms); all coloured %7.1f ms; slowest scroll step %5.1f ms\n",
                        mb, shown, shown / floor, floor, shown / anchor, anchor, coloured, worst);
            view->setText(QString());
        }
    }
    benchLibrary().close();

    if (argc > 1) {
        QElapsedTimer t;
        t.start();
        try {
            benchLibrary().open(QString::fromLocal8Bit(argv[1]));
        } catch (const store::StoreError &e) {
            std::printf("cannot open %s: %s\n", argv[1], qPrintable(e.message()));
            return 1;
        }
        browser::FrmMain main(benchLibrary());
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
