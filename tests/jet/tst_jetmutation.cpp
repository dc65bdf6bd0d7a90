// Damaged copies of the Jet fixtures, made the same way every run: cut at many places, and one bit
// flipped in the bytes that give the user tables' data pages and memo pages their shape. Each copy
// goes through the real reading path and must either give exactly the fixture's values or be
// refused as damaged. Bytes that are values themselves are left alone: the format has no checksum,
// so a changed letter, number or flag reads as another valid value.
#include "TestSupport.h"

#include "store/JetImport.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

using namespace store;

namespace {

constexpr qsizetype kPage = 4096;

QString fixture(const QString &name) { return QStringLiteral(TAMRISK_LEGACY_FIXTURES "/") + name; }

// Every value of the tables, in order, Null apart from the empty text; column names included.
QStringList contents(const QString &sqlite, const QStringList &tables)
{
    QStringList all;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("mutation"));
        db.setDatabaseName(sqlite);
        if (!db.open())
            return {QStringLiteral("<cannot open>")};
        for (const QString &table : tables) {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table)))
                return {QStringLiteral("<no table %1>").arg(table)};
            QStringList names;
            for (int i = 0; i < q.record().count(); ++i)
                names.append(q.record().fieldName(i));
            all.append(table + QLatin1Char(':') + names.join(QLatin1Char(',')));
            while (q.next())
                for (int i = 0; i < q.record().count(); ++i)
                    all.append(q.value(i).isNull()
                                   ? QStringLiteral("<null>")
                                   : q.value(i).typeName() + QStringLiteral(":") + q.value(i).toString());
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("mutation"));
    return all;
}

quint32 u16(const QByteArray &d, qsizetype at) { return quint8(d[at]) | quint32(quint8(d[at + 1])) << 8; }
quint32 u32(const QByteArray &d, qsizetype at) { return u16(d, at) | u16(d, at + 2) << 16; }

struct Target {
    qsizetype at;
    const char *what;
};

// Where the row pgRow (page << 8 | row) of a page of long values lies: {start in the file, length},
// or {-1, 0} when it is not there.
std::pair<qsizetype, qsizetype> lvalRow(const QByteArray &d, quint32 pgRow, QSet<qsizetype> *lvalPages)
{
    const qsizetype page = pgRow >> 8, row = pgRow & 0xff;
    if (page == 0 || page >= d.size() / kPage)
        return {-1, 0};
    const qsizetype base = page * kPage;
    if (d[base] != 1 || d.mid(base + 4, 4) != "LVAL" || row >= qsizetype(u16(d, base + 12)))
        return {-1, 0};
    const qsizetype start = u16(d, base + 14 + 2 * row) & 0x1fff;
    const qsizetype end = row == 0 ? kPage : u16(d, base + 14 + 2 * row - 2) & 0x1fff;
    lvalPages->insert(page);
    return {base + start, end - start};
}

// The bytes of a plain Jet 4.0 file that give shape to the rows of the tables whose definitions
// are on tdefPages: data page headers and row offsets; each row's column count, variable column
// count and offsets; memo headers; the pages of long values they point to and their chain links.
QList<Target> shapeBytes(const QByteArray &d, const QSet<quint32> &tdefPages)
{
    QList<Target> targets;
    QSet<qsizetype> lvalPages;
    auto span = [&](qsizetype from, qsizetype n, const char *what) {
        for (qsizetype i = 0; i < n; ++i)
            targets.append({from + i, what});
    };
    for (qsizetype base = 0; base + kPage <= d.size(); base += kPage) {
        if (d[base] != 1 || !tdefPages.contains(u32(d, base + 4)))
            continue;
        const qsizetype rows = u16(d, base + 12);
        span(base, 14, "page header");
        span(base + 14, 2 * rows, "row offsets");
        qsizetype next = kPage;
        for (qsizetype r = 0; r < rows; ++r) {
            const quint32 raw = u16(d, base + 14 + 2 * r);
            const qsizetype rs = base + (raw & 0x1fff), re = base + next;
            next = raw & 0x1fff;
            if (raw & 0x4000)
                continue; // deleted
            const qsizetype nullFlags = (u16(d, rs) + 7) / 8;
            const qsizetype vars = u16(d, re - nullFlags - 2);
            span(rs, 2, "column count");
            span(re - nullFlags - 2, 2, "variable column count");
            QList<qsizetype> offsets;
            for (qsizetype j = 0; j <= vars; ++j)
                offsets.append(u16(d, re - nullFlags - 4 - 2 * j));
            QSet<qsizetype> memos;
            for (qsizetype j = 0; j < vars; ++j) {
                const qsizetype at = rs + offsets[j], size = offsets[j + 1] - offsets[j];
                if (size < 12)
                    continue;
                const quint32 head = u32(d, at), kind = head >> 24, length = head & 0x3fffffff;
                QList<qsizetype> links;
                bool memo = false;
                if (kind == 0x80) {
                    memo = size - 12 == length;
                } else if (kind == 0x40 && size == 12) {
                    memo = lvalRow(d, u32(d, at + 4), &lvalPages).second == length;
                } else if (kind == 0 && size == 12) {
                    quint32 link = u32(d, at + 4);
                    qsizetype total = 0;
                    while (link != 0 && links.size() < 1000) {
                        const auto [start, len] = lvalRow(d, link, &lvalPages);
                        if (start < 0)
                            break;
                        links.append(start);
                        total += len - 4;
                        link = u32(d, start);
                    }
                    memo = link == 0 && total == length;
                }
                if (!memo)
                    continue;
                memos.insert(j);
                span(at, 12, "memo header");
                for (qsizetype l : links)
                    span(l, 4, "memo chain link");
            }
            // Moving the boundary between two texts gives two other valid texts: nothing in the
            // file can tell, so those offsets are not among the targets.
            for (qsizetype j = 0; j <= vars; ++j)
                if (j == 0 || j == vars || memos.contains(j - 1) || memos.contains(j))
                    span(re - nullFlags - 4 - 2 * j, 2, "variable column offset");
        }
    }
    for (qsizetype page : std::as_const(lvalPages)) {
        span(page * kPage, 14, "memo page header");
        span(page * kPage + 14, 2 * u16(d, page * kPage + 12), "memo row offsets");
    }
    return targets;
}

