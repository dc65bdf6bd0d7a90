// Building the index: its tables and triggers, the trigrams left out, and the rows indexed in
// short steps.
#include "store/SearchIndexPrivate.h"

#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>

#include <limits>

namespace store {

using namespace searchindex;

// Makes the left-out trigrams in memory those the index was built with.
void SearchIndex::Private::useStopOf(const Progress &p)
{
    if (p.stopId == stopId)
        return;
    for (TrigramSet &s : stop)
        s.clear();
    stopId = p.stopId;
    QSqlQuery q = run(QStringLiteral("SELECT field, gram FROM SearchStop"));
    while (nextRow(q)) {
        const int field = q.value(0).toInt();
        const std::optional<Trigram> t = trigramIn(q.value(1).toString());
        if (field >= 0 && field < 3 && t)
            stop[field].insert(*t);
    }
}

// Chooses the trigrams to leave out, from rows spread evenly over the table; before any row is indexed.
void SearchIndex::Private::chooseStop()
{
    for (TrigramSet &s : stop)
        s.clear();
    stopId = 0;
    run(QStringLiteral("DELETE FROM SearchStop"));
    if (scalar(QStringLiteral("SELECT count(*) FROM Code")) >= kStopMinRows) {
        const qint64 first = scalar(QStringLiteral("SELECT min(rowid) FROM Code"));
        const qint64 last = scalar(QStringLiteral("SELECT max(rowid) FROM Code"));
        QStringList picks;
        for (qint64 i = 0; i < kStopSample; ++i)
            picks.append(QString::number(first + (last - first) * i / (kStopSample - 1)));
        picks.removeDuplicates();
        QHash<Trigram, int> rowsWith[3];
        int sampled = 0;
        SqliteStatement q(*database, QStringLiteral("SELECT Head, code, Learn FROM Code WHERE rowid IN (%1)")
                                         .arg(picks.join(QLatin1Char(',')))
                                         .toUtf8());
        QString folded, spare;
        TrigramSet seen;
        while (q.step()) {
            ++sampled;
            for (int f = 0; f < 3; ++f) {
                foldForSearch(valueText(q, f, spare), folded);
                forEachTrigram(folded, seen, [&](Trigram t) { ++rowsWith[f][t]; });
            }
        }
        if (sampled >= kStopMinRows / 2) {
            for (int f = 0; f < 3; ++f) {
                for (auto it = rowsWith[f].cbegin(); it != rowsWith[f].cend(); ++it) {
                    if (it.value() > kStopShare * sampled) {
                        stop[f].insert(it.key());
                        run(QStringLiteral("INSERT INTO SearchStop (field, gram) VALUES (?, ?)"),
                            {f, trigramText(it.key())});
                    }
                }
            }
        }
    }
    stopId = QRandomGenerator::global()->bounded(qint64(1), std::numeric_limits<qint64>::max());
    run(QStringLiteral("UPDATE SearchIndexState SET sampled = ?"), {stopId});
}

void SearchIndex::Private::createSchema()
{
    for (const QString &t : kTriggers)
        run(QStringLiteral("DROP TRIGGER IF EXISTS ") + t);
    for (const QString &t : kFts)
        run(QStringLiteral("DROP TABLE IF EXISTS ") + t);
    run(QStringLiteral("DROP TABLE IF EXISTS ") + kPending);
    run(QStringLiteral("DROP TABLE IF EXISTS ") + kState);
    run(QStringLiteral("DROP TABLE IF EXISTS ") + kStop);
    for (TrigramSet &s : stop)
        s.clear();
    stopId = 0;
    // No column sizes and no positions: the exact test judges every candidate anyway, and the
    // index stays a small part of the file. The words are trigram tokens (indexedText).
    for (const QString &t : kFts)
        run(QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(t, content='', detail=none, columnsize=0, "
                           "tokenize='ascii')")
                .arg(t));
    run(QStringLiteral("CREATE TABLE SearchPending (seq INTEGER PRIMARY KEY, rid INTEGER NOT NULL, "
                       "had INTEGER NOT NULL, Head, code, Learn)"));
    run(QStringLiteral(
        "CREATE TABLE SearchIndexState (fold INTEGER NOT NULL, format INTEGER NOT NULL, "
        "sampled INTEGER NOT NULL, built INTEGER NOT NULL, done INTEGER NOT NULL, rows INTEGER NOT NULL)"));
    run(QStringLiteral("CREATE TABLE SearchStop (field INTEGER NOT NULL, gram TEXT NOT NULL)"));
    run(QStringLiteral("INSERT INTO SearchIndexState VALUES (?, ?, 0, 0, 0, 0)"), {kSearchFoldVersion, kFormat});
    // Plain SQL only, so every program can go on writing Code. An insert that replaces a row
    // (INSERT OR REPLACE) removes the old one without a delete trigger: the BEFORE trigger keeps it.
    run(QStringLiteral("CREATE TRIGGER SearchPendingBeforeInsert BEFORE INSERT ON Code BEGIN "
                       "INSERT INTO SearchPending (rid, had, Head, code, Learn) "
                       "SELECT rowid, 1, Head, code, Learn FROM Code WHERE rowid = NEW.rowid; END"));
    run(QStringLiteral("CREATE TRIGGER SearchPendingInsert AFTER INSERT ON Code BEGIN "
                       "INSERT INTO SearchPending (rid, had) VALUES (NEW.rowid, 0); END"));
    run(QStringLiteral("CREATE TRIGGER SearchPendingUpdate AFTER UPDATE OF id, Head, code, Learn ON Code BEGIN "
                       "INSERT INTO SearchPending (rid, had, Head, code, Learn) "
                       "VALUES (OLD.rowid, 1, OLD.Head, OLD.code, OLD.Learn); "
                       "INSERT INTO SearchPending (rid, had) SELECT NEW.rowid, 0 WHERE NEW.rowid <> OLD.rowid; END"));
    run(QStringLiteral("CREATE TRIGGER SearchPendingDelete AFTER DELETE ON Code BEGIN "
                       "INSERT INTO SearchPending (rid, had, Head, code, Learn) "
                       "VALUES (OLD.rowid, 1, OLD.Head, OLD.code, OLD.Learn); END"));
}

bool SearchIndex::Private::schemaComplete() const
{
    QStringList names = kFts + kTriggers;
    names << kPending << kState << kStop;
    QStringList marks;
    for (int i = 0; i < names.size(); ++i)
        marks << QStringLiteral("?");
    QVariantList values;
    for (const QString &n : names)
        values << n;
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN (%1)").arg(marks.join(u',')), values)
           == names.size();
}

// The index is keyed by rowid, which only an INTEGER PRIMARY KEY keeps stable (VACUUM renumbers others).
bool SearchIndex::Private::codeKeyedByRowid() const
{
    QSqlQuery q = run(QStringLiteral("PRAGMA table_info(Code)"));
    int keys = 0;
    bool idIsKey = false;
    while (nextRow(q)) {
        if (q.value(5).toInt() > 0) {
            ++keys;
            idIsKey = q.value(1).toString().compare(QLatin1String("id"), Qt::CaseInsensitive) == 0
                      && q.value(2).toString().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
        }
    }
    if (keys != 1 || !idIsKey)
        return false;
    run(QStringLiteral("SELECT rowid FROM Code LIMIT 1")); // fails WITHOUT ROWID
    return true;
}

bool SearchIndex::Private::buildStep(int budgetMs)
{
    if (postgres)
        return postgres->buildStep(budgetMs);
    if (!usable)
        return false;
    bool more = false;
    QElapsedTimer timer;
    timer.start();
    inTransaction(*database, [&] {
        // Changes first: until they are folded in, every search reads their rows.
        if (drainNow(QDeadlineTimer(budgetMs))) {
            more = true;
            return;
        }
        Progress p = readState();
        if (p.done)
            return;
        if (p.stopId == 0)
            chooseStop();
        useStopOf(readState());
        FtsWriter fts(*database, stop);
        SqliteStatement rows(*database,
                             "SELECT rowid, Head, code, Learn FROM Code WHERE rowid > ? ORDER BY rowid LIMIT 64");
        bool end = false;
        do {
            rows.bindInt(1, p.built);
            int n = 0;
            while (rows.step()) {
                p.built = rows.integer(0);
                fts.insert(p.built, rows, 1);
                ++p.rows;
                ++n;
            }
            rows.reset();
            end = n < 64;
        } while (!end && timer.elapsed() < budgetMs);
        run(QStringLiteral("UPDATE SearchIndexState SET built = ?, done = ?, rows = ?"),
            {p.built, end ? 1 : 0, p.rows});
        more = !end;
    });
    return more;
}

void SearchIndex::Private::rebuild()
{
    if (!database)
        return;
    if (postgres) {
        if (postgres->rebuild())
            notifyBuilding();
        return;
    }
    try {
        inTransaction(*database, [this] { createSchema(); });
        usable = true;
    } catch (const StoreError &) {
        usable = false;
        return;
    }
    notifyBuilding();
}

} // namespace store
