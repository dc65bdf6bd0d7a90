// Several people on one team library: N client processes (default 20) add, edit, search and
// delete at random for S seconds (default 60) against one local PostgreSQL server, first through
// the store, then the same operations as bare SQL (the raw anchor). Prints operations per second,
// the 99th-percentile latency of each kind, and checks that every acknowledged write is there and
// every acknowledged delete gone.
//   bench_team [SECONDS] [CLIENTS]
#include "../BenchLibrary.h"
#include "BenchText.h"

#include "store/Database.h"
#include "store/Library.h"
#include "store/PgLocation.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char *const Kinds = "aesd"; // add, edit, search, delete

void fail(const QString &what)
{
    std::fprintf(stderr, "bench_team: %s\n", qPrintable(what));
    std::exit(1);
}

bool server(const char *action, const QString &dir)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(TAMRISK_PGSERVER_SCRIPT), {QLatin1String(action), dir});
    return p.waitForFinished(180000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The operations of one client, through the store or as bare SQL on a connection of its own.
struct Client {
    bool raw = false;
    std::unique_ptr<store::Database> db;
    QList<qint32> groubs;

    qint32 add(const QString &head, qint32 groub, const QString &code)
    {
        if (!raw)
            return benchLibrary().addSnippet({0, head, groub, code, QString(), true});
        QSqlQuery q = db->query(QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") "
                                               "VALUES (?, ?, ?, '', true) RETURNING id"),
                                {head, groub, code});
        return q.next() ? q.value(0).toInt() : 0;
    }
    void edit(qint32 id, const QString &head, qint32 groub, const QString &code)
    {
        if (!raw) {
            if (!benchLibrary().updateSnippet({id, head, groub, code, QString(), {}}))
                fail(QStringLiteral("edit found no row %1").arg(id));
            return;
        }
        QSqlQuery q = db->query(
            QStringLiteral("UPDATE Code SET Head = ?, Groub = ?, code = ?, Learn = '' WHERE id = ?"),
            {head, groub, code, id});
        if (q.numRowsAffected() != 1)
            fail(QStringLiteral("edit found no row %1").arg(id));
    }
    int search(const QString &word)
    {
        int found = 0;
        if (!raw) {
            for (const store::SnippetText &t : benchLibrary().snippetTexts(0, 200, true, false, word))
                found += !t.code.isNull();
            return found;
        }
        QSqlQuery q = db->query(QStringLiteral("SELECT id, Head, CASE WHEN code ILIKE ? THEN code END FROM Code "
                                               "WHERE id > 0 ORDER BY id LIMIT 200"),
                                {QStringLiteral("%") + word + QStringLiteral("%")});
        while (q.next())
            found += !q.value(2).isNull();
        return found;
    }
    void remove(qint32 id)
    {
        if (!raw) {
            if (!benchLibrary().deleteSnippet(id))
                fail(QStringLiteral("delete found no row %1").arg(id));
            return;
        }
        QSqlQuery q = db->query(QStringLiteral("DELETE FROM Code WHERE id = ?"), {id});
        if (q.numRowsAffected() != 1)
            fail(QStringLiteral("delete found no row %1").arg(id));
    }
};

