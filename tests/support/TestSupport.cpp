#include "TestSupport.h"

#include "platform/InputDialog.h"
#include "platform/PrintDialog.h"
#include "store/LibraryConnection.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace testing {

namespace {
QTemporaryDir *g_home = nullptr;
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

TempLibrary::TempLibrary(bool seed)
{
    if (const QString error = errorOf([&] { store::LibraryConnection::create(path(), seed); }); !error.isEmpty())
        qFatal("cannot create test library: %s", qPrintable(error));
}

TempLibrary::~TempLibrary() { store::LibraryConnection::close(); }

QString TempLibrary::path() const { return m_dir.filePath(QStringLiteral("codedb.mdb")); }
QString TempLibrary::dir() const { return m_dir.path(); }

qint32 TempLibrary::addCategory(const QVariant &caption) { return store::Library::addCategory(caption); }

qint32 TempLibrary::addSnippet(const QVariant &head, const QVariant &groub, const QVariant &code, const QVariant &learn,
                               const QVariant &user)
{
    store::Snippet s;
    s.head = head;
    s.groub = groub;
    s.code = code;
    s.learn = learn;
    s.user = user;
    return store::Library::addSnippet(s);
}

void TempLibrary::exec(const QString &sql, const QVariantList &values)
{
    QSqlQuery q(store::LibraryConnection::database());
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
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

} // namespace testing