struct Variant {
    QString what;
    QByteArray bytes;
};

struct Fixture {
    QString file;
    QStringList tables;
    QSet<quint32> tdefPages; // the user tables' definitions; empty: no flips (an encrypted file)
    int cuts;
    int flips;
};

} // namespace

class TestJetMutation : public QObject
{
    Q_OBJECT

private slots:
    void damagedCopiesAreRefusedOrReadWhole()
    {
        const QList<Fixture> fixtures = {
            {QStringLiteral("legacy-library.mdb"), {"Groub", "Code"}, {24, 27}, 60, 160},
            {QStringLiteral("legacy-package.cup"), {"Code", "User"}, {24, 29}, 25, 90},
            {QStringLiteral("legacy-package-encrypted.cup"), {"Code", "User"}, {}, 25, 0},
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("damaged.mdb"));
        int refused = 0, identical = 0, total = 0;
        QStringList slipped;
        for (const Fixture &f : fixtures) {
            const QByteArray good = testing::readFile(fixture(f.file));
            const QStringList expected = contents(importJetFile(fixture(f.file), f.tables).path(), f.tables);
            QVERIFY2(expected.size() > 20, qPrintable(f.file));

            QRandomGenerator random(28);
            QList<Variant> variants;
            // Every page boundary, the places named in the fault report, and some anywhere.
            QList<qsizetype> cuts;
            for (qsizetype at = kPage; at < good.size(); at += kPage)
                cuts.append(at);
            cuts << 115089 << 152345 << 0x15 << kPage - 1;
            for (int i = 0; i < f.cuts; ++i)
                cuts.append(random.bounded(0x15, int(good.size())));
            for (qsizetype at : std::as_const(cuts))
                if (at < good.size())
                    variants.append({QStringLiteral("cut at %1").arg(at), good.left(at)});

            QList<Target> targets = shapeBytes(good, f.tdefPages);
            QVERIFY(f.tdefPages.isEmpty() || targets.size() > f.flips);
            std::shuffle(targets.begin(), targets.end(), random);
            for (const Target &t : targets.mid(0, f.flips)) {
                const int bit = random.bounded(8);
                QByteArray bytes = good;
                bytes[t.at] = char(bytes[t.at] ^ (1 << bit));
                variants.append({QStringLiteral("bit %1 of byte %2 (%3)").arg(bit).arg(t.at).arg(t.what), bytes});
            }

            for (const Variant &v : std::as_const(variants)) {
                ++total;
                QFile::remove(path);
                testing::writeFile(path, v.bytes);
                const QString which = f.file + QStringLiteral(", ") + v.what;
                try {
                    const JetCopy copy = importJetFile(path, f.tables);
                    if (contents(copy.path(), f.tables) == expected)
                        ++identical;
                    else
                        slipped.append(which + QStringLiteral(": read as other values"));
                } catch (const StoreError &e) {
                    ++refused;
                    if (!e.message().contains(QStringLiteral("تالف"))
                        || !e.message().contains(QDir::toNativeSeparators(path)))
                        slipped.append(which + QStringLiteral(": refused with ") + e.message());
                }
                if (testing::readFile(path) != v.bytes
                    || QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) != QStringList{"damaged.mdb"})
                    slipped.append(which + QStringLiteral(": the file or its folder changed"));
            }
        }
        qInfo("%d damaged copies: %d refused, %d read exactly as the fixture", total, refused, identical);
        QVERIFY2(slipped.isEmpty(), qPrintable(slipped.join(QLatin1Char('\n'))));
        QVERIFY(total >= 300);
        QVERIFY(refused > total / 2);
    }
};

TAMRISK_TEST_MAIN(TestJetMutation)
#include "tst_jetmutation.moc"
