// Times the find dialog's search over a library, e.g. the benchmark corpus:
//   python3 make_corpus.py /tmp/lib100k.mdb 100000 && bench_search /tmp/lib100k.mdb
// The library is copied first; it itself is not changed. The copy's search index is built from
// nothing (build time and file sizes are printed), beside SQLite's FTS5 doing its part alone in
// the same run: inserting the very words the build stored, and indexing the same three columns
// with its own trigram tokenizer; and beside SQLite reading those columns, which any build does.
// Then, for each needle word in all three fields: the dialog from pressing its button to the
// filled list (index), the same search without the dialog, and beside them, in the same run, the
// plain scan for the same word, with and without Arabic-aware matching.
#include "../BenchLibrary.h"
#include "search/FrmFind.h"
#include "search/TitleWidths.h"
#include "store/Library.h"
#include "store/SearchIndex.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <ctime>

#include <sqlite3.h>
#include <unistd.h>

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
    SnippetSearch s(benchLibrary(), word, {true, true, true}, widths, options);
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

void sql(sqlite3 *db, const char *text)
{
    char *error = nullptr;
    if (sqlite3_exec(db, text, nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : "?");
        sqlite3_free(error);
        throw store::StoreError(message + QStringLiteral(" in: ") + QString::fromUtf8(text));
    }
}

struct Raw {
    double seconds = 0;
    qint64 cpu = 0;
};

// Runs prepare untimed, then work timed, on a connection of its own to file.
Raw raw(const QString &file, const char *prepare, const char *work)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(file).constData(), &db) != SQLITE_OK)
        throw store::StoreError(QStringLiteral("cannot open ") + file);
    Raw r;
    try {
        sql(db, prepare);
        QElapsedTimer t;
        t.start();
        const qint64 c = cpuMs();
        sql(db, work);
        r.seconds = t.nsecsElapsed() / 1e9;
        r.cpu = cpuMs() - c;
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    return r;
}

