// Times the find dialog's search over a library, e.g. the benchmark corpus:
//   python3 make_corpus.py /tmp/lib100k.mdb 100000 && bench_search /tmp/lib100k.mdb
// A library without the search index gets it first (build time and file sizes are printed; the
// file keeps the index). Then, for each needle word in all three fields: the dialog from pressing
// its button to the filled list (index), the same search without the dialog, and beside them, in
// the same run, the plain scan for the same word, with and without Arabic-aware matching.
#include "search/FrmFind.h"
#include "search/TitleWidths.h"
#include "store/LibraryConnection.h"
#include "store/SearchIndex.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTextStream>
#include <ctime>

using namespace search;

namespace {

// Processor time of this program: on a machine shared with other work the wall clock waits
// for the processor too, so both figures are printed.
qint64 cpuMs() { return qint64(std::clock()) * 1000 / CLOCKS_PER_SEC; }

struct Figures {
    double ms = 0;
    qint64 cpu = 0;
    qsizetype hits = 0;
    bool index = false;
};

Figures timeSearch(const QString &word, const std::shared_ptr<TitleWidths> &widths, SearchOptions options)
{
    Figures f;
    QElapsedTimer t;
    t.start();
    const qint64 c = cpuMs();
    SnippetSearch s(word, {true, true, true}, widths, options);
    while (s.stepFor(30)) { }
    f.ms = t.nsecsElapsed() / 1e6;
    f.cpu = cpuMs() - c;
    f.hits = s.hits().size();
    f.index = s.usedIndex();
    return f;
}

Figures timeDialog(FrmFind *dialog, const QString &word)
{
    dialog->findChild<QLineEdit *>(QStringLiteral("TxtFind"))->setText(word);
    Figures f;
    bool done = false;
    const auto connection = QObject::connect(dialog, &FrmFind::searchFinished, [&] { done = true; });
    QElapsedTimer t;
    t.start();
    const qint64 c = cpuMs();
    dialog->CmdFind_Click();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    f.ms = t.nsecsElapsed() / 1e6;
    f.cpu = cpuMs() - c;
    QObject::disconnect(connection);
    f.hits = dialog->findChild<QListWidget *>(QStringLiteral("LstFind"))->count();
    return f;
}

template <typename Run>
Figures median(int repeats, Run &&run)
{
    QList<Figures> all;
    for (int i = 0; i < repeats; ++i)
        all.append(run());
    std::sort(all.begin(), all.end(), [](const Figures &a, const Figures &b) { return a.ms < b.ms; });
    return all[all.size() / 2];
}

QString mb(qint64 bytes) { return QString::number(bytes / 1048576.0, 'f', 1) + QStringLiteral(" MB"); }

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc < 2) {
        out << "usage: bench_search LIBRARY_FILE [REPEATS=5] [index-only]\n";
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int repeats = argc > 2 ? qMax(1, QByteArray(argv[2]).toInt()) : 5;
    // "index-only" leaves out the scans, for looking at the index alone.
    const bool indexOnly = argc > 3 && QByteArray(argv[3]) == "index-only";
    const qint64 sizeBefore = QFileInfo(path).size();
    try {
        QElapsedTimer t;
        t.start();
        store::LibraryConnection::open(path);
        if (store::SearchIndex::status() == store::SearchIndex::Status::Building) {
            const qint64 c = cpuMs();
            store::SearchIndex::buildAll();
            out << "index build: " << t.elapsed() << " ms (processor " << cpuMs() - c << " ms); file " << mb(sizeBefore)
                << " before, " << mb(QFileInfo(path).size()) << " after ("
                << QString::number(100.0 * (QFileInfo(path).size() - sizeBefore) / qMax<qint64>(1, sizeBefore), 'f', 1)
                << "% more)\n";
        } else {
            out << "index already there; file " << mb(sizeBefore) << "\n";
        }
    } catch (const store::StoreError &e) {
        out << "cannot open library: " << e.message() << "\n";
        return 1;
    }
    if (store::SearchIndex::status() != store::SearchIndex::Status::Ready) {
        out << "the index is not available for this library\n";
        return 1;
    }
    out << "snippets: " << store::Library::snippetCount() << ", median of " << repeats << " runs, all three fields\n";
    out.flush();

    FrmFind *dialog = FrmFind::open(nullptr);
    for (const char *box : {"ChCaption", "ChCode", "ChLearn"})
        dialog->findChild<QCheckBox *>(QLatin1String(box))->setChecked(true);
    dialog->findChild<QCheckBox *>(QStringLiteral("chkArabic"))->setChecked(true);
    auto widths = std::make_shared<TitleWidths>(dialog->findChild<QListWidget *>(QStringLiteral("LstFind"))->font());
    // The first search of a session fills the list, then measures every title once in slices
    // between events (the list's extent follows); later searches reuse the widths.
    {
        const Figures f = timeDialog(dialog, QStringLiteral("Quokka"));
        out << "first dialog search of the session: " << QString::number(f.ms, 'f', 1) << " ms to the filled list";
        const Figures during = timeDialog(dialog, QStringLiteral("Quokka"));
        out << "; the same word again, while the titles are measured: " << QString::number(during.ms, 'f', 1) << " ms";
        QElapsedTimer t;
        t.start();
        widths->widestOfTable();
        out << "; measuring every title: " << t.elapsed() << " ms\n";
        out.flush();
        while (dialog->isMeasuringTitles())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (dialog->horizontalExtent() != widths->widestOfTable())
            out << "the list's extent is not the widest title!\n";
    }
    for (const QString &word : {QStringLiteral("Zanzibar"), QStringLiteral("قمرية"), QStringLiteral("Quokka")}) {
        const Figures dlg = median(repeats, [&] { return timeDialog(dialog, word); });
        const Figures idx = median(repeats, [&] { return timeSearch(word, widths, {true, true}); });
        if (indexOnly) {
            out << word << ": dialog " << QString::number(dlg.ms, 'f', 1) << " ms (processor " << dlg.cpu
                << " ms); index search " << QString::number(idx.ms, 'f', 1) << " ms (processor " << idx.cpu << " ms)\n";
            continue;
        }
        const Figures scanArabic = median(qMin(repeats, 3), [&] { return timeSearch(word, widths, {true, false}); });
        const Figures scanPlain = median(qMin(repeats, 3), [&] { return timeSearch(word, widths, {false, false}); });
        out << word << ": dialog button to filled list " << QString::number(dlg.ms, 'f', 1) << " ms (processor "
            << dlg.cpu << " ms, " << dlg.hits << " hits); index search " << QString::number(idx.ms, 'f', 1)
            << " ms (processor " << idx.cpu << " ms)" << (idx.index ? "" : " [no index!]") << "; plain scan "
            << QString::number(scanPlain.ms, 'f', 1) << " ms (processor " << scanPlain.cpu << " ms, " << scanPlain.hits
            << " hits); Arabic-aware scan " << QString::number(scanArabic.ms, 'f', 1) << " ms (" << scanArabic.hits
            << " hits); scan/index " << QString::number(scanPlain.ms / qMax(0.01, dlg.ms), 'f', 0) << "x\n";
        out.flush();
    }
    dialog->close();
    store::LibraryConnection::close();
    return 0;
}