// A client process: writes one line per acknowledged operation, "kind microseconds id head".
int runClient(const QString &uri, int seconds, int number, bool raw, const QString &out)
{
    Client c;
    c.raw = raw;
    if (raw) {
        c.db = std::make_unique<store::Database>(store::parsePgLocation(uri), QString(), QStringLiteral("raw"));
        c.db->ensureOpen();
        QSqlQuery q = c.db->query(QStringLiteral("SELECT Groub FROM Groub"));
        while (q.next())
            c.groubs.append(q.value(0).toInt());
    } else {
        benchLibrary().open(uri);
        for (const store::Category &cat : benchLibrary().categories())
            c.groubs.append(cat.id);
    }
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot write ") + out);
    QTextStream log(&file);
    QRandomGenerator random(quint32(number) * 7919u + (raw ? 1u : 0u));
    const QString code = bench::vbText(400);
    const QStringList words = {QStringLiteral("Total"), QStringLiteral("Collection"), QStringLiteral("absent"),
                               QStringLiteral("ByVal")};
    QList<qint32> mine;
    int version = 0;
    QElapsedTimer clock, op;
    clock.start();
    while (clock.elapsed() < qint64(seconds) * 1000) {
        int kind = int(random.bounded(4));
        if (mine.isEmpty() && (kind == 1 || kind == 3))
            kind = 0;
        const qint32 groub = c.groubs.at(int(random.bounded(qsizetype(c.groubs.size()))));
        const QString head = QStringLiteral("c%1-v%2").arg(number).arg(++version);
        op.start();
        try {
            switch (kind) {
            case 0: {
                const qint32 id = c.add(head, groub, code);
                log << "a " << op.nsecsElapsed() / 1000 << ' ' << id << ' ' << head << '\n';
                mine.append(id);
                break;
            }
            case 1: {
                const qint32 id = mine.at(int(random.bounded(qsizetype(mine.size()))));
                c.edit(id, head, groub, code);
                log << "e " << op.nsecsElapsed() / 1000 << ' ' << id << ' ' << head << '\n';
                break;
            }
            case 2:
                c.search(words.at(int(random.bounded(qsizetype(words.size())))));
                log << "s " << op.nsecsElapsed() / 1000 << " 0 -\n";
                break;
            case 3: {
                const qint32 id = mine.takeAt(int(random.bounded(qsizetype(mine.size()))));
                c.remove(id);
                log << "d " << op.nsecsElapsed() / 1000 << ' ' << id << " -\n";
                break;
            }
            }
        } catch (const platform::Error &e) {
            fail(e.message()); // a failure is never acknowledged, and none is expected here
        }
    }
    return 0;
}

struct Phase {
    qint64 ops = 0;
    std::vector<qint64> latency[4];
    QHash<qint32, QString> live; // id -> last acknowledged title
    QList<qint32> deleted;
};

Phase runPhase(const QString &uri, int seconds, int clients, bool raw, const QString &dir)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < clients; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--client"), uri, QString::number(seconds), QString::number(i),
                  raw ? QStringLiteral("raw") : QStringLiteral("store"), dir + QStringLiteral("/client%1.log").arg(i)});
        processes.push_back(std::move(p));
    }
    for (auto &p : processes)
        if (!p->waitForFinished(seconds * 1000 + 120000) || p->exitCode() != 0)
            fail(QStringLiteral("a client failed"));
    Phase phase;
    for (int i = 0; i < clients; ++i) {
        QFile file(dir + QStringLiteral("/client%1.log").arg(i));
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("no client log"));
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().trimmed().split(' ');
            if (fields.size() != 4)
                continue;
            const int k = int(strchr(Kinds, fields[0].at(0)) - Kinds);
            const qint64 micros = fields[1].toLongLong();
            const qint32 id = fields[2].toInt();
            const QString head = QString::fromUtf8(fields[3]);
            phase.latency[k].push_back(micros);
            ++phase.ops;
            if (k == 0 || k == 1)
                phase.live.insert(id, head);
            else if (k == 3) {
                phase.live.remove(id);
                phase.deleted.append(id);
            }
        }
    }
    return phase;
}

double p99(std::vector<qint64> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return double(v[std::min(v.size() - 1, size_t(double(v.size()) * 0.99))]) / 1000.0;
}