// FTS5 alone, on the file whose index was just built: the same words into tables made the same
// way, and SQLite's own trigram tokenizer over the same columns. Both are dropped again.
void anchorsOfBuild(QTextStream &out, const QString &file, qint64 snippets, double seconds, qint64 cpu)
{
    const Raw words = raw(
        file,
        "CREATE VIRTUAL TABLE temp.VocabHead USING fts5vocab(main, SearchHead, instance);"
        "CREATE VIRTUAL TABLE temp.VocabCode USING fts5vocab(main, SearchCode, instance);"
        "CREATE VIRTUAL TABLE temp.VocabLearn USING fts5vocab(main, SearchLearn, instance);"
        "CREATE TEMP TABLE WordsHead AS SELECT doc AS r, group_concat(term, ' ') AS t FROM VocabHead GROUP BY doc;"
        "CREATE TEMP TABLE WordsCode AS SELECT doc AS r, group_concat(term, ' ') AS t FROM VocabCode GROUP BY doc;"
        "CREATE TEMP TABLE WordsLearn AS SELECT doc AS r, group_concat(term, ' ') AS t FROM VocabLearn GROUP BY doc;",
        "BEGIN;"
        "CREATE VIRTUAL TABLE AnchorHead USING fts5(t, content='', detail=none, columnsize=0, tokenize='ascii');"
        "CREATE VIRTUAL TABLE AnchorCode USING fts5(t, content='', detail=none, columnsize=0, tokenize='ascii');"
        "CREATE VIRTUAL TABLE AnchorLearn USING fts5(t, content='', detail=none, columnsize=0, tokenize='ascii');"
        "INSERT INTO AnchorHead (rowid, t) SELECT r, t FROM WordsHead ORDER BY r;"
        "INSERT INTO AnchorCode (rowid, t) SELECT r, t FROM WordsCode ORDER BY r;"
        "INSERT INTO AnchorLearn (rowid, t) SELECT r, t FROM WordsLearn ORDER BY r;"
        "COMMIT;");
    raw(file, "", "DROP TABLE AnchorHead; DROP TABLE AnchorCode; DROP TABLE AnchorLearn;");
    const Raw trigram = raw(file, "",
                            "BEGIN;"
                            "CREATE VIRTUAL TABLE AnchorTrigram USING fts5(Head, code, Learn, content='', "
                            "detail=none, columnsize=0, tokenize='trigram');"
                            "INSERT INTO AnchorTrigram (rowid, Head, code, Learn) SELECT rowid, Head, code, Learn "
                            "FROM Code ORDER BY rowid;"
                            "COMMIT;");
    raw(file, "", "DROP TABLE AnchorTrigram;");
    const Raw read = raw(file, "", "SELECT sum(length(Head) + length(code) + length(Learn)) FROM Code;");
    out << "build the search index of " << snippets << " snippets: " << QString::number(seconds, 'f', 2)
        << " s (processor " << QString::number(cpu / 1000.0, 'f', 2)
        << " s); sqlite3 inserting the same words into FTS5: " << QString::number(words.seconds, 'f', 2)
        << " s (processor " << QString::number(words.cpu / 1000.0, 'f', 2) << " s), ratio "
        << QString::number(seconds / qMax(0.001, words.seconds), 'f', 2)
        << "; sqlite3 FTS5 trigram tokenizer over the same columns: " << QString::number(trigram.seconds, 'f', 2)
        << " s (processor " << QString::number(trigram.cpu / 1000.0, 'f', 2) << " s), ratio "
        << QString::number(seconds / qMax(0.001, trigram.seconds), 'f', 2)
        << "; sqlite3 reading the three columns alone: " << QString::number(read.seconds, 'f', 2) << " s (processor "
        << QString::number(read.cpu / 1000.0, 'f', 2) << " s)\n";
}

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
    const int repeats = argc > 2 ? qMax(1, QByteArray(argv[2]).toInt()) : 5;
    // "index-only" leaves out the scans, for looking at the index alone.
    const bool indexOnly = argc > 3 && QByteArray(argv[3]) == "index-only";
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_search-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("codedb.mdb"));
    if (!QFile::copy(QString::fromLocal8Bit(argv[1]), path)) {
        out << "cannot copy the library\n";
        return 1;
    }
    ::sync(); // the copy's writeback would otherwise compete with the build timed below
    const qint64 sizeBefore = QFileInfo(path).size();
    try {
        benchLibrary().open(path);
        // Whatever the copy held, the index is built from nothing.
        benchLibrary().searchIndex().rebuild();
        QElapsedTimer t;
        t.start();
        const qint64 c = cpuMs();
        benchLibrary().searchIndex().buildAll();
        const double seconds = t.nsecsElapsed() / 1e9;
        const qint64 cpu = cpuMs() - c;
        const qint64 sizeAfter = QFileInfo(path).size();
        const qint64 snippets = benchLibrary().snippetCount();
        benchLibrary().close();
        out << "file " << mb(sizeBefore) << " before the index, " << mb(sizeAfter) << " after ("
            << QString::number(100.0 * (sizeAfter - sizeBefore) / qMax<qint64>(1, sizeBefore), 'f', 1) << "% more)\n";
        anchorsOfBuild(out, path, snippets, seconds, cpu);
        out.flush();
        benchLibrary().open(path);
    } catch (const store::StoreError &e) {
        out << "cannot open library: " << e.message() << "\n";
        return 1;
    }
    if (benchLibrary().searchIndex().status() != store::SearchIndex::Status::Ready) {
        out << "the index is not available for this library\n";
        return 1;
    }
    out << "snippets: " << benchLibrary().snippetCount() << ", median of " << repeats << " runs, all three fields\n";
    out.flush();

    FrmFind *dialog = FrmFind::open(nullptr);
    for (const char *box : {"ChCaption", "ChCode", "ChLearn"})
        dialog->findChild<QCheckBox *>(QLatin1String(box))->setChecked(true);
    dialog->findChild<QCheckBox *>(QStringLiteral("chkArabic"))->setChecked(true);
    auto widths = std::make_shared<TitleWidths>(benchLibrary(),
                                                dialog->findChild<QListWidget *>(QStringLiteral("LstFind"))->font());
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
    benchLibrary().close();
    return 0;
}
