#include "TestSupport.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include "platform/InputDialog.h"
#include "platform/PrintDialog.h"
#include "store/Database.h"
#include "store/Library.h"
#include "store/PgLocation.h"
#include "store/StarterLibrary.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace testing {

namespace {
QTemporaryDir *g_home = nullptr;
store::Library *g_library = nullptr;
} // namespace

store::Library &library()
{
    if (!g_library)
        g_library = new store::Library;
    return *g_library;
}

void releaseLibrary()
{
    delete g_library;
    g_library = nullptr;
}

void isolateHome()
{
    if (g_home)
        return;
    g_home = new QTemporaryDir;
    const QByteArray home = g_home->path().toUtf8();
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/config");
    qputenv("XDG_DATA_HOME", home + "/data");
    qputenv("XDG_CACHE_HOME", home + "/cache");
    qputenv("XDG_RUNTIME_DIR", home + "/runtime");
    QDir().mkpath(g_home->path() + QStringLiteral("/runtime"));
    QFile::setPermissions(g_home->path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString homePath() { return g_home ? g_home->path() : QString(); }

QStringList categoryNames()
{
    QStringList names;
    for (const store::Category &c : testing::library().categories())
        names << c.caption.toString();
    return names;
}

QString pgServerUri()
{
    const QString uri = qEnvironmentVariable("TAMRISK_TEST_PG");
    if (uri.isEmpty())
        qFatal("TAMRISK_TEST_PG is not set: run this test through ctest (fixture pg_server)");
    return uri;
}

bool onPostgres() { return qEnvironmentVariable("TAMRISK_TEST_ENGINE") == QLatin1String("postgres"); }

namespace {

// Runs sql on the server as its superuser, in database (the server's own when empty).
void execOnServer(const QString &database, const QString &sql)
{
    store::PgLocation where = store::parsePgLocation(pgServerUri());
    if (!database.isEmpty())
        where.database = database;
    static QAtomicInt counter;
    const store::Database db(where, {}, QStringLiteral("test-admin-%1").arg(counter.fetchAndAddRelaxed(1)));
    if (const QString error = errorOf([&] { db.exec(sql); }); !error.isEmpty())
        qFatal("test server: %s\n%s", qPrintable(sql), qPrintable(error));
}

} // namespace

TempPgDatabase::TempPgDatabase()
{
    static int counter = 0;
    m_name = QStringLiteral("tamrisk_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    execOnServer({}, QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_name));
    execOnServer({}, QStringLiteral("CREATE DATABASE %1").arg(m_name));
    store::PgLocation where = store::parsePgLocation(pgServerUri());
    where.database = m_name;
    m_uri = where.display();
}

TempPgDatabase::~TempPgDatabase()
{
    if (testing::library().path() == m_uri)
        testing::library().close();
    execOnServer({}, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
}

void TempPgDatabase::exec(const QString &sql) const { execOnServer(m_name, sql); }

TempLibrary::TempLibrary(bool seed)
{
    QString error;
    if (onPostgres()) {
        m_pg = std::make_unique<TempPgDatabase>();
        error = errorOf([&] {
            testing::library().createSchema(m_pg->uri());
            if (seed)
                testing::library().transaction(
                    [] { store::writeStarterLibrary(*testing::library().connection().connection()); });
        });
    } else {
        error = errorOf([&] { testing::library().create(path(), seed); });
    }
    if (!error.isEmpty())
        qFatal("cannot create test library: %s", qPrintable(error));
}

TempLibrary::~TempLibrary() { testing::library().close(); }

QString TempLibrary::path() const { return m_pg ? m_pg->uri() : m_dir.filePath(QStringLiteral("codedb.mdb")); }
QString TempLibrary::dir() const { return m_dir.path(); }

qint32 TempLibrary::addCategory(const QVariant &caption) { return testing::library().addCategory(caption); }

qint32 TempLibrary::addSnippet(const QVariant &head, const QVariant &groub, const QVariant &code, const QVariant &learn,
                               const QVariant &user)
{
    store::Snippet s;
    s.head = head;
    s.groub = groub;
    s.code = code;
    s.learn = learn;
    s.user = user;
    return testing::library().addSnippet(s);
}

void TempLibrary::exec(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(testing::library().connection().database());
    // PostgreSQL prepares only queries and row changes: anything else (GRANT, ALTER) runs as it is.
    bool ok = false;
    if (values.isEmpty()) {
        ok = q.exec(sql);
    } else {
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok)
        qFatal("test SQL failed: %s", qPrintable(q.lastError().text()));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void resetSeams()
{
    platform::MessageBoxSeam::clear();
    platform::MessageBoxSeam::enable(true);
    platform::FileDialogSeam::clear();
    platform::FileDialogSeam::enable(true);
    platform::PrintDialogSeam::clear();
    platform::PrintDialogSeam::enable(true);
    platform::InputDialogSeam::clear();
    platform::InputDialogSeam::enable(true);
}

QColor colourAt(QTextDocument *doc, int position)
{
    const QTextBlock block = doc->findBlock(position);
    const int at = position - block.position();
    for (const QTextLayout::FormatRange &r : block.layout()->formats())
        if (at >= r.start && at < r.start + r.length && r.format.hasProperty(QTextFormat::ForegroundBrush))
            return r.format.foreground().color();
    QTextCursor c(doc);
    c.setPosition(position + 1);
    return c.charFormat().foreground().color();
}

} // namespace testing