// Every acknowledged add and edit is there with its last title; every acknowledged delete gone.
QString check(const QString &uri, const Phase &phase)
{
    store::Database db(store::parsePgLocation(uri), QString(), QStringLiteral("check"));
    db.ensureOpen();
    QHash<qint32, QString> have;
    QSqlQuery q = db.query(QStringLiteral("SELECT id, Head FROM Code"));
    while (q.next())
        have.insert(q.value(0).toInt(), q.value(1).toString());
    int missing = 0, stale = 0, undeleted = 0;
    for (auto it = phase.live.cbegin(); it != phase.live.cend(); ++it) {
        const auto found = have.constFind(it.key());
        if (found == have.cend())
            ++missing;
        else if (*found != it.value())
            ++stale;
    }
    for (qint32 id : phase.deleted)
        undeleted += have.contains(id);
    if (missing + stale + undeleted == 0)
        return QStringLiteral("all %1 acknowledged rows there, all %2 acknowledged deletes gone")
            .arg(phase.live.size())
            .arg(phase.deleted.size());
    return QStringLiteral("FAILED: %1 missing, %2 with an older title, %3 deleted rows still there")
        .arg(missing)
        .arg(stale)
        .arg(undeleted);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 7 && args.at(1) == QLatin1String("--client"))
        return runClient(args.at(2), args.at(3).toInt(), args.at(4).toInt(), args.at(5) == QLatin1String("raw"),
                         args.at(6));
    const int seconds = args.size() > 1 ? args.at(1).toInt() : 60;
    const int clients = args.size() > 2 ? args.at(2).toInt() : 20;
    if (seconds <= 0 || clients <= 0)
        fail(QStringLiteral("usage: bench_team [SECONDS] [CLIENTS]"));

    QTemporaryDir dir(QStringLiteral("/tmp/bench-team-XXXXXX")); // a socket path must stay short
    const QString serverDir = dir.filePath(QStringLiteral("server"));
    if (!server("start", serverDir))
        fail(QStringLiteral("the server did not start"));
    const QString base = QStringLiteral("postgresql://postgres@/%1?host=") + serverDir;
    int status = 0;
    try {
        {
            store::Database admin(store::parsePgLocation(base.arg(QLatin1String("postgres"))), QString(),
                                  QStringLiteral("admin"));
            admin.exec(QStringLiteral("CREATE DATABASE store_phase"));
            admin.exec(QStringLiteral("CREATE DATABASE raw_phase"));
        }
        std::printf("%d clients, %d s each phase, one local PostgreSQL server\n", clients, seconds);
        std::printf("%-6s %10s %12s %12s %12s %12s  %s\n", "", "ops/s", "add p99 ms", "edit p99 ms", "search p99 ms",
                    "delete p99 ms", "check");
        for (const bool raw : {false, true}) {
            const QString uri = base.arg(QLatin1String(raw ? "raw_phase" : "store_phase"));
            benchLibrary().createSchema(uri); // with its change triggers, in both phases
            for (int i = 0; i < 5; ++i)
                benchLibrary().addCategory(QStringLiteral("فئة %1").arg(i));
            const qint32 groub = benchLibrary().categories().constFirst().id;
            benchLibrary().transaction([groub] {
                for (int i = 0; i < 200; ++i)
                    benchLibrary().addSnippet(
                        {0, QStringLiteral("seed %1").arg(i), groub, bench::vbText(400), QString(), false});
            });
            benchLibrary().close();
            const Phase phase = runPhase(uri, seconds, clients, raw, dir.path());
            const QString verdict = check(uri, phase);
            std::printf("%-6s %10.0f %12.2f %12.2f %12.2f %12.2f  %s\n", raw ? "raw" : "store",
                        double(phase.ops) / seconds, p99(phase.latency[0]), p99(phase.latency[1]),
                        p99(phase.latency[2]), p99(phase.latency[3]), qPrintable(verdict));
            std::fflush(stdout);
            if (verdict.startsWith(QLatin1String("FAILED")))
                status = 1;
        }
    } catch (const platform::Error &e) {
        std::fprintf(stderr, "bench_team: %s\n", qPrintable(e.message()));
        status = 1;
    }
    server("stop", serverDir);
    return status;
}
