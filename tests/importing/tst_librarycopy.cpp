// Snippets copied between a library file and a team library, both ways, by the core and by
// tamrisk-cli copy: the same rows come back, a second copy adds nothing, the source is not written.
#include "TestSupport.h"

#include "importing/core/Apply.h"
#include "importing/core/LibrarySource.h"
#include "store/Library.h"

#include <QProcess>

using namespace importing::core;

namespace {

// Every snippet as "category|title|code|comment|user|language", sorted (ids differ between libraries).
QStringList rows(store::Library &library)
{
    QHash<qint32, QString> names;
    for (const store::Category &c : library.categories())
        names.insert(c.id, c.caption.toString());
    QStringList result;
    for (const store::Snippet &s : library.allSnippets())
        result.append(QStringList{names.value(s.groub.toInt()), s.head.toString(), s.code.toString(),
                                  s.learn.toString(), store::isTrue(s.user) ? QStringLiteral("user") : QStringLiteral("-"),
                                  library.snippetLanguage(s.id)}
                          .join(QLatin1Char('|')));
    result.sort();
    return result;
}

QList<qint32> allIds(store::Library &library)
{
    QList<qint32> ids;
    for (const store::SnippetSummary &s : library.snippetSummaries())
        ids.append(s.id);
    return ids;
}

} // namespace

class TestLibraryCopy : public QObject
{
    Q_OBJECT
private slots:
    void aFileToTeamAndBackGivesTheSameRows()
    {
        testing::TempLibrary file; // testing::library()
        const qint32 files = file.addCategory(QStringLiteral("الملفات"));
        const qint32 web = file.addCategory(QStringLiteral("Web"));
        const qint32 open = file.addSnippet(QStringLiteral("فتح ملف"), files, QStringLiteral("Open f For Input As #1\r\n"),
                                            QStringLiteral("يفتح الملف"), true);
        const qint32 fetch = file.addSnippet(QStringLiteral("fetch"), web, QStringLiteral("await fetch(url)"), QString(), false);
        file.addSnippet(QStringLiteral("py"), web, QStringLiteral("print('سلام')"), QStringLiteral("x"), true);
        testing::library().setSnippetLanguage(fetch, QStringLiteral("JavaScript"));
        const QStringList original = rows(testing::library());
        const QByteArray fileBytes = testing::readFile(file.path());

        testing::TempPgDatabase db;
        store::Library team;
        team.createSchema(db.uri());
        ImportResult result = applyImport(team, librarySource(testing::library(), allIds(testing::library())),
                                          DuplicateChoice::Skip);
        QCOMPARE(result.added, 3);
        QCOMPARE(rows(team), original);
        QCOMPARE(testing::readFile(file.path()), fileBytes); // the source only read

        // Again: every one is a duplicate of its category's copy.
        result = applyImport(team, librarySource(testing::library(), {open, fetch}), DuplicateChoice::Skip);
        QCOMPARE(result.added, 0);
        QCOMPARE(result.duplicatesSkipped, 2);

        // And back into a new file, through the command line, naming a category's snippets by id.
        QTemporaryDir dir;
        const QString back = dir.filePath(QStringLiteral("back.mdb"));
        {
            store::Library created;
            created.create(back, false);
        }
        QStringList ids;
        for (const qint32 id : allIds(team))
            ids << QString::number(id);
        QProcess cli;
        cli.start(QStringLiteral(TAMRISK_CLI), QStringList{QStringLiteral("copy"), QStringLiteral("--from"), db.uri(),
                                                            QStringLiteral("--to"), back} + ids);
        QVERIFY(cli.waitForFinished(60000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        store::Library copy;
        copy.open(back);
        QCOMPARE(rows(copy), original);
        copy.close();
        team.close();

        // A library copied onto itself is refused.
        cli.start(QStringLiteral(TAMRISK_CLI), {QStringLiteral("copy"), QStringLiteral("--from"), back,
                                                QStringLiteral("--to"), back, QStringLiteral("1")});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
    }
};

TAMRISK_TEST_MAIN(TestLibraryCopy)
#include "tst_librarycopy.moc"
