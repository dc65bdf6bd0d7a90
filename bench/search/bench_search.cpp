// Times the find dialog's search over a library, e.g. the 100,000-snippet benchmark corpus:
//   python3 make_corpus.py /tmp/lib100k.mdb 100000 && bench_search /tmp/lib100k.mdb
// For each mode it prints the whole search time, the longest slice the window waits on
// (the dialog runs the search in slices between events) and the hit count.
#include "search/SnippetSearch.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QTextStream>
#include <ctime>
#include <memory>

using namespace search;

namespace {

// Processor time of this program: on a machine shared with other work the wall clock waits
// for the processor too, so both figures are printed.
qint64 cpuMs() { return qint64(std::clock()) * 1000 / CLOCKS_PER_SEC; }

struct Figures {
    qint64 totalMs = 0;
    qint64 cpuMs = 0;
    qint64 longestSliceMs = 0;
    qsizetype hits = 0;
};

Figures timeSearch(const QString &word, SearchFields fields, const std::shared_ptr<TitleWidths> &widths, int sliceMs)
{
    SnippetSearch s(word, fields, [widths](const QString &t) { return widths->width(t); });
    Figures f;
    QElapsedTimer total;
    total.start();
    const qint64 cpuStart = cpuMs();
    bool more = true;
    while (more) {
        QElapsedTimer slice;
        slice.start();
        more = s.stepFor(sliceMs);
        f.longestSliceMs = qMax(f.longestSliceMs, slice.elapsed());
    }
    f.totalMs = total.elapsed();
    f.cpuMs = cpuMs() - cpuStart;
    f.hits = s.hits().size();
    return f;
}

// For comparison: every field of every row read and every title measured, in one go,
// as a search done in a single pass on the window's thread would.
Figures timePlainPass(const QString &word, SearchFields fields)
{
    const QFontMetrics metrics{QFont()};
    Figures f;
    QElapsedTimer total;
    total.start();
    const qint64 cpuStart = cpuMs();
    int widest = 0;
    qint64 last = 0;
    for (;;) {
        const QList<store::SnippetText> rows = store::Library::snippetTexts(last, 2000, true, true);
        if (rows.isEmpty())
            break;
        for (const store::SnippetText &row : rows) {
            const QString title = row.head.toString();
            widest = qMax(widest, metrics.horizontalAdvance(title));
            if ((fields.caption && wordOccursIn(title, word)) || (fields.code && wordOccursIn(row.code.toString(), word))
                || (fields.learn && wordOccursIn(row.learn.toString(), word)))
                ++f.hits;
            last = row.row;
        }
    }
    f.totalMs = f.longestSliceMs = total.elapsed();
    f.cpuMs = cpuMs() - cpuStart;
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc < 2) {
        out << "usage: bench_search LIBRARY_FILE [REPEATS=3]\n";
        return 2;
    }
    try {
        store::LibraryConnection::open(QString::fromLocal8Bit(argv[1]));
    } catch (const store::StoreError &e) {
        out << "cannot open library: " << e.message() << "\n";
        return 1;
    }
    const int repeats = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    out << "snippets: " << store::Library::snippetCount() << "\n";

    struct Mode {
        const char *name;
        QString word;
        SearchFields fields;
    };
    const QList<Mode> modes = {
        {"title", QStringLiteral("quokka"), {true, false, false}},
        {"code", QStringLiteral("ZANZIBAR"), {false, true, false}},
        {"comment", QStringLiteral("قمرية"), {false, false, true}},
        {"all three", QStringLiteral("zanzibar"), {true, true, true}},
    };
    constexpr int kSliceMs = 30; // as the dialog

    // The first search of a session measures every title; later ones find the widths remembered.
    {
        auto widths = std::make_shared<TitleWidths>(QFont());
        const Figures f = timeSearch(modes[0].word, modes[0].fields, widths, kSliceMs);
        out << "first search (title, measuring every title): " << f.totalMs << " ms (processor " << f.cpuMs
            << " ms), longest slice "
            << f.longestSliceMs << " ms, " << f.hits << " hits\n";
    }
    auto widths = std::make_shared<TitleWidths>(QFont());
    timeSearch(QStringLiteral("x"), {}, widths, kSliceMs);
    for (const Mode &mode : modes) {
        qint64 sum = 0, cpu = 0, longest = 0;
        qsizetype hits = 0;
        for (int i = 0; i < repeats; ++i) {
            const Figures f = timeSearch(mode.word, mode.fields, widths, kSliceMs);
            sum += f.totalMs;
            cpu += f.cpuMs;
            longest = qMax(longest, f.longestSliceMs);
            hits = f.hits;
        }
        out << mode.name << ": " << sum / qMax(repeats, 1) << " ms per search (processor " << cpu / qMax(repeats, 1)
            << " ms), longest slice " << longest
            << " ms, " << hits << " hits\n";
        out.flush();
    }
    for (const Mode &mode : modes) {
        const Figures f = timePlainPass(mode.word, mode.fields);
        out << mode.name << ", single plain pass for comparison: " << f.totalMs << " ms (processor " << f.cpuMs
            << " ms) without a pause, " << f.hits << " hits\n";
        out.flush();
    }
    store::LibraryConnection::close();
    return 0;
}
